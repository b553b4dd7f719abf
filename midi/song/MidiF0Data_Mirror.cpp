// The mirror transforms of a format-0 song (backwards in time, upside down in
// pitch) and the small operations that shape the start of a song for playback.
#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "midi/song/MidiF0Data.h"

namespace {

constexpr int kAhead = 8;

// Asks early for the record a walk will read kAhead places on: the records of
// a song lie scattered in memory, and the waits for them overlap this way.
// Always inlined, or GCC drops the call as one without effect.
[[gnu::always_inline]] inline void Prefetch(const MidiEvent* record) {
    __builtin_prefetch(record);
}

bool IsNoteOff(const MidiEvent* e) {
    return e->status == kEvNoteOff || (e->status == kEvNoteOn && e->velocity == 0);
}

bool IsSoundingNoteOn(const MidiEvent* e) {
    return e->status == kEvNoteOn && e->velocity != 0;
}

// Index of a (channel, note) pair, or -1 for values no MIDI message can carry.
int NoteKey(const MidiEvent* e) {
    if (e->channel < 0 || e->channel >= kMidiChannels || e->note < 0 || e->note >= kMidiNotes) return -1;
    return e->channel * kMidiNotes + e->note;
}

// First-in first-out queues of event indexes, one per (channel, note), kept as
// linked lists through one array so that a pass costs O(events).
class NoteQueues {
public:
    explicit NoteQueues(int events) : next_(static_cast<std::size_t>(events), -1) {
        head_.fill(-1);
        tail_.fill(-1);
    }
    void Push(int key, int index) {
        if (tail_[key] < 0) {
            head_[key] = index;
        } else {
            next_[tail_[key]] = index;
        }
        tail_[key] = index;
    }
    int Pop(int key) {  // -1 when empty
        const int index = head_[key];
        if (index < 0) return -1;
        head_[key] = next_[index];
        if (head_[key] < 0) tail_[key] = -1;
        return index;
    }

private:
    std::array<int, kMidiChannels * kMidiNotes> head_;
    std::array<int, kMidiChannels * kMidiNotes> tail_;
    std::vector<int> next_;
};

// Puts the records of list into the track's table in order.
void ReplaceEvents(MidiTrackData& track, const std::vector<MidiEvent*>& list) {
    std::copy(list.begin(), list.end(), track.event_table.get());
    track.event_count = static_cast<int>(list.size());
}

using ProgramPlaces = std::array<std::vector<int>, kMidiChannels>;

// Lays out a track whose place k holds record(k) with the delta delta(k)
// (places 0 .. count-1), with every program change moved back by one
// occurrence of its channel: the first of a channel goes to the front at
// time 0 (the fronts of channels 15 .. 0 in that order), each later one takes
// the place, and so the time, of the one before it, and the place of the last
// one disappears, its delta passed on to the next event. programs holds, per
// channel, the places of its program changes in ascending order. Every record
// is given its final delta exactly once.
template <typename Record, typename Delta>
void LayOutMovingPrograms(MidiTrackData& t, int count, Record record, Delta delta,
                          const ProgramPlaces& programs) {
    // For each place that holds a program change: the place whose record
    // comes here instead, or -1 when the place is vacated.
    std::vector<int> source;
    bool any = false;
    for (const auto& list : programs) any = any || !list.empty();
    if (any) {
        source.assign(static_cast<std::size_t>(count), 0);
        for (const auto& list : programs) {
            for (std::size_t m = 0; m < list.size(); ++m) {
                source[list[m]] = m + 1 < list.size() ? list[m + 1] : -1;
            }
        }
    }
    auto is_program_place = [&](int k, int c) {
        const auto& list = programs[c];
        return std::binary_search(list.begin(), list.end(), k);
    };
    std::vector<MidiEvent*> result;
    result.reserve(static_cast<std::size_t>(count));
    for (int c = kMidiChannels - 1; c >= 0; --c) {
        if (programs[c].empty()) continue;
        MidiEvent* first = record(programs[c].front());
        first->delta = 0;
        result.push_back(first);
    }
    int carry = 0;
    bool none = false;
    for (int k = 0; k < count; ++k) {
        if (k + kAhead < count) Prefetch(record(k + kAhead));
        MidiEvent* e = record(k);
        if (any && e->status == kEvProgram && e->channel >= 0 && e->channel < kMidiChannels &&
            is_program_place(k, e->channel)) {
            const int from = source[k];
            if (from < 0) {
                carry += delta(k);
                continue;
            }
            e = record(from);
        }
        e->delta = delta(k) + carry;
        carry = 0;
        none = none || e->status == kEvNone;
        result.push_back(e);
    }
    ReplaceEvents(t, result);
    // None events the song held before go as DeleteNop takes them.
    if (none) t.DeleteNop();
}

}  // namespace

