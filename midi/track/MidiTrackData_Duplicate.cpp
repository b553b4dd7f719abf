// Duplicate clean-up: repeated program and bank-select values, note ons of
// sounding notes, note offs of silent notes, and notes doubled at one tick.
// Every walk marks events as none events and removes them in one DeleteNop.
#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::MarkNone;

bool ValidKey(int channel, int note) {
    return channel >= 0 && channel < kMidiChannels && note >= 0 && note < kMidiNotes;
}

// Changes the value of a program change or control change and keeps the
// record's copy of the message bytes in step.
void SetMessageValue(MidiEvent* event, int value) {
    event->value = value;
    if (event->status == kEvProgram) event->data[1] = static_cast<unsigned char>(value);
    if (event->status == kEvControl) event->data[2] = static_cast<unsigned char>(value);
}

// Calls visit(first, end) for every tick group [first, end) of the track. A
// group opens only at an event with a non-zero delta, so the events at tick 0
// before the first such event belong to no group.
template <typename Visit>
void ForEachTickGroup(const MidiTrackData& track, Visit visit) {
    const int count = track.event_count;
    int first = 0;
    while (first < count && track.event_table[first]->delta == 0) ++first;
    while (first < count) {
        int end = first + 1;
        while (end < count && track.event_table[end]->delta == 0) ++end;
        visit(first, end);
        first = end;
    }
}

// Runs a walk that may need memory; when it runs out, the marks made so far
// still go in the DeleteNop that follows and the message says why the
// clean-up stopped short.
template <typename Walk>
void Guarded(Walk walk) {
    try {
        walk();
    } catch (const std::bad_alloc&) {
        GneErrorMsg(kGneErrNoMemory);
    }
}

}  // namespace

void MidiTrackData::CleanUpDuplicateProgramChange() {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // Repeated values.
    int last = -1;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status != kEvProgram) continue;
        if (event->value == last) MarkNone(event);
        last = event->value;
    }
    DeleteNop();
    // A chain with no note between its members collapses into its first
    // member, which takes the chain's last value.
    MidiEvent* kept = nullptr;
    bool note_seen = false;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status == kEvProgram) {
            if (kept != nullptr && event->value != kept->value && !note_seen) {
                SetMessageValue(kept, event->value);
                MarkNone(event);
            } else {
                kept = event;
            }
            note_seen = false;
        } else if (event->status == kEvNoteOn || event->status == kEvNote) {
            note_seen = true;
        }
    }
    DeleteNop();
}

void MidiTrackData::CleanUpDuplicateBankSelectAndProgramChange() {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // Kinds: 0 program change, 1 bank select MSB, 2 bank select LSB.
    auto kind_of = [](const MidiEvent* event) {
        if (event->status == kEvProgram) return 0;
        if (event->status == kEvControl && event->number == kCcBankSelectMsb) return 1;
        if (event->status == kEvControl && event->number == kCcBankSelectLsb) return 2;
        return -1;
    };
    std::array<int, 3> last = {-1, -1, -1};
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        const int kind = kind_of(event);
        if (kind < 0) continue;
        if (event->value == last[kind]) MarkNone(event);
        last[kind] = event->value;
    }
    DeleteNop();
    // The settings made between two notes: each kind keeps its first event,
    // carrying the last value. The lists are unbounded, so any number of
    // settings before a note is handled.
    Guarded([&] {
        std::array<std::vector<int>, 3> lists;
        for (int i = 0; i < event_count; ++i) {
            MidiEvent* event = event_table[i];
            const int kind = kind_of(event);
            if (kind >= 0) {
                lists[kind].push_back(i);
                continue;
            }
            if (event->status != kEvNoteOn && event->status != kEvNote) continue;
            for (auto& list : lists) {
                if (list.size() > 1) {
                    SetMessageValue(event_table[list.front()], event_table[list.back()]->value);
                    for (std::size_t k = 1; k < list.size(); ++k) MarkNone(event_table[list[k]]);
                }
                list.clear();
            }
        }
    });
    DeleteNop();
}

