// What a track is (conductor, exclusive-only, empty), the small queries and
// setters the song-level operations use on one track, and the note-level
// touch-ups (loudest note, drum lengths, the drum-part switch).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/ChannelValue.h"
#include "midi/tables/SysExTemplates.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

bool IsChannelMessage(int status) {
    return status >= kEvNoteOff && status <= kEvPitchBend;
}
bool IsExclusive(const MidiEvent& e) {
    return e.status == kEvSysEx || e.status == kEvSysExEscape;
}
bool IsDataByte(int value) {
    return value >= 0 && value <= kMidiMaxDataByte;
}

template <class Pred>
int CountIf(const MidiTrackData& track, Pred pred) {
    int n = 0;
    for (int i = 0; i < track.event_count; ++i) n += pred(*track.event_table[i]) ? 1 : 0;
    return n;
}

}  // namespace

bool MidiF1TrackData::IsMasterTrack() {
    if (event_count == 0) return true;
    if (event_count == 1) return false;
    return CountIf(*this, [](const MidiEvent& e) { return e.status == kEvMeta; }) == event_count;
}

bool MidiF1TrackData::IsSysExTrack() {
    if (IsMasterTrack()) return false;
    const int exclusive = CountIf(*this, IsExclusive);
    const int meta = CountIf(*this, [](const MidiEvent& e) { return e.status == kEvMeta; });
    return exclusive > 0 && exclusive + meta == event_count;
}

bool MidiF1TrackData::IsChanelSysExOnlyTrack() {
    if (!IsSysExTrack()) return false;
    return CountIf(*this, [](const MidiEvent& e) {
               return e.status == kEvMeta || const_cast<MidiEvent&>(e).IsChanelSysEx() != 0;
           }) == event_count;
}

bool MidiF1TrackData::IsEmpty() {
    return event_count == 1 && event_table[0]->IsEndOfTrack();
}

bool MidiF1TrackData::CheckMiltiProgramChange() {
    return GetNumProgramChange() >= 2;
}

bool MidiF1TrackData::IsNoteExist(int note) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return false;
    }
    return CountIf(*this, [note](const MidiEvent& e) {
               return e.status == kEvNote && e.note == note;
           }) > 0;
}

int MidiF1TrackData::GetEventValue(unsigned char status) {
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->status == status) return event_table[i]->value;
    }
    return -1;
}

// The value field is what the writer puts out for channel messages only; on
// a meta or exclusive event it is not what is written, so those are refused.
void MidiF1TrackData::SetEventValue(unsigned char status, unsigned char value) {
    if (!IsChannelMessage(status) || !IsDataByte(value)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->status == status) {
            // A pitch bend's value is its high 7 bits.
            MidiEvent& e = *event_table[i];
            retrograde::detail::SetChannelValue(
                e, status == kEvPitchBend ? value * 128 + (e.note & kMidiMaxDataByte) : value);
            return;
        }
    }
}

void MidiF1TrackData::SetProgramChangeValue(int program) {
    if (!IsDataByte(program)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    SetEventValue(static_cast<unsigned char>(kEvProgram), static_cast<unsigned char>(program));
}

void MidiF1TrackData::SetControlChangeValue(int controller, int value) {
    if (!IsDataByte(value)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && e.number == controller)
            retrograde::detail::SetChannelValue(e, value);
    }
}

int MidiF1TrackData::GetNumSpecifiedEvent(unsigned char status) {
    return CountIf(*this, [status](const MidiEvent& e) { return e.status == status; });
}

int MidiF1TrackData::GetNumProgramChange() {
    return GetNumSpecifiedEvent(static_cast<unsigned char>(kEvProgram));
}

int MidiF1TrackData::GetNumControlChange(int controller) {
    return CountIf(*this, [controller](const MidiEvent& e) {
        return e.status == kEvControl && e.number == controller;
    });
}

int MidiF1TrackData::GetNumControlChange(int from, int to, int controller) {
    int n = 0;
    std::int64_t tick = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        tick += e.delta;
        if (e.status == kEvControl && e.number == controller && tick >= from && tick < to) ++n;
    }
    return n;
}

