/// @file
/// Offline rendering: a song played by the sequencer on a virtual clock into
/// the built-in synthesizer, written as a WAV file. The way to hear a song on
/// a machine without sound hardware.
#pragma once

#include <functional>
#include <string>

class MidiF0Data;

/// How a song is rendered to audio by the software synthesizer.
struct RenderOptions {
    std::string soundfont;      ///< empty: the default General MIDI SoundFont
    int sample_rate = 44100;    ///< stereo, 16 bits
    double tail_seconds = 3.0;  ///< at most this long after the last event, while notes fade
    /// Called now and then with the seconds rendered and the seconds in all
    /// (expected); the last call gives the length written twice.
    std::function<void(double done, double total)> progress;
};

/// Renders song (form Q2, as loaded and mirrored; it is not changed) to the
/// WAV file path. 1 when written, 0 when not (a message says why).
int RenderSongToWav(MidiF0Data* song, const std::string& path, const RenderOptions& options);