int MidiTrackData::CleanUpDuplicateNoteOnOff(bool split) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    Q2toQ1();
    if (form != kFormQ1) return 0;

    std::array<std::array<bool, kMidiNotes>, kMidiChannels> sounding{};
    int result = 0;
    bool table_full_reported = false;
    // The walk builds the new order in a side list, so that inserting note
    // offs costs no shifting of the table. Both lists are reserved up front:
    // only making a record can fail, and then the inserted ones are undone.
    std::vector<MidiEvent*> out;
    std::vector<MidiEvent*> inserted;
    try {
        const int room = kMaxEvents - event_count;
        out.reserve(static_cast<std::size_t>(event_count) + (split ? room : 0));
        if (split) inserted.reserve(static_cast<std::size_t>(room));
        for (int i = 0; i < event_count; ++i) {
            MidiEvent* event = event_table[i];
            const bool note_on = event->status == kEvNoteOn && event->velocity > 0;
            const bool note_off =
                event->status == kEvNoteOff || (event->status == kEvNoteOn && event->velocity == 0);
            // Events with a channel or note out of range are no notes we can track.
            if ((note_on || note_off) && ValidKey(event->channel, event->note)) {
                bool& flag = sounding[event->channel][event->note];
                if (note_on && flag) {
                    result = 1;
                    if (split && static_cast<int>(inserted.size()) < room) {
                        // End the sounding note where the repeated one begins.
                        auto* off = new MidiEvent(event->delta);
                        off->SetNoteOffEvent(event->channel, event->note);
                        off->velocity = 64;
                        off->length = 3;
                        off->data[0] = static_cast<unsigned char>(kEvNoteOff | event->channel);
                        off->data[1] = static_cast<unsigned char>(event->note);
                        off->data[2] = 64;
                        event->delta = 0;
                        out.push_back(off);
                        inserted.push_back(off);
                    } else {
                        if (split && !table_full_reported) {
                            // No room for a note off: drop the repeated note on instead.
                            ErrorMsg(kErrTrackTooMuchData);
                            table_full_reported = true;
                        }
                        MarkNone(event);
                    }
                } else if (note_off && !flag) {
                    MarkNone(event);
                    result = 1;
                }
                flag = note_on;
            }
            out.push_back(event);
        }
        std::copy(out.begin(), out.end(), event_table.get());
        event_count = static_cast<int>(out.size());
    } catch (const std::bad_alloc&) {
        // The table still holds the old order: give every delta taken by an
        // inserted note off back to its note on, then drop the note offs.
        std::sort(inserted.begin(), inserted.end());
        for (std::size_t k = 0; k < out.size(); ++k) {
            if (!std::binary_search(inserted.begin(), inserted.end(), out[k])) continue;
            out[k + 1]->delta += out[k]->delta;
            delete out[k];
        }
        GneErrorMsg(kGneErrNoMemory);
    }
    DeleteNop();
    Q1toQ2();
    return result;
}

int MidiTrackData::DeleteDuplicateNote() {
    struct Key {
        int note;
        int duration;
        int index;
    };
    std::vector<Key> keys;
    int removed = 0;
    Guarded([&] {
        ForEachTickGroup(*this, [&](int first, int end) {
            keys.clear();
            for (int i = first; i < end; ++i) {
                const MidiEvent* event = event_table[i];
                if (event->status == kEvNote) keys.push_back({event->note, event->duration, i});
            }
            if (keys.size() < 2) return;
            // Within a run of equal note and duration, the earliest Note stays.
            std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
                if (a.note != b.note) return a.note < b.note;
                if (a.duration != b.duration) return a.duration < b.duration;
                return a.index < b.index;
            });
            for (std::size_t k = 1; k < keys.size(); ++k) {
                if (keys[k].note == keys[k - 1].note && keys[k].duration == keys[k - 1].duration) {
                    MarkNone(event_table[keys[k].index]);
                    ++removed;
                }
            }
        });
    });
    if (removed > 0) DeleteNop();
    return removed;
}

