// The conversions between the two event-list forms: Q1 (note on and note off
// apart) and Q2 (one Note with its duration). Both work on absolute times in
// a single walk with queues, never by repeated insertion into the table.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <queue>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Prefetch.h"

using retrograde::detail::PrefetchAhead;
using retrograde::detail::PrefetchAheadForWriting;

namespace {

constexpr int kNoteOffVelocity = 64;  // what a note off made from a Note carries

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// First-in first-out queues of event indices, one per channel and note. The
// queues are linked through one array, so pushing and popping cost O(1).
// Channels and notes outside the MIDI ranges (events made by a program) get
// queues of their own in a map.
class NoteQueues {
public:
    explicit NoteQueues(int events) : next_(static_cast<std::size_t>(events), -1) {
        heads_.fill({-1, -1});
    }

    void Push(int channel, int note, int index) {
        Ends& q = QueueOf(channel, note);
        if (q.tail >= 0) {
            next_[static_cast<std::size_t>(q.tail)] = index;
        } else {
            q.head = index;
        }
        q.tail = index;
    }
    // The oldest index of that channel and note, or -1.
    int Pop(int channel, int note) {
        Ends& q = QueueOf(channel, note);
        const int index = q.head;
        if (index < 0) return -1;
        q.head = next_[static_cast<std::size_t>(index)];
        if (q.head < 0) q.tail = -1;
        return index;
    }

private:
    struct Ends {
        int head;
        int tail;
    };
    Ends& QueueOf(int channel, int note) {
        if (channel >= 0 && channel < kMidiChannels && note >= 0 && note < kMidiNotes) {
            return heads_[static_cast<std::size_t>(channel * kMidiNotes + note)];
        }
        return others_.try_emplace({channel, note}, Ends{-1, -1}).first->second;
    }

    std::vector<int> next_;
    std::array<Ends, kMidiChannels * kMidiNotes> heads_;
    std::map<std::pair<int, int>, Ends> others_;
};

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

// Each note on is paired with the first later note off of its channel and
// note that no earlier note on took: overlapping notes of one pitch pair first
// on with first off. That is a queue per channel and note, in one pass. Note
// offs left over, and note ons that found none, go.
void MidiTrackData::Q1toQ2() try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // Pairing first, on side arrays, so running out of memory leaves the track
    // as it was. A track from the PairNotes reader was paired as it was read.
    const bool paired = notes_paired_;
    const auto count = static_cast<std::size_t>(paired ? 0 : event_count);
    std::vector<std::int64_t> start(count);
    std::vector<std::int64_t> duration(count, 0);
    NoteQueues queues(static_cast<int>(count));
    std::int64_t t = 0;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        PrefetchAhead(event_table.get(), i, event_count);
        const MidiEvent& event = *event_table[i];
        t += event.delta;
        // A note on with velocity 0 is a note off.
        const bool on = event.status == kEvNoteOn && event.velocity != 0;
        const bool off = event.status == kEvNoteOff || (event.status == kEvNoteOn && !on);
        if (on) {
            start[static_cast<std::size_t>(i)] = t;
            queues.Push(event.channel, event.note, i);
        } else if (off) {
            const int paired = queues.Pop(event.channel, event.note);
            if (paired >= 0) {
                duration[static_cast<std::size_t>(paired)] =
                    t - start[static_cast<std::size_t>(paired)];
            }
        }
    }

    // Notes take their lengths; note offs (velocity-0 note ons among them),
    // Notes of no length and none events go, each delta passed on to the next
    // event kept (as DeleteNop does), in the same walk.
    MidiEvent** table = event_table.get();
    int kept = 0;
    int negative = 0;  // carried deltas that came out negative
    std::int64_t carry = 0;
    for (int i = 0; i < event_count; ++i) {
        PrefetchAheadForWriting(table, i, event_count);
        MidiEvent* event = table[i];
        if (event->status == kEvNoteOn && event->velocity != 0) {
            event->status = kEvNote;
            if (!paired) event->duration = ClampToInt(duration[static_cast<std::size_t>(i)]);
        } else if (event->status == kEvNoteOff || event->status == kEvNoteOn) {
            event->status = kEvNone;  // paired or not, a note off has no place in Q2
        }
        if (event->status == kEvNote) {
            if (event->duration == 0) {
                event->status = kEvNone;
            } else if (event->duration < 0) {
                ErrorMsg(kErrTrackInternal);
            }
        }
        if (event->status == kEvNone) {
            carry += event->delta;
            DestroyEvent(event);
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
    std::fill(table + kept, table + event_count, nullptr);
    event_count = kept;
    for (int i = 0; i < negative; ++i) ErrorMsg(kErrTrackInternal);
    notes_paired_ = false;
    form = kFormQ2;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
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
// in one walk, which gives the same order. A second walk puts the records in
// place and does MoveNoteOffFront on the way: each record is read once and
// written once.
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
    std::vector<MidiEvent*> order;
    std::vector<std::int64_t> ticks;
    order.reserve(2 * count);
    ticks.reserve(2 * count);
    std::vector<MidiEvent*> dropped;
    std::vector<PendingOff> heap_store;
    heap_store.reserve(count);
    std::priority_queue<PendingOff, std::vector<PendingOff>, LaterThan> pending(
        LaterThan{}, std::move(heap_store));

    auto place_off = [&]() {
        const PendingOff off = pending.top();
        pending.pop();
        order.push_back(offs[static_cast<std::size_t>(off.rank)].get());
        ticks.push_back(off.tick);
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
            end_of_track = static_cast<std::ptrdiff_t>(order.size());
        }
        order.push_back(event);
        ticks.push_back(t);
        if (event->status != kEvNote) continue;
        auto off = std::make_unique<MidiEvent>(0);
        off->SetNoteOffEvent(event->channel, event->note);
        off->velocity = kNoteOffVelocity;
        pending.push({t + event->duration, static_cast<int>(offs.size())});
        offs.push_back(std::move(off));
    }
    while (!pending.empty()) place_off();
    if (negative) ErrorMsg(kErrTrackInternal);
    const int total = static_cast<int>(order.size());
    if (order.size() > static_cast<std::size_t>(kMaxEvents)) {
        // The note offs would not fit the table: the track stays in Q2, whole.
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }

    // The first end of track goes last, at the tick of the last event.
    if (end_of_track >= 0 && end_of_track + 1 < total) {
        std::rotate(order.begin() + end_of_track, order.begin() + end_of_track + 1, order.end());
        std::rotate(ticks.begin() + end_of_track, ticks.begin() + end_of_track + 1, ticks.end());
        ticks.back() = ticks[ticks.size() - 2];
    }

    // Commit.
    for (MidiEvent* event : dropped) DestroyEvent(event);
    for (auto& off : offs) off.release();  // now held through order
    MidiEvent** table = event_table.get();
    std::int64_t previous = 0;
    int nearest_on = -1;  // of the tick group being placed, for MoveNoteOffFront
    for (int i = 0; i < total; ++i) {
        PrefetchAheadForWriting(order.data(), i, total);
        MidiEvent* event = order[static_cast<std::size_t>(i)];
        const std::int64_t tick = ticks[static_cast<std::size_t>(i)];
        event->delta = ClampToInt(tick - previous);
        previous = tick;
        if (event->status == kEvNote) {
            event->status = kEvNoteOn;
            event->duration = 0;
        }
        table[i] = event;
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
    std::fill(table + total, table + std::max(total, event_count), nullptr);
    event_count = total;
    form = kFormQ1;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}
