// The events of a Q2 track in the order Q2toQ1 would leave them, visited
// without converting or copying the track: the counting and checking
// operations that think in note ons and note offs read a Q2 track this way.
#pragma once

#include <cstdint>
#include <queue>
#include <vector>

#include "midi/track/MidiTrackData.h"

namespace retrograde::detail {

inline constexpr int kMadeNoteOffVelocity = 64;  // what a note off made from a Note carries

// One event of the Q1 order. A Note appears twice: as its note on at its
// start and as its note off (velocity 64) at its end.
struct Q1Step {
    const MidiEvent* record = nullptr;  // the track's record (the Note for both halves)
    int status = kEvNone;               // kEvNoteOn / kEvNoteOff for a Note's halves
    std::int64_t tick = 0;
    bool opens_tick = false;  // its Q1 delta would not be 0: a new tick begins here

    int Channel() const { return record->channel; }
    int Note() const { return record->note; }
    int Velocity() const {
        return record->status == kEvNote && status == kEvNoteOff ? kMadeNoteOffVelocity
                                                                 : record->velocity;
    }
    bool IsNoteOn() const { return status == kEvNoteOn && Velocity() != 0; }
    // A note off, or a note on of velocity 0.
    bool IsNoteOff() const {
        return status == kEvNoteOff || (status == kEvNoteOn && Velocity() == 0);
    }
};

// Within one tick group each note off is exchanged with the nearest note on
// before it, as MoveNoteOffFront does; the opener flag stays with the place.
inline void NoteOffFront(std::vector<Q1Step>& group) {
    std::size_t nearest_on = group.size();
    for (std::size_t i = 0; i < group.size(); ++i) {
        if (group[i].status == kEvNoteOn) {
            nearest_on = i;
        } else if (group[i].status == kEvNoteOff && nearest_on < group.size()) {
            std::swap(group[i].record, group[nearest_on].record);
            std::swap(group[i].status, group[nearest_on].status);
            nearest_on = i;
        }
    }
}

// Visits the events of track (form Q2) as Q2toQ1 would order them: Notes
// without length or velocity and none events left out, each note off placed
// before the events at its tick (the note off of the later Note first), the
// first end of track moved last, then MoveNoteOffFront. extra_passes more
// MoveNoteOffFront passes follow, as if it were run again on the Q1 track.
// Only the notes still sounding are held aside, and one tick group.
template <class Visit>
void ForEachInQ1Order(const MidiTrackData& track, int extra_passes, Visit visit) {
    struct Pending {
        std::int64_t tick;
        int rank;
        const MidiEvent* note;
    };
    // The earliest tick first; at one tick the note off of the later Note.
    struct LaterThan {
        bool operator()(const Pending& a, const Pending& b) const {
            return a.tick != b.tick ? a.tick > b.tick : a.rank < b.rank;
        }
    };
    std::priority_queue<Pending, std::vector<Pending>, LaterThan> pending;
    std::vector<Q1Step> group;
    std::int64_t previous = 0;  // tick of the step emitted last
    bool any = false;
    auto flush = [&]() {
        for (int pass = 0; pass <= extra_passes; ++pass) NoteOffFront(group);
        for (const Q1Step& step : group) visit(step);
        group.clear();
    };
    auto emit = [&](const MidiEvent* record, int status, std::int64_t tick) {
        const bool opens = tick != previous;
        if (!any || opens) flush();
        group.push_back(Q1Step{record, status, tick, opens});
        previous = tick;
        any = true;
    };
    auto place_off = [&]() {
        const Pending off = pending.top();
        pending.pop();
        emit(off.note, kEvNoteOff, off.tick);
    };

    const MidiEvent* end_of_track = nullptr;
    std::int64_t end_tick = 0;
    bool after_end = false;  // something was emitted after the first end of track
    int rank = 0;
    std::int64_t t = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        t += event->delta;
        if (event->status == kEvNone) continue;
        if (event->status == kEvNote && (event->duration <= 0 || event->velocity == 0)) continue;
        while (!pending.empty() && pending.top().tick <= t) {
            place_off();
            after_end = end_of_track != nullptr;
        }
        if (end_of_track == nullptr && event->IsEndOfTrack()) {
            end_of_track = event;
            end_tick = t;
            continue;
        }
        after_end = end_of_track != nullptr;
        if (event->status == kEvNote) {
            emit(event, kEvNoteOn, t);
            pending.push({t + event->duration, rank++, event});
        } else {
            emit(event, event->status, t);
        }
    }
    while (!pending.empty()) {
        place_off();
        after_end = end_of_track != nullptr;
    }
    // Moved last, the end of track takes the tick of the event before it.
    if (end_of_track != nullptr)
        emit(end_of_track, end_of_track->status, after_end ? previous : end_tick);
    if (any) flush();
}

// The same visit over a Q1 track as it stands.
template <class Visit>
void ForEachQ1Event(const MidiTrackData& track, Visit visit) {
    std::int64_t t = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        t += event->delta;
        visit(Q1Step{event, event->status, t, event->delta != 0});
    }
}

}  // namespace retrograde::detail
