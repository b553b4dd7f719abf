#include "midi/track/detail/NotePairing.h"

namespace retrograde::detail {

void NotePairing::Reset() {
    notes_.clear();
    next_.clear();
    keys_.fill(Key{});
    others_.clear();
    last_index_ = -1;
    last_tick_ = 0;
}

NotePairing::Key& NotePairing::KeyOf(int channel, int note) {
    if (channel >= 0 && channel < kChannels && note >= 0 && note < kKeys) {
        return keys_[static_cast<std::size_t>(channel * kKeys + note)];
    }
    return others_[{channel, note}];
}

// A note on (velocity > 0) or a note off (a note on of velocity 0 among them).
void NotePairing::AddNote(const MidiEvent& event, int index, std::int64_t tick) {
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
void NotePairing::Follow(Key& key, int index, std::int64_t tick) {
    if (key.unfollowed < 0) return;
    Note& note = notes_[static_cast<std::size_t>(key.unfollowed)];
    key.unfollowed = -1;
    if (note.own) return;
    note.end = index;
    note.stop = tick;
}

void NotePairing::NoteOn(Key& key, const MidiEvent* record, int index, std::int64_t tick) {
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

void NotePairing::NoteOff(Key& key, int index, std::int64_t tick) {
    const int n = key.head;
    if (n < 0) return;  // a note off of no note
    key.head = next_[static_cast<std::size_t>(n)];
    if (key.head < 0) key.tail = -1;
    Note& note = notes_[static_cast<std::size_t>(n)];
    note.end = index;
    note.stop = tick;
    note.own = true;
}

void NotePairing::Finish() {
    for (Note& note : notes_) {
        if (note.end >= 0) continue;
        note.end = last_index_;
        note.stop = last_tick_;
    }
}

std::vector<int> PairNoteEnds(const MidiEvent* const* events, int count) {
    NotePairing pairing;
    std::int64_t tick = 0;
    for (int i = 0; i < count; ++i) {
        tick += events[i]->delta;
        pairing.Add(*events[i], i, tick);
    }
    pairing.Finish();
    std::vector<int> ends(static_cast<std::size_t>(count > 0 ? count : 0), -1);
    for (const NotePairing::Note& note : pairing.Notes()) {
        ends[static_cast<std::size_t>(note.on)] = note.end;
    }
    return ends;
}

}  // namespace retrograde::detail
