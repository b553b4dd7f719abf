// Clean-ups of a track that remove only what no one can hear: controller,
// pan and pitch-bend changes that were overridden before any note sounded,
// repeated values, and changes overridden within one tick. State is kept per
// (channel, number), since a track may hold several channels.
#include <array>
#include <cstdint>
#include <vector>

#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/Sounding.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::IsChannelOf;
using retrograde::detail::MarkNone;
using retrograde::detail::Sounding;

// The volume and expression controllers (and pan) the merge balances.
constexpr std::array kVolumeControllers = {7, 11, 39, 43, 10};

// Bank selects, data entry, pedals, parameter numbers and channel-mode
// messages are never removed: a receiver latches or counts them, so an
// "unused" one still matters (a bank select waits for the program change, a
// data entry needs its parameter number, a pedal-up ends ringing notes).
constexpr bool AlwaysKept(int controller) {
    return controller == 0 || controller == 6 || controller == 32 || controller == 38 ||
           (controller >= 64 && controller <= 69) || (controller >= 96 && controller <= 101) ||
           controller >= 120;
}

// The last change of one kind on one channel, and whether it was heard: a
// note sounded when it was sent, or a note began since.
struct LastChange {
    int index = -1;
    bool heard = false;
    std::uint64_t onsets = 0;

    bool Unheard(const Sounding& s, int ch) const {
        return index >= 0 && !heard && s.Onsets(ch) == onsets;
    }
    void Set(int i, const Sounding& s, int ch) {
        index = i;
        heard = s.Any(ch);
        onsets = s.Onsets(ch);
    }
};

bool IsNoteForm(int form) {
    return form == kFormQ1 || form == kFormQ2;
}

// Walks the track with what each channel hears; visit(index, event, sounding)
// sees every event after the sounding state has taken it in (so a note on is
// heard by a change after it at the same tick).
template <class Visit>
void WalkHeard(MidiTrackData& track, Visit visit) {
    Sounding sounding;
    std::int64_t tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        tick += e.delta;
        sounding.See(e, tick);
        visit(i, e, sounding);
    }
}

// Of two changes that match, the earlier goes when no one heard it.
template <class Match>
void RemoveUnheard(MidiTrackData& track, Match match) {
    std::array<LastChange, kMidiChannels> last{};
    WalkHeard(track, [&](int i, MidiEvent& e, const Sounding& s) {
        if (!match(e) || !IsChannelOf(e)) return;
        LastChange& slot = last[e.channel];
        if (slot.Unheard(s, e.channel)) MarkNone(track.event_table[slot.index]);
        slot.Set(i, s, e.channel);
    });
    track.DeleteNop();
}

bool IsControl(const MidiEvent& e, int controller) {
    return e.status == kEvControl && e.number == controller;
}

int ListSlot(int controller) {
    for (std::size_t k = 0; k < kVolumeControllers.size(); ++k) {
        if (kVolumeControllers[k] == controller) return static_cast<int>(k);
    }
    return -1;
}

}  // namespace

void MidiF1TrackData::CleanUpVolumeChange() {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    RemoveUnheard(*this, [](const MidiEvent& e) { return IsControl(e, kCcVolume); });
}

void MidiF1TrackData::CleanUpPan() {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    RemoveUnheard(*this, [](const MidiEvent& e) { return IsControl(e, kCcPan); });
}

void MidiF1TrackData::CleanUpDuplicatePitchBend() {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    RemoveUnheard(*this, [](const MidiEvent& e) { return e.status == kEvPitchBend; });
}

// One pass with a slot per (channel, controller): a repeated value goes; a
// change no one heard goes when another value follows.
void MidiF1TrackData::CleanUpDuplicateControlChangeExceptSpecifiedCmd(int* except, int count) {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    std::array<bool, kMidiNotes> skip{};
    for (int c = 0; c < kMidiNotes; ++c) skip[c] = AlwaysKept(c);
    for (int k = 0; except != nullptr && k < count; ++k) {
        if (except[k] >= 0 && except[k] < kMidiNotes) skip[except[k]] = true;
    }
    struct Slot {
        int value = -1;
        LastChange change;
    };
    std::vector<Slot> slots(static_cast<std::size_t>(kMidiChannels * kMidiNotes));
    WalkHeard(*this, [&](int i, MidiEvent& e, const Sounding& s) {
        if (e.status != kEvControl || !IsChannelOf(e) || e.number < 0 || e.number >= kMidiNotes ||
            skip[e.number])
            return;
        Slot& slot = slots[static_cast<std::size_t>(e.channel * kMidiNotes + e.number)];
        if (e.value == slot.value) {
            // The change in force goes on; it is heard if a note sounds now.
            MarkNone(&e);
            slot.change.heard = slot.change.heard || s.Any(e.channel);
            return;
        }
        if (slot.change.Unheard(s, e.channel)) MarkNone(event_table[slot.change.index]);
        slot.value = e.value;
        slot.change.Set(i, s, e.channel);
    });
    DeleteNop();
}

void MidiF1TrackData::CleanUpDuplicateVolumeExpressionOfSameValue() {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    std::array<std::array<int, kVolumeControllers.size()>, kMidiChannels> last{};
    for (auto& channel : last) channel.fill(-1);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        const int k = e.status == kEvControl && IsChannelOf(e) ? ListSlot(e.number) : -1;
        if (k < 0) continue;
        int& value = last[e.channel][k];
        if (e.value == value) MarkNone(&e);
        value = e.value;
    }
    DeleteNop();
}

// Of several changes of one controller at one tick only the last counts (a
// receiver ends the tick on it); it goes too when it repeats the value in
// force before the tick.
void MidiF1TrackData::CleanUpDuplicateVolumeExpressionOfSameTiming() {
    if (!IsNoteForm(form)) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    struct Slot {
        int value = -1;    // kept value in force before this tick
        int pending = -1;  // the last change at this tick
    };
    std::array<std::array<Slot, kVolumeControllers.size()>, kMidiChannels> slots{};
    std::vector<Slot*> touched;
    const auto close_tick = [&] {
        for (Slot* slot : touched) {
            MidiEvent* e = event_table[slot->pending];
            if (e->value == slot->value) {
                MarkNone(e);
            } else {
                slot->value = e->value;
            }
            slot->pending = -1;
        }
        touched.clear();
    };
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.delta != 0) close_tick();
        const int k = e.status == kEvControl && IsChannelOf(e) ? ListSlot(e.number) : -1;
        if (k < 0) continue;
        Slot& slot = slots[e.channel][k];
        if (slot.pending >= 0) {
            MarkNone(event_table[slot.pending]);
        } else {
            touched.push_back(&slot);
        }
        slot.pending = i;
    }
    close_tick();
    DeleteNop();
}
