// Walks over the tick groups of a track (the events at one tick) and the
// gathering of chosen events to the front of each group, shared by the
// ordering primitives and the edits that reorder within a tick.
#pragma once

#include <algorithm>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Prefetch.h"

namespace retrograde::detail {

// Within the tick group [from, to) the events that match come first, in their
// old order, followed by the others in their old order; each place keeps its
// delta. rest is room for the others, reserved by the caller for the whole
// track, so nothing is allocated while the records are moved.
template <class Match>
void GatherInGroup(MidiEvent** table, int from, int to, Match match,
                   std::vector<MidiEvent*>& rest) {
    // Most groups (chords, notes ending where others start) are in order
    // already and are only read.
    if (std::is_partitioned(table + from, table + to,
                            [&](const MidiEvent* e) { return match(*e); }))
        return;
    // Only the opener's place holds a delta that is not 0.
    const int opener_delta = table[from]->delta;
    table[from]->delta = 0;
    int front = from;
    rest.clear();
    for (int i = from; i < to; ++i) {
        if (match(*table[i])) {
            table[front++] = table[i];
        } else {
            rest.push_back(table[i]);
        }
    }
    std::copy(rest.begin(), rest.end(), table + front);
    table[from]->delta = opener_delta;
}

// A tick group is a run of events in which every event but the first has
// delta 0; the first event of the track opens one as well. Every exchange
// keeps the deltas with the places, so the groups stay where they are and
// each walk below can go group by group.
template <class Walk>
void ForEachGroup(MidiTrackData& track, Walk walk) {
    MidiEvent** table = track.event_table.get();
    const int count = track.event_count;
    int start = 0;
    while (start < count) {
        int end = start + 1;
        while (end < count && table[end]->delta == 0) {
            PrefetchAhead(table, end, count);
            ++end;
        }
        PrefetchAhead(table, end, count);
        // A group of one event has nothing to exchange.
        if (end - start > 1) walk(table, start, end);
        start = end;
    }
}

// Brings the matching events of every tick group to its front (see
// GatherInGroup). The room is taken before anything moves.
template <class Match>
void GatherToFront(MidiTrackData& track, Match match) {
    std::vector<MidiEvent*> rest;
    rest.reserve(static_cast<std::size_t>(track.event_count));
    ForEachGroup(track, [&](MidiEvent** table, int from, int to) {
        GatherInGroup(table, from, to, match, rest);
    });
}

}  // namespace retrograde::detail
