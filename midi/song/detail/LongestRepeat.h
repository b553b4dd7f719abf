// The longest repeated passage of a track, with where it comes again: what
// MidiF1TrackData::DetectLongestRepeat reports, and more for the command line.
#pragma once

#include <vector>

class MidiF1TrackData;

namespace retrograde::detail {

// The notes of the reduced copy: delta times and note numbers.
struct RepeatNotes {
    std::vector<int> delta;
    std::vector<int> note;
};

// A passage (events first..last of the reduced copy) that comes again from
// event again; matches notes of it do.
struct RepeatFound {
    int matches = 0;
    int first = 0;
    int last = 0;
    int again = -1;  // -1 when nothing repeats
};

// The most notes the search takes (its table grows with the square).
inline constexpr int kMaxRepeatNotes = 8192;

// The search itself. Of passages with as many matches, the earliest start
// wins, then the earliest repeat, then the shortest passage. Throws
// std::length_error above kMaxRepeatNotes notes.
RepeatFound FindLongestRepeat(const RepeatNotes& notes);

// DetectLongestRepeat with the tick where the repeat starts in *again (-1
// when nothing repeats); any out-argument may be null.
int DetectLongestRepeatWithAgain(MidiF1TrackData& track, int* begin, int* end, int* again,
                                 int unit);

}  // namespace retrograde::detail
