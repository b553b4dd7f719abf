// The conversions between the two event-list forms: Q1 (note on and note off
// apart) and Q2 (one Note with its duration). Both work on absolute times in
// a single walk with queues, never by repeated insertion into the table.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <queue>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/NotePairing.h"
#include "midi/track/detail/Prefetch.h"
#include "midi/track/detail/TrackEdits.h"

using retrograde::detail::PrefetchAhead;
using retrograde::detail::PrefetchAheadForWriting;

namespace {

constexpr int kNoteOffVelocity = 64;  // what a note off made from a Note carries

using retrograde::detail::ClampToInt;

}  // namespace

void MidiTrackData::NoteOnVelocityZeroToNoteOff() {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status == kEvNoteOn && event->velocity == 0) event->status = kEvNoteOff;
    }
}

// The notes are paired by the one rule of detail/NotePairing.h (first on with
// first off per channel and key; a note on without a note off of its own ends
// at the next note event of its key, or at the last event), so no note is
// lost. Pairing is done first, on the side, so running out of memory leaves
// the track as it was.
void MidiTrackData::Q1toQ2() try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    retrograde::detail::NotePairing pairing;
    pairing.Reserve(static_cast<std::size_t>(event_count / 2));
    std::int64_t t = 0;
    for (int i = 0; i < event_count; ++i) {
        PrefetchAhead(event_table.get(), i, event_count);
        t += event_table[i]->delta;
        pairing.Add(*event_table[i], i, t);
    }
    pairing.Finish();
    TakePairing(pairing);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::Q1toQ2(const retrograde::detail::NotePairing& pairing) {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    TakePairing(pairing);
}

// Notes take their lengths (at least 1: a note that ends where it starts
// still sounds); note offs (velocity-0 note ons among them) and none events
// go, each delta passed on to the next event kept (as DeleteNop does), in one
// walk. Nothing here can fail. A note on the pairing does not know (the
// track was edited since it was paired) is reported and gets length 1.
void MidiTrackData::TakePairing(const retrograde::detail::NotePairing& pairing) {
    const std::vector<retrograde::detail::NotePairing::Note>& notes = pairing.Notes();
    std::size_t next_note = 0;
    int negative = 0;  // lengths or carried deltas that came out negative
    int unpaired = 0;  // note ons the pairing did not know
    const auto take = [&](MidiEvent& event) {
        if (event.status == kEvNoteOn && event.velocity != 0) {
            event.status = kEvNote;
            // The note ons come in the pairing's order; they are known by
            // their records, so events taken out or added between (an end of
            // track repaired) do not matter.
            if (next_note < notes.size() && notes[next_note].record == &event) {
                event.duration = ClampToInt(notes[next_note++].Length());
            } else {
                ++unpaired;
                event.duration = 0;
            }
        } else if (event.status == kEvNoteOff || event.status == kEvNoteOn) {
            return true;  // paired or not, a note off has no place in Q2
        }
        if (event.status == kEvNote) {
            if (event.duration == 0) {
                event.duration = 1;
            } else if (event.duration < 0) {
                ++negative;
            }
        }
        return event.status == kEvNone;
    };
    negative += retrograde::detail::RemoveEvents(*this, take,
                                                 [this](MidiEvent* event) { DestroyEvent(event); });
    if (unpaired > 0) ErrorMsg(kErrTrackInternal);
    for (int i = 0; i < negative; ++i) ErrorMsg(kErrTrackInternal);
    form = kFormQ2;
}

namespace {

// A note off waiting to be placed: the tick it falls on and the rank of its
// Note in the track.
struct PendingOff {
    std::int64_t tick;
    int rank;
};

// The earliest tick first; at one tick the note off of the later Note first,
// as inserting each one before everything already at its tick would order them.
struct LaterThan {
    bool operator()(const PendingOff& a, const PendingOff& b) const {
        return a.tick != b.tick ? a.tick > b.tick : a.rank < b.rank;
    }
};

}  // namespace

