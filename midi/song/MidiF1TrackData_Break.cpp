// Phrase breaks: where a melody rests long enough to start a new phrase, and
// the index queries the searches stand on.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <exception>
#include <vector>

#include "General/GneStatus.h"
#include "midi/song/MidiF1TrackData.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;

bool IsNoteEvent(const MidiEvent* e) {
    return e->status == kEvNoteOn || e->status == kEvNoteOff;
}
// A note on with velocity 0 ends its note, as in the file.
bool StartsNote(const MidiEvent* e) {
    return e->status == kEvNoteOn && e->velocity != 0;
}
bool EndsNote(const MidiEvent* e) {
    return e->status == kEvNoteOff || (e->status == kEvNoteOn && e->velocity == 0);
}

// The note numbers sounding, with their count.
class Held {
public:
    void Set(int note, bool on) {
        if (note < 0 || note > 127) return;
        auto& word = bits_[static_cast<std::size_t>(note >> 6)];
        const std::uint64_t bit = std::uint64_t{1} << (note & 63);
        word = on ? word | bit : word & ~bit;
    }
    bool None() const { return (bits_[0] | bits_[1]) == 0; }

private:
    std::array<std::uint64_t, 2> bits_{};
};

// Absolute ticks of every event, and for each event the ticks to the next
// note event at a later tick (-1 when none) and from the last note event at
// an earlier tick (the event's own tick when none): one pass each way.
struct NoteGaps {
    std::vector<std::int64_t> tick;
    std::vector<std::int64_t> next;
    std::vector<std::int64_t> previous;

    explicit NoteGaps(const MidiTrackData& t) {
        const auto n = static_cast<std::size_t>(t.event_count);
        tick.resize(n);
        next.resize(n);
        previous.resize(n);
        std::int64_t now = 0;
        for (std::size_t k = 0; k < n; ++k) tick[k] = now += t.event_table[k]->delta;
        // Walking back: the earliest note tick of the groups after the current one.
        std::int64_t later = -1;
        std::int64_t inGroup = -1;  // the earliest note tick seen at the current tick
        for (std::size_t k = n; k-- > 0;) {
            if (k + 1 < n && tick[k + 1] != tick[k]) {
                if (inGroup >= 0) later = inGroup;
                inGroup = -1;
            }
            next[k] = later < 0 ? -1 : later - tick[k];
            if (IsNoteEvent(t.event_table[k])) inGroup = tick[k];
        }
        std::int64_t earlier = -1;
        std::int64_t lastInGroup = -1;
        for (std::size_t k = 0; k < n; ++k) {
            if (k > 0 && tick[k - 1] != tick[k]) {
                if (lastInGroup >= 0) earlier = lastInGroup;
                lastInGroup = -1;
            }
            previous[k] = earlier < 0 ? tick[k] : tick[k] - earlier;
            if (IsNoteEvent(t.event_table[k])) lastInGroup = tick[k];
        }
    }
};

}  // namespace

int MidiF1TrackData::GetDeltaTimeToNextNote(int index) {
    if (index < 0 || index >= event_count) return 0;
    std::int64_t sum = 0;
    for (int k = index + 1; k < event_count; ++k) {
        sum += event_table[k]->delta;
        if (IsNoteEvent(event_table[k]) && sum != 0) return ClampToInt(sum);
    }
    return -1;
}

int MidiF1TrackData::GetDeltaTimeToPreviousNote(int index) {
    if (index < 0 || index >= event_count) return 0;
    std::int64_t sum = event_table[index]->delta;
    for (int k = index - 1; k >= 0; --k) {
        if (IsNoteEvent(event_table[k]) && sum != 0) return ClampToInt(sum);
        sum += event_table[k]->delta;
    }
    return ClampToInt(sum);
}

// The time back to the last earlier event of status: the sum runs over the
// deltas after that event up to and including index's own.
int MidiF1TrackData::GetDeltaTimeToPreviousEvent(int index, int status) {
    if (index <= 0 || index >= event_count) return 0;
    std::int64_t sum = event_table[index]->delta;
    for (int k = index - 1; k >= 0; --k) {
        if (event_table[k]->status == status && sum != 0) return ClampToInt(sum);
        sum += event_table[k]->delta;
    }
    return ClampToInt(sum);
}

int MidiF1TrackData::SearchEventAfterIdx(int index, int status) {
    if (index < 0 || index >= event_count) return kGneNone;
    for (int k = index + 1; k < event_count; ++k) {
        if (event_table[k]->status == status) return k;
    }
    return kGneNone;
}

int MidiF1TrackData::SearchEventBeforeIdx(int index, int status) {
    if (index < 0 || index >= event_count) return kGneNone;
    for (int k = index - 1; k >= 0; --k) {
        if (event_table[k]->status == status) return k;
    }
    return kGneNone;
}

int MidiF1TrackData::SearchEventAtSameDelta(int index, int status, bool includeSelf) {
    if (index < 0 || index >= event_count) return kGneNone;
    int first = index;
    while (first > 0 && event_table[first]->delta == 0) --first;
    for (int k = first; k < event_count; ++k) {
        if (k > first && event_table[k]->delta != 0) break;
        if (event_table[k]->status == status && (includeSelf || k != index)) return k;
    }
    return kGneNone;
}

