// Where each note of a Q1 event list ends: the one pairing rule of the track
// reader, of the conversion to Q2 and of the mirror.
//
// Notes pair per channel and key, the first note on with the first note off;
// a note on of velocity 0 is a note off. A note on left without a note off of
// its own (a key struck again before it was released, or never released) is
// kept all the same: it ends at the first later note on or note off of its
// channel and key in list order, even one that ended an earlier note, and
// when there is none, at the list's last event. So no note is ever lost.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

// The note ons of one channel and key still waiting for their note off, first
// in, first out, linked through a table of ids shared by all keys.
struct NoteQueue {
    int head = -1;
    int tail = -1;
    // Appends id, whose entry of next is -1.
    void Push(int id, std::vector<int>& next) {
        if (tail >= 0) {
            next[static_cast<std::size_t>(tail)] = id;
        } else {
            head = id;
        }
        tail = id;
    }
    // The oldest id, taken off the queue; -1 when the queue is empty.
    int Pop(const std::vector<int>& next) {
        const int id = head;
        if (id < 0) return -1;
        head = next[static_cast<std::size_t>(id)];
        if (head < 0) tail = -1;
        return id;
    }
};

// One slot per channel and key. Channels and keys outside the MIDI ranges
// (events made by a program) have theirs in a map.
template <class Slot>
class KeySlots {
public:
    void Reset() {
        slots_.fill(Slot{});
        others_.clear();
    }
    Slot& At(int channel, int note) {
        if (channel >= 0 && channel < kChannels && note >= 0 && note < kKeys) [[likely]] {
            return slots_[static_cast<std::size_t>(channel * kKeys + note)];
        }
        return Other(channel, note);
    }

private:
    static constexpr int kChannels = 16;
    static constexpr int kKeys = 128;
    // Out of line: the walks that call At for every note stay small.
    [[gnu::noinline]] Slot& Other(int channel, int note) { return others_[{channel, note}]; }
    std::array<Slot, kChannels * kKeys> slots_{};
    std::map<std::pair<int, int>, Slot> others_;
};

inline bool IsNoteEvent(const MidiEvent& event) {
    return event.status == kEvNoteOn || event.status == kEvNoteOff;
}
inline bool IsSoundingNoteOn(const MidiEvent& event) {
    return event.status == kEvNoteOn && event.velocity != 0;
}

class NotePairing {
public:
    // One note on and where it ends.
    struct Note {
        const MidiEvent* record = nullptr;  // the note on itself
        int on = -1;                        // its list index
        int end = -1;                       // list index of the event where it ends
        std::int64_t start = 0;             // absolute ticks of both
        std::int64_t stop = 0;
        std::int64_t Length() const { return stop - start; }
    };

    NotePairing() { Reset(); }
    void Reset();
    void Reserve(std::size_t notes) {
        notes_.reserve(notes);
        next_.reserve(notes);
    }

    // Feeds the events of one list in order: index is the event's place in the
    // list, tick its absolute time. Events that are no note only mark the list's
    // end; so must every event, for the rule's last event.
    [[gnu::always_inline]] void Add(const MidiEvent& event, int index, std::int64_t tick) {
        last_index_ = index;
        last_tick_ = tick;
        if (IsNoteEvent(event)) AddNote(event, index, tick);
    }
    // Gives every note on still open its end. Add may not follow.
    void Finish();
    // The note ons fed, in list order, each with its end once Finish has run.
    const std::vector<Note>& Notes() const { return notes_; }

private:
    // The queue of note ons without a note off, and the last note on that no
    // later note event of its key followed, unless its own note off came.
    struct Key : NoteQueue {
        int unfollowed = -1;
    };
    [[gnu::always_inline]] void AddNote(const MidiEvent& event, int index, std::int64_t tick);
    [[gnu::always_inline]] void Follow(Key& key, int index, std::int64_t tick);

    std::vector<Note> notes_;
    std::vector<int> next_;  // by note: the next one of its queue
    KeySlots<Key> keys_;
    int last_index_ = -1;
    std::int64_t last_tick_ = 0;
};

// Inline: the reader calls these for every note event.
// A note on (velocity > 0) or a note off (a note on of velocity 0 among them).
inline void NotePairing::AddNote(const MidiEvent& event, int index, std::int64_t tick) {
    Key& key = keys_.At(event.channel, event.note);
    if (IsSoundingNoteOn(event)) {
        Follow(key, index, tick);
        const int n = static_cast<int>(notes_.size());
        notes_.push_back(Note{&event, index, -1, tick, tick});
        next_.push_back(-1);
        key.Push(n, next_);
        key.unfollowed = n;
        return;
    }
    const int n = key.Pop(next_);
    if (n >= 0) {
        Note& note = notes_[static_cast<std::size_t>(n)];
        note.end = index;
        note.stop = tick;
        if (key.unfollowed == n) key.unfollowed = -1;  // its own end is final
    }
    Follow(key, index, tick);
}

// The last note on of the key that no note off of its own has ended gets the
// event as its end by the rule; its own note off may still come and end it.
inline void NotePairing::Follow(Key& key, int index, std::int64_t tick) {
    if (key.unfollowed < 0) return;
    Note& note = notes_[static_cast<std::size_t>(key.unfollowed)];
    key.unfollowed = -1;
    note.end = index;
    note.stop = tick;
}

// The same rule for what needs only the note offs: which note on each note
// off ends. Notes without a note off of their own are no concern of it.
class NoteOffPairing {
public:
    // For a list of the given number of events.
    explicit NoteOffPairing(int count) : next_(static_cast<std::size_t>(std::max(count, 0)), -1) {
        keys_.Reset();
    }
    // Feeds the events of the list in order; for a note off that ends a note
    // on, the index of that note on, else -1.
    [[gnu::always_inline]] int Add(const MidiEvent& event, int index) {
        if (!IsNoteEvent(event)) return -1;
        NoteQueue& key = keys_.At(event.channel, event.note);
        if (IsSoundingNoteOn(event)) {
            key.Push(index, next_);
            return -1;
        }
        return key.Pop(next_);
    }

private:
    std::vector<int> next_;  // by index: the next note on of its queue
    KeySlots<NoteQueue> keys_;
};

// For the events[0 .. count) of a Q1 list: ends[i] is the index of the event
// where the note on at i ends, -1 for every other event.
std::vector<int> PairNoteEnds(const MidiEvent* const* events, int count);

}  // namespace retrograde::detail