void MidiF0Data::HorizontalReverse() {
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    MidiTrackData& t = *track;
    const int count = t.event_count;
    if (count == 0 || !t.event_table[count - 1]->IsEndOfTrack()) {
        ErrorMsg(kErrGeneral);
        return;
    }
    MidiEvent** ev = t.event_table.get();
    const int last = count - 1;  // the end of track is never moved

    // Each note off changes place with the note on it ends, so that after the
    // reversal the note on stands in front again. The partner is the earliest
    // note on of that channel and pitch not yet taken: the pairing by which
    // the notes were made (first on with first off), so overlapping notes of
    // one pitch each keep their length and velocity, and none is left without
    // its note off. The deltas stay with the places; they are kept aside here
    // and given out once at the end. Program changes are never exchanged, so
    // their places are known in the same walk.
    std::vector<int> deltas(static_cast<std::size_t>(count));
    ProgramPlaces programs;
    NoteQueues waiting(last);
    for (int i = 0; i < last; ++i) {
        if (i + kAhead < last) Prefetch(ev[i + kAhead]);
        MidiEvent* e = ev[i];
        deltas[i] = e->delta;
        if (e->status == kEvProgram) {
            if (e->channel >= 0 && e->channel < kMidiChannels) programs[e->channel].push_back(i);
            continue;
        }
        const int key = NoteKey(e);
        if (key < 0) continue;
        if (IsNoteOff(e)) {
            const int j = waiting.Pop(key);
            if (j >= 0) std::swap(ev[i], ev[j]);
        } else if (IsSoundingNoteOn(e)) {
            waiting.Push(key, i);
        }
    }
    deltas[last] = ev[last]->delta;

    // The order reversed: place k takes the record of place last-1-k. Each
    // gap then lies between the same two events as before, so place k gets
    // the delta of place last-k; the silence in front of the first event is
    // dropped and the end of track keeps its own gap.
    std::reverse(ev, ev + last);
    for (auto& list : programs) {
        for (int& place : list) place = last - 1 - place;
        std::reverse(list.begin(), list.end());
    }
    LayOutMovingPrograms(
        t, count, [ev](int k) { return ev[k]; },
        [&deltas, last](int k) {
            if (k == 0) return 0;  // also an end of track standing alone
            return k == last ? deltas[last] : deltas[last - k];
        },
        programs);
}

void MidiF0Data::HorizontalReverseSub() {
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    MidiTrackData& t = *track;
    const int count = t.event_count;
    if (count == 0) return;
    MidiEvent** ev = t.event_table.get();
    // In the reversed song a program change follows the passage it governed;
    // moved back by one occurrence, each again precedes its own passage.
    // Controllers and pitch bends are not moved. The last event (the end of
    // track) is never taken.
    std::vector<int> deltas(static_cast<std::size_t>(count));
    ProgramPlaces programs;
    bool any = false;
    for (int k = 0; k < count; ++k) {
        const MidiEvent* e = ev[k];
        deltas[k] = e->delta;
        if (k + 1 < count && e->status == kEvProgram && e->channel >= 0 && e->channel < kMidiChannels) {
            programs[e->channel].push_back(k);
            any = true;
        }
    }
    if (!any) return;
    const std::vector<MidiEvent*> order(ev, ev + count);
    LayOutMovingPrograms(
        t, count, [&order](int k) { return order[k]; }, [&deltas](int k) { return deltas[k]; },
        programs);
}

void MidiF0Data::VerticalReverse() {
    if (!track) return;
    MidiTrackData& t = *track;
    std::array<int, kMidiChannels> low;
    std::array<int, kMidiChannels> high;
    low.fill(kMidiMaxDataByte);
    high.fill(0);
    std::array<bool, kMidiChannels> used{};
    // Which channels are drums depends only on the exclusive messages: a
    // track of copies of them answers IsDrumChanel without walking the whole
    // song once per channel.
    MidiTrackData exclusives(form);
    for (int k = 0; k < t.event_count; ++k) {
        if (k + kAhead < t.event_count) Prefetch(t.event_table[k + kAhead]);
        MidiEvent* e = t.event_table[k];
        if (e->status == kEvSysEx) {
            exclusives.AddCopyEvent(e);
            continue;
        }
        if ((e->status != kEvNoteOn && e->status != kEvNoteOff) || e->channel < 0 ||
            e->channel >= kMidiChannels) {
            continue;
        }
        used[e->channel] = true;
        low[e->channel] = std::min(low[e->channel], e->note);
        high[e->channel] = std::max(high[e->channel], e->note);
    }
    // The pivot is the bottom of the octave at or below the middle of the
    // channel's range, so the mirrored part stays in a similar register.
    std::array<int, kMidiChannels> pivot{};
    std::array<bool, kMidiChannels> mirror{};
    bool any = false;
    for (int c = 0; c < kMidiChannels; ++c) {
        mirror[c] = used[c] && !exclusives.IsDrumChanel(c);
        pivot[c] = (low[c] + high[c]) / 2 / 12 * 12;
        any = any || mirror[c];
    }
    if (!any) return;
    for (int k = 0; k < t.event_count; ++k) {
        if (k + kAhead < t.event_count) Prefetch(t.event_table[k + kAhead]);
        MidiEvent* e = t.event_table[k];
        if ((e->status != kEvNoteOn && e->status != kEvNoteOff) || e->channel < 0 ||
            e->channel >= kMidiChannels || !mirror[e->channel]) {
            continue;
        }
        e->note = std::clamp(2 * pivot[e->channel] - e->note, 0, kMidiMaxDataByte);
    }
}

