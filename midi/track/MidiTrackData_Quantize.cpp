// Quantizing: the length of a track and every event to its nearest grid point.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "midi/track/MidiTrackData.h"

// What the track's length would be once in Q1, without making the copy:
// Q2toQ1 drops none events and Notes that sound nothing (no length or no
// velocity), places a note off at the end of every other Note and leaves the
// end of track at the last tick. A track whose note offs would not fit the
// table stays as it is, and so counts by its deltas.
long MidiTrackData::GetTrackLen() {
    std::int64_t now = 0;
    std::int64_t end = 0;
    std::int64_t kept = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        now += event->delta;
        if (form != kFormQ2) continue;
        if (event->status == kEvNone) continue;
        if (event->status == kEvNote) {
            if (event->duration <= 0 || event->velocity == 0) continue;
            end = std::max(end, now + event->duration);
            ++kept;
        }
        end = std::max(end, now);
        ++kept;
    }
    if (form != kFormQ2 || kept > kMaxEvents) return static_cast<long>(now);
    return static_cast<long>(end);
}

// The carry c is how far the events placed so far lie ahead of (negative) or
// behind their own times, so that each later event still goes to the grid
// point nearest its own time and never before an earlier event.
void MidiTrackData::QuantizeData(int steps, int division) {
    if (steps <= 0 || division / steps < 1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    const int grid = division / steps;
    const int half = division / (2 * steps);
    std::int64_t carry = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        const std::int64_t t = carry + event->delta;
        if (t < 0) {
            event->delta = 0;
            carry = t;
            continue;
        }
        const std::int64_t r = t % grid;
        // Rounding up must leave a delta a delta.
        if (r > half && t - r + grid <= std::numeric_limits<int>::max()) {
            event->delta = static_cast<int>(t - r + grid);
            carry = r - grid;
        } else {
            event->delta = static_cast<int>(t - r);
            carry = r;
        }
    }
}