// Every Note becomes a note on and a note off placed at its end: before the
// events already at that tick, so a note ending where another one starts is
// released first. Inserted one by one this is quadratic; here the note offs
// wait in a priority queue ordered by end tick and are merged with the events
// in one walk, which gives the same order, into a table of its own. A second
// walk gives the records their deltas and does MoveNoteOffFront on the way:
// each record is read once and written once.
void MidiTrackData::Q2toQ1() try {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // A Note without length or velocity sounds nothing and goes. A negative
    // length cannot be placed in time: such a Note goes as well, reported.
    auto drops = [](const MidiEvent& e) {
        return e.status == kEvNone || (e.status == kEvNote && (e.duration <= 0 || e.velocity == 0));
    };

    // Everything is prepared aside; the table changes only once nothing can fail.
    const auto count = static_cast<std::size_t>(event_count);
    std::vector<std::unique_ptr<MidiEvent>> offs;
    offs.reserve(count);
    auto order = NewEventTable();  // the Q1 list (entries past kMaxEvents only counted)
    std::size_t total = 0;
    std::vector<std::int64_t> ticks;
    ticks.reserve(2 * count);
    auto put = [&](MidiEvent* event, std::int64_t tick) {
        if (total < static_cast<std::size_t>(kMaxEvents)) order[total] = event;
        ++total;
        ticks.push_back(tick);
    };
    std::vector<MidiEvent*> dropped;
    std::vector<PendingOff> heap_store;
    heap_store.reserve(count);
    std::priority_queue<PendingOff, std::vector<PendingOff>, LaterThan> pending(
        LaterThan{}, std::move(heap_store));

    auto place_off = [&]() {
        const PendingOff off = pending.top();
        pending.pop();
        put(offs[static_cast<std::size_t>(off.rank)].get(), off.tick);
    };
    bool negative = false;
    std::ptrdiff_t end_of_track = -1;  // the first one, in order
    std::int64_t t = 0;
    for (int i = 0; i < event_count; ++i) {
        PrefetchAhead(event_table.get(), i, event_count);
        MidiEvent* event = event_table[i];
        t += event->delta;  // a dropped event's delta stays in the running time
        if (event->status == kEvNote && event->duration < 0) negative = true;
        if (drops(*event)) {
            dropped.push_back(event);
            continue;
        }
        while (!pending.empty() && pending.top().tick <= t) place_off();
        if (end_of_track < 0 && event->IsEndOfTrack()) {
            end_of_track = static_cast<std::ptrdiff_t>(total);
        }
        put(event, t);
        if (event->status != kEvNote) continue;
        auto off = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
        off->SetNoteOffEvent(event->channel, event->note);
        off->velocity = kNoteOffVelocity;
        pending.push({t + event->duration, static_cast<int>(offs.size())});
        offs.push_back(std::move(off));
    }
    while (!pending.empty()) place_off();
    if (negative) ErrorMsg(kErrTrackInternal);
    if (total > static_cast<std::size_t>(kMaxEvents)) {
        // The note offs would not fit the table: the track stays in Q2, whole.
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    const int placed = static_cast<int>(total);

    // The first end of track goes last, at the tick of the last event.
    if (end_of_track >= 0 && end_of_track + 1 < placed) {
        std::rotate(order.get() + end_of_track, order.get() + end_of_track + 1,
                    order.get() + placed);
        std::rotate(ticks.begin() + end_of_track, ticks.begin() + end_of_track + 1, ticks.end());
        ticks.back() = ticks[ticks.size() - 2];
    }

    // Commit.
    for (MidiEvent* event : dropped) DestroyEvent(event);
    for (auto& off : offs) off.release();  // now held through order
    MidiEvent** table = order.get();
    std::int64_t previous = 0;
    int nearest_on = -1;  // of the tick group being placed, for MoveNoteOffFront
    for (int i = 0; i < placed; ++i) {
        PrefetchAheadForWriting(table, i, placed);
        MidiEvent* event = table[i];
        const std::int64_t tick = ticks[static_cast<std::size_t>(i)];
        event->delta = ClampToInt(tick - previous);
        previous = tick;
        if (event->status == kEvNote) {
            event->status = kEvNoteOn;
            event->duration = 0;
        }
        // A tick group opens at every place with a delta; the places keep
        // their deltas when records are exchanged.
        if (i == 0 || event->delta != 0) nearest_on = -1;
        if (event->status == kEvNoteOn) {
            nearest_on = i;
        } else if (event->status == kEvNoteOff && nearest_on >= 0) {
            std::swap(table[i], table[nearest_on]);
            std::swap(table[i]->delta, table[nearest_on]->delta);
            nearest_on = i;
        }
    }
    event_table = std::move(order);
    event_count = placed;
    form = kFormQ1;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}