void MidiF0Data::HoldPedalToNote() {
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    Q2toQ1();
    MidiTrackData& t = *track;
    bool full_reported = false;
    int added = 0;  // records added in the current pass
    // Whether one more record fits the table once the pass is done.
    auto room = [&]() {
        if (t.event_count + added < kMaxEvents) {
            ++added;
            return true;
        }
        if (!full_reported) t.ErrorMsg(kErrTrackTooMuchData);
        full_reported = true;
        return false;
    };

    std::vector<MidiEvent*> list;
    for (int c = 0; c < kMidiChannels; ++c) {
        std::array<bool, kMidiNotes> held{};
        bool pedal = false;
        added = 0;
        list.clear();
        list.reserve(static_cast<std::size_t>(t.event_count) + kMidiNotes);
        for (int k = 0; k < t.event_count; ++k) {
            MidiEvent* e = t.event_table[k];
            list.push_back(e);
            if (e->channel != c) continue;
            if (e->status == kEvControl && e->number == kCcHoldPedal) {
                e->status = kEvNone;
                pedal = e->value != 0;
                if (pedal) continue;
                // Pedal up: every held note ends here. Each note off goes
                // directly behind the pedal event, so they come out in
                // descending note order.
                for (int n = kMidiNotes - 1; n >= 0; --n) {
                    if (!held[n] || !room()) continue;
                    auto off = std::make_unique<MidiEvent>();
                    off->SetNoteOffEvent(c, n);
                    off->delta = 0;
                    off->velocity = 0;
                    list.push_back(off.release());
                    held[n] = false;
                }
            } else if (pedal && IsSoundingNoteOn(e) && e->note >= 0 && e->note < kMidiNotes &&
                       held[e->note]) {
                // A held note struck again: end it and strike it anew at once.
                if (!room()) continue;
                auto again = std::make_unique<MidiEvent>(e);
                again->delta = 0;
                e->status = kEvNoteOff;
                list.push_back(again.release());
            } else if (pedal && e->status == kEvNoteOff && e->note >= 0 && e->note < kMidiNotes) {
                e->status = kEvNone;
                held[e->note] = true;
            }
        }
        // Notes still held when the song ends are ended behind its end of
        // track; Q1toQ2 folds them into the notes' lengths.
        for (int n = 0; n < kMidiNotes; ++n) {
            if (!held[n] || !room()) continue;
            auto off = std::make_unique<MidiEvent>();
            off->SetNoteOffEvent(c, n);
            off->delta = 0;
            off->velocity = 0;
            list.push_back(off.release());
        }
        ReplaceEvents(t, list);
    }
    t.DeleteNop();
    Q1toQ2();
}

int MidiF0Data::BeginImmidiately() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    const int note_status = form == kFormQ1 ? kEvNoteOn : kEvNote;
    long long sum = 0;
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        sum += e->delta;
        if (e->status == note_status) break;
    }
    const int measure = GetOneMeasureTick();
    if (measure <= 0) return 0;
    const int start = static_cast<int>(sum / measure * measure);
    MakeDeltaZero(start);
    return start;
}

void MidiF0Data::MakeDeltaZero(int ticks) {
    if (!track) return;
    long long time = 0;
    for (int k = 0; k < track->event_count; ++k) {
        MidiEvent* e = track->event_table[k];
        time += e->delta;
        if (time <= ticks) {
            e->delta = 0;
        } else {
            e->delta = static_cast<int>(time - ticks);
            break;
        }
    }
}

int MidiF0Data::GetDeltaOfFirstNote() {
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    return track->GetDeltaOfFirstNote();
}

int MidiF0Data::GetPostionOfFirstNote() {
    if (form != kFormQ2) ErrorMsg(kErrF0Internal);
    if (!track) return 0;
    const int count = track->event_count;
    int index = 0;
    while (index < count && track->event_table[index]->status != kEvNote) ++index;
    while (index + 1 < count - 1 && track->event_table[index + 1]->delta == 0) ++index;
    return index;
}

void MidiF0Data::GetNoteRange(int channel, int* low, int* high) {
    *low = kMidiMaxDataByte;
    *high = 0;
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (e->status != kEvNote || e->channel != channel) continue;
        *low = std::min(*low, e->note);
        *high = std::max(*high, e->note);
    }
}
