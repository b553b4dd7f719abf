/// @file
/// The demo song bundled with the program: a short piece of our own (melody,
/// chords, bass and drums, about 30 seconds), built in code from a small
/// description.
#pragma once

#include <vector>

/// Ticks per quarter note of the demo song.
inline constexpr int kDemoSongDivision = 480;

/// The demo song as the bytes of a format-1 Standard MIDI File: a conductor
/// track (title, time and key signature, two tempos, section markers) and one
/// named track each for the melody (channel 1, a program change half way),
/// the chords (channel 2), the bass (channel 3) and the drums (channel 10).
std::vector<unsigned char> DemoSongImage();
