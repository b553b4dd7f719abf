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

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

class NotePairing {
public:
    // One note on and where it ends.
    struct Note {
        const MidiEvent* record = nullptr;  // the note on itself
        int on = -1;                        // its list index
        int end = -1;                       // list index of the event where it ends
        std::int64_t start = 0;             // absolute ticks of both
        std::int64_t stop = 0;
        bool own = false;  // ended by a note off of its own
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
    void Add(const MidiEvent& event, int index, std::int64_t tick) {
        last_index_ = index;
        last_tick_ = tick;
        if (event.status == kEvNoteOn || event.status == kEvNoteOff) AddNote(event, index, tick);
    }
    // Gives every note on still open its end. Add may not follow.
    void Finish();
    // The note ons fed, in list order, each with its end once Finish has run.
    const std::vector<Note>& Notes() const { return notes_; }

private:
    static constexpr int kChannels = 16;
    static constexpr int kKeys = 128;
    // Per channel and key: the queue of note ons without a note off (linked
    // through next_), and the last note on that no later note event followed.
    struct Key {
        int head = -1;
        int tail = -1;
        int unfollowed = -1;
    };
    void AddNote(const MidiEvent& event, int index, std::int64_t tick);
    Key& KeyOf(int channel, int note);
    Key& OtherKey(int channel, int note);  // outside the MIDI ranges
    void NoteOn(Key& key, const MidiEvent* record, int index, std::int64_t tick);
    void NoteOff(Key& key, int index, std::int64_t tick);
    void Follow(Key& key, int index, std::int64_t tick);

    std::vector<Note> notes_;
    std::vector<int> next_;  // by note: the next one of its queue
    std::array<Key, kChannels * kKeys> keys_{};
    // Channels and keys outside the MIDI ranges (events made by a program).
    std::map<std::pair<int, int>, Key> others_;
    int last_index_ = -1;
    std::int64_t last_tick_ = 0;
};

// Inline: the reader and the mirror call these for every note event.
inline NotePairing::Key& NotePairing::KeyOf(int channel, int note) {
    if (channel >= 0 && channel < kChannels && note >= 0 && note < kKeys) {
        return keys_[static_cast<std::size_t>(channel * kKeys + note)];
    }
    return OtherKey(channel, note);
}

// A note on (velocity > 0) or a note off (a note on of velocity 0 among them).
inline void NotePairing::AddNote(const MidiEvent& event, int index, std::int64_t tick) {
    Key& key = KeyOf(event.channel, event.note);
    Follow(key, index, tick);
    if (event.status == kEvNoteOn && event.velocity != 0) {
        NoteOn(key, &event, index, tick);
    } else {
        NoteOff(key, index, tick);
    }
}

// The last note on of the key gets the event as its end by the rule, unless
// a note off of its own ends it.
inline void NotePairing::Follow(Key& key, int index, std::int64_t tick) {
    if (key.unfollowed < 0) return;
    Note& note = notes_[static_cast<std::size_t>(key.unfollowed)];
    key.unfollowed = -1;
    if (note.own) return;
    note.end = index;
    note.stop = tick;
}

inline void NotePairing::NoteOn(Key& key, const MidiEvent* record, int index, std::int64_t tick) {
    const int n = static_cast<int>(notes_.size());
    notes_.push_back(Note{record, index, -1, tick, tick, false});
    next_.push_back(-1);
    if (key.tail >= 0) {
        next_[static_cast<std::size_t>(key.tail)] = n;
    } else {
        key.head = n;
    }
    key.tail = n;
    key.unfollowed = n;
}

inline void NotePairing::NoteOff(Key& key, int index, std::int64_t tick) {
    const int n = key.head;
    if (n < 0) return;  // a note off of no note
    key.head = next_[static_cast<std::size_t>(n)];
    if (key.head < 0) key.tail = -1;
    Note& note = notes_[static_cast<std::size_t>(n)];
    note.end = index;
    note.stop = tick;
    note.own = true;
}

// For the events[0 .. count) of a Q1 list: ends[i] is the index of the event
// where the note on at i ends, -1 for every other event.
std::vector<int> PairNoteEnds(const MidiEvent* const* events, int count);

}  // namespace retrograde::detail
