// Small pieces the track edits share: clamping times into the record's int,
// marking records for removal, and the removal walk itself.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Prefetch.h"

namespace retrograde::detail {

inline int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// Marks a record to be dropped by the next DeleteNop.
inline void MarkNone(MidiEvent* event) {
    event->status = kEvNone;
    // A none event's area means nothing; a zero length keeps the
    // record's size check quiet when a long text is dropped.
    event->length = 0;
}

// Removes, in one pass, every event that remove() chooses (it may change the
// record it is shown first); each removed delta goes on to the next kept
// event, and a removed run at the end takes its deltas with it. destroy()
// disposes of a removed record. Returns how many carried sums came out
// negative.
template <class Remove, class Destroy>
int RemoveEvents(MidiTrackData& track, Remove remove, Destroy destroy) {
    MidiEvent** table = track.event_table.get();
    int kept = 0;
    int negative = 0;
    std::int64_t carry = 0;
    for (int i = 0; i < track.event_count; ++i) {
        PrefetchAheadForWriting(table, i, track.event_count);
        MidiEvent* event = table[i];
        if (remove(*event)) {
            carry += event->delta;
            destroy(event);
            continue;
        }
        if (carry != 0) {
            const std::int64_t sum = carry + event->delta;
            if (sum < 0) ++negative;
            event->delta = ClampToInt(sum);
            carry = 0;
        }
        table[kept++] = event;
    }
    std::fill(table + kept, table + track.event_count, nullptr);
    track.event_count = kept;
    return negative;
}

}  // namespace retrograde::detail