// For each Note a of a group, the Notes after a that double a in unison or
// octaves with a's duration go, unless their pitch is the highest or lowest of
// the Notes still after a. Done in O(g log g) per group: the Notes are bucketed
// by (duration, pitch); a bucket hit once loses every Note after the current
// one, so each bucket is swept at most once. Notes whose number is outside
// 0..127 take no part.
int MidiTrackData::DeleteDuplicateOctaveNote() {
    struct Entry {
        int duration;
        int note;
        int order;  // position among the group's Notes
    };
    std::vector<int> indices;             // table index of each of the group's Notes
    std::vector<bool> live;               // per Note: not yet removed
    std::vector<Entry> sorted;            // the Notes by (duration, note, order)
    std::vector<bool> swept;              // per position in sorted: its bucket is done
    std::array<int, kMidiNotes> after{};  // live Notes after the current one, per pitch
    int removed = 0;

    Guarded([&] {
        ForEachTickGroup(*this, [&](int first, int end) {
            indices.clear();
            sorted.clear();
            for (int i = first; i < end; ++i) {
                const MidiEvent* event = event_table[i];
                if (event->status != kEvNote || event->note < 0 || event->note >= kMidiNotes)
                    continue;
                sorted.push_back({event->duration, event->note, static_cast<int>(indices.size())});
                indices.push_back(i);
            }
            const int count = static_cast<int>(indices.size());
            if (count < 3) return;  // the outer voices are never removed
            std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
                if (a.duration != b.duration) return a.duration < b.duration;
                if (a.note != b.note) return a.note < b.note;
                return a.order < b.order;
            });
            live.assign(static_cast<std::size_t>(count), true);
            swept.assign(static_cast<std::size_t>(count), false);
            int highest = 0;
            int lowest = kMidiNotes - 1;
            for (const Entry& entry : sorted) after[entry.note] = 0;
            for (const Entry& entry : sorted) {
                ++after[entry.note];
                highest = std::max(highest, entry.note);
                lowest = std::min(lowest, entry.note);
            }

            for (int k = 0; k < count; ++k) {
                if (!live[k]) continue;
                const MidiEvent* a = event_table[indices[k]];
                --after[a->note];
                // The bounds only move inwards as Notes leave the set after a.
                while (highest >= 0 && after[highest] == 0) --highest;
                while (lowest < kMidiNotes && after[lowest] == 0) ++lowest;
                if (highest < 0) break;
                for (int pitch = a->note % 12; pitch < kMidiNotes; pitch += 12) {
                    if (pitch == highest || pitch == lowest || after[pitch] == 0) continue;
                    const Entry probe{a->duration, pitch, -1};
                    auto it = std::lower_bound(sorted.begin(), sorted.end(), probe,
                                               [](const Entry& x, const Entry& y) {
                                                   if (x.duration != y.duration)
                                                       return x.duration < y.duration;
                                                   if (x.note != y.note) return x.note < y.note;
                                                   return x.order < y.order;
                                               });
                    if (it == sorted.end() || it->duration != a->duration || it->note != pitch) {
                        continue;
                    }
                    const auto bucket = static_cast<std::size_t>(it - sorted.begin());
                    if (swept[bucket]) continue;
                    swept[bucket] = true;
                    for (; it != sorted.end() && it->duration == a->duration && it->note == pitch;
                         ++it) {
                        if (it->order <= k || !live[it->order]) continue;
                        live[it->order] = false;
                        --after[pitch];
                        MarkNone(event_table[indices[it->order]]);
                        ++removed;
                    }
                }
            }
        });
    });
    if (removed > 0) DeleteNop();
    return removed;
}

void MidiTrackData::GatherNoteEvent() {
    ForEachTickGroup(*this, [&](int first, int end) {
        // A Note met by the walk travels to the end of its group; the deltas
        // stay with their places.
        for (int i = first; i < end - 1; ++i) {
            if (event_table[i]->status == kEvNote) SwapEventExceptDelta(i, i + 1);
        }
    });
}