int MidiF1TrackData::GetControlChangeMaxValue(int controller) {
    int best = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && e.number == controller) best = std::max(best, e.value);
    }
    return best;
}

void MidiF1TrackData::GetNoteRange(int* low, int* high) {
    if (form != kFormQ2 || low == nullptr || high == nullptr) {
        ErrorMsg(kErrGeneral);
        return;
    }
    *low = kMidiMaxDataByte;
    *high = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        if (e.status != kEvNote) continue;
        *low = std::min(*low, e.note);
        *high = std::max(*high, e.note);
    }
}

// Without notes (or with notes of no length) the middle of the keyboard.
int MidiF1TrackData::GetCenterNote() {
    constexpr int kMiddle = 64;
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return kMiddle;
    }
    std::int64_t weighted = 0;
    std::int64_t total = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        if (e.status != kEvNote || e.duration <= 0) continue;
        weighted += std::int64_t{e.note} * e.duration;
        total += e.duration;
    }
    return total > 0 ? static_cast<int>(weighted / total) : kMiddle;
}

void MidiF1TrackData::EraseNoteEvent(int, int) {
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->status == kEvNote) retrograde::detail::MarkNone(event_table[i]);
    }
    DeleteNop();
}

void MidiF1TrackData::SetMaxVolume() {
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && (e.number == kCcVolume || e.number == kCcExpression))
            retrograde::detail::SetChannelValue(e, kMidiMaxDataByte);
    }
}

// v x 127 / m in integers, so the loudest note is exactly 127; with no note
// louder than 0 there is nothing to scale.
void MidiF1TrackData::SetMaxVelocity() {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    int loudest = 0;
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->status == kEvNote)
            loudest = std::max(loudest, event_table[i]->velocity);
    }
    if (loudest <= 0) return;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status != kEvNote) continue;
        e.velocity = std::clamp(e.velocity * kMidiMaxDataByte / loudest, 0, kMidiMaxDataByte);
    }
}

// Each note ends where the next note of the same channel and number begins;
// one that would keep no length (a doubled hit) goes. The next start of each
// (channel, note) comes from one walk backwards.
void MidiF1TrackData::AdjustDrumDuration() {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    std::vector<std::int64_t> ticks(static_cast<std::size_t>(event_count));
    std::int64_t tick = 0;
    for (int i = 0; i < event_count; ++i)
        ticks[static_cast<std::size_t>(i)] = tick += event_table[i]->delta;
    std::vector<std::int64_t> next(kMidiChannels * kMidiNotes, -1);
    for (int i = event_count - 1; i >= 0; --i) {
        MidiEvent& e = *event_table[i];
        if (e.status != kEvNote || e.channel < 0 || e.channel >= kMidiChannels || e.note < 0 ||
            e.note >= kMidiNotes)
            continue;
        std::int64_t& following = next[static_cast<std::size_t>(e.channel * kMidiNotes + e.note)];
        const std::int64_t start = ticks[static_cast<std::size_t>(i)];
        if (following >= 0 && e.duration > 0 && following - start < e.duration) {
            e.duration = static_cast<int>(following - start);
            if (e.duration == 0) retrograde::detail::MarkNone(&e);
        }
        following = start;
    }
    DeleteNop();
}

void MidiF1TrackData::InsertDrumScale(bool on, int channel) {
    if (channel < 0 || channel >= kMidiChannels) {
        ErrorMsg(kErrGeneral);
        return;
    }
    auto event = std::make_unique<MidiEvent>(0);
    event->status = kEvSysEx;
    event->number = kExTypeGsRhythmPart;
    event->channel = channel;
    event->value = on ? 1 : 0;
    event->length = static_cast<int>(SysExDrumScale.size());
    std::memcpy(event->data, SysExDrumScale.data(), SysExDrumScale.size());
    SetSysExF0Chanel(channel, &event->data[7], 0x10);
    event->data[9] = on ? 1 : 0;
    SetGSCheckSum(event->data);
    InsertEvent(0, kInsertBefore, event.release());
}