int MidiF1TrackData::GetLastEventIndex(int status) {
    for (int k = event_count - 1; k >= 0; --k) {
        if (event_table[k]->status == status) return k;
    }
    return kGneNone;
}

int MidiF1TrackData::GetClosestIndex(int time) {
    std::int64_t now = 0;
    for (int k = 0; k < event_count; ++k) {
        now += event_table[k]->delta;
        if (now > time) return k;
    }
    return kGneNone;
}

int MidiF1TrackData::GetLastIndex(int status, int from, int to) {
    std::int64_t now = 0;
    int last = kGneNone;
    for (int k = 0; k < event_count; ++k) {
        now += event_table[k]->delta;
        if (event_table[k]->status == status && now >= from && now <= to) last = k;
    }
    return last;
}

int MidiF1TrackData::GetLastIndex(int from, int to) {
    std::int64_t now = 0;
    int last = kGneNone;
    for (int k = 0; k < event_count; ++k) {
        now += event_table[k]->delta;
        if (now >= from && now <= to) last = k;
    }
    return last;
}

bool MidiF1TrackData::IsAlreadyInBreak(int index, int minGap) {
    return GetDeltaTimeToNextNote(index) >= minGap;
}

int MidiF1TrackData::SearchBreakForword(int index, bool, int minGap, bool variant) {
    if (index < 0 || index >= event_count) return kGneNone;
    int s = index;
    if (!variant) {
        s = index + 1;
        if (IsAlreadyInBreak(s, minGap) && SearchEventAtSameDelta(s, kEvNoteOff, true) < 0) {
            // Already resting: the phrase to look past starts at the next
            // note on. Without one the search stays where it was, never
            // going back before index.
            const int on = SearchEventAfterIdx(s, kEvNoteOn);
            if (on >= 0) s = on;
        }
    }
    try {
        const NoteGaps gaps(*this);
        Held held;
        int found = kGneNone;
        for (int k = 0; k < event_count; ++k) {
            const MidiEvent* e = event_table[k];
            if (StartsNote(e)) held.Set(e->note, true);
            if (EndsNote(e)) held.Set(e->note, false);
            if (k < s || !held.None()) continue;
            const std::int64_t g = gaps.next[static_cast<std::size_t>(k)];
            if (g >= minGap || g < 0) {
                found = k;
                break;
            }
        }
        if (found < 0 || !variant) return found;
        const int on = SearchEventAfterIdx(found, kEvNoteOn);
        return on >= 0 ? on : found;
    } catch (const std::exception&) {
        ErrorMsg(kErrGeneral);
        return kGneNone;
    }
}

int MidiF1TrackData::SearchBreakBackword(int index, bool, int minGap, bool variant) {
    if (index < 0 || index >= event_count) return kGneNone;
    const int limit = variant ? index - 1 : index;
    try {
        const NoteGaps gaps(*this);
        // Seen from the end, a note sounds between its note off and its note on.
        Held held;
        int found = kGneNone;
        for (int k = event_count - 1; k >= 0; --k) {
            const MidiEvent* e = event_table[k];
            if (StartsNote(e)) held.Set(e->note, false);
            if (EndsNote(e)) held.Set(e->note, true);
            if (k > limit || !held.None()) continue;
            if (gaps.previous[static_cast<std::size_t>(k)] >= minGap) {
                found = k;
                break;
            }
        }
        if (found < 0 || variant) return found;
        for (int k = found - 1; k >= 0; --k) {
            if (EndsNote(event_table[k])) return k;  // where the phrase before ends
        }
        return found;
    } catch (const std::exception&) {
        ErrorMsg(kErrGeneral);
        return kGneNone;
    }
}

int MidiF1TrackData::SearchBreak(int index, bool forward, int minGap, bool variant) {
    if (form != kFormQ1) {
        ErrorMsg(kErrF1TrackInternal);
        return kGneNone;
    }
    MoveNoteOffFront();
    return forward ? SearchBreakForword(index, true, minGap, variant)
                   : SearchBreakBackword(index, false, minGap, variant);
}

int MidiF1TrackData::SearchBreak(int index, bool forward, int minGap) {
    if (form != kFormQ1) {
        ErrorMsg(kErrF1TrackInternal);
        return kGneNone;
    }
    const int a = SearchBreak(index, forward, minGap, false);
    const int b = SearchBreak(index, forward, minGap, true);
    if (a < 0) return b;
    if (b < 0) return a;
    return forward ? std::min(a, b) : std::max(a, b);
}

// The silence is counted from the latest note off: the time before it
// still sounded.
int MidiF1TrackData::SearchBreakForwordOld(int index, int minGap) {
    if (form != kFormQ1) {
        ErrorMsg(kErrGeneral);
        return kGneNone;
    }
    if (index < 0 || index >= event_count) return kGneNone;
    bool counting = false;
    std::int64_t silence = 0;
    for (int k = index + 1; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        if (EndsNote(e)) {
            counting = true;
            silence = 0;
            continue;
        }
        if (counting) silence += e->delta;
        if (StartsNote(e)) {
            if (counting && silence >= minGap) return k;
            counting = false;
            silence = 0;
        }
    }
    return kGneNone;
}
