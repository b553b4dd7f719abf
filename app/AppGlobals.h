// The application's process-wide state: the loader with the loaded song, the
// switches and the mirrored song made for the last play.
#pragma once

#include <memory>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiFileLoader.h"

extern std::unique_ptr<MidiFileLoader> midi_file_loader;  // the last loader; owns the loaded song
extern int horizontal;   // 1: play and save the song reversed in time
extern int vertical;     // 1: play and save the song inverted in pitch
extern int gm;           // the GM switch; nothing reads it
extern int carry_state;  // 1: reversed, each passage keeps its sound (with horizontal)
extern std::unique_ptr<MidiF0Data> MidiPlayData;  // the mirrored copy made for the last play

// The loaded format-0 song, or null when nothing is loaded.
MidiF0Data* LoadedSong();
