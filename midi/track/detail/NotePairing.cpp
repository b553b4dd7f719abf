#include "midi/track/detail/NotePairing.h"

namespace retrograde::detail {

void NotePairing::Reset() {
    notes_.clear();
    next_.clear();
    keys_.Reset();
    last_index_ = -1;
    last_tick_ = 0;
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
