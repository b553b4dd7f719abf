// What a reading of a Standard MIDI File could not take in: track chunks cut
// off, track chunks the header announced but the file lacks, and bytes that
// could not be read as events. What the reader repairs quietly (a missing end
// of track, vendors' chunks, unknown meta events) is no damage.
#pragma once

#include <string>
#include <vector>

struct MidiDamage {
    struct CutTrack {
        int track = 0;      // from 0, in the order of the file's chunks
        long read = 0;      // bytes of the chunk's data that were there
        long declared = 0;  // bytes its header declared
    };
    struct SkippedBytes {
        int track = 0;
        long bytes = 0;
    };
    std::vector<CutTrack> cut;
    std::vector<SkippedBytes> skipped;
    int announced = 0;  // track chunks the header announced
    int found = 0;      // track chunks read

    bool IsDamaged() const { return !cut.empty() || !skipped.empty() || found < announced; }
    // One English line for each fault, tracks counted from 1, for example
    // "track 2 cut off: 10 of 256 bytes read".
    std::vector<std::string> Lines() const;
    // The lines joined by "; ".
    std::string Summary() const;
};
