// `retrograde mirror` on many files at once: a list of inputs or a folder
// tree, mirrored by a pool of worker processes into an output folder.
#pragma once

#include <string>
#include <vector>

#include "midi/song/SongPipeline.h"

struct MirrorBatch {
    std::vector<std::string> inputs;  // files, or with recursive one folder
    std::string output;               // the folder written into (made when missing)
    bool recursive = false;           // inputs[0] is a folder whose tree is kept under output
    bool force = false;
    bool salvage = false;  // damaged files written from what could be read
    int jobs = 0;          // worker processes; 0: one per processor
    MirrorChoice choice;
};

// Mirrors every file; a file that cannot be read or written is refused with
// its reason and the others go on. Prints the refusals, a progress bar on a
// terminal and a summary line. Returns 1 when a file was refused, else 3 when
// one was written from a damaged file, else 0.
int RunMirrorBatch(const MirrorBatch& batch);
