// What the playing and rendering subcommands share: the mirrored song as the
// window's play action makes it, playing it on an output with a time line,
// and times and bars for the terminal.
#pragma once

#include <string>

#include "midi/song/SongPipeline.h"

class MidiF0Data;

// Plays song (Q2) on item `item` of the device list (0 the built-in
// synthesizer, k destination k - 1) until it ends or Ctrl-C stops it,
// showing elapsed and total time. Returns the exit status: 0 when it ended,
// 130 when interrupted. Throws CliFailure for an item that does not exist.
int PlayUntilEnd(MidiF0Data* song, int item, const std::string& title);
