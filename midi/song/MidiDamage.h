// What a reading of a Standard MIDI File could not take in: track chunks cut
// off, track chunks the header announced but the file lacks, and bytes that
// could not be read as events. What the reader repairs quietly (a missing end
// of track, vendors' chunks, unknown meta events) is no damage.
#pragma once

#include <string>
#include <vector>

/// What could not be read of a file (IsDamaged), for callers to tell.
struct MidiDamage {
    /// A track chunk shorter than its header declared.
    struct CutTrack {
        int track = 0;      ///< from 0, in the order of the file's chunks
        long read = 0;      ///< bytes of the chunk's data that were there
        long declared = 0;  ///< bytes its header declared
    };
    /// Bytes of a track chunk that could not be read as events.
    struct SkippedBytes {
        int track = 0;   ///< from 0, in the order of the file's chunks
        long bytes = 0;  ///< bytes skipped
    };
    std::vector<CutTrack> cut;          ///< chunks cut off
    std::vector<SkippedBytes> skipped;  ///< tracks with bytes skipped
    int announced = 0;                  ///< track chunks the header announced
    int found = 0;                      ///< track chunks read

    /// True for a chunk cut off, bytes skipped or fewer chunks than announced.
    bool IsDamaged() const { return !cut.empty() || !skipped.empty() || found < announced; }
    /// One English line for each fault, tracks counted from 1, for example
    /// "track 2 cut off: 10 of 256 bytes read".
    std::vector<std::string> Lines() const;
    /// The lines joined by "; ".
    std::string Summary() const;
};
