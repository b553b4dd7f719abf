// Note and channel edits: pitch, octave, velocity and duration of Notes,
// channels (the part byte of GS part messages included, and the second port
// of a two-port module), and the remapping of drum notes.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string_view>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampDataByte;
using retrograde::detail::IsDataByte;
using retrograde::detail::IsMidiChannel;
using retrograde::detail::SetEventChannel;

constexpr int kOctave = 12;
constexpr int kAllChannels = -1;
constexpr int kKeepDuration = -1;
constexpr int kPortBOffset = 16;  // channels 16..31: the second port of a two-port module
constexpr int kPortChannels = 32;

bool IsPortChannel(int channel) {
    return channel >= 0 && channel < kPortChannels;
}

// Note number shifted and folded into 0..127 by whole octaves.
int FoldIntoRange(std::int64_t note) {
    if (note < 0) note += kOctave * ((-note + kOctave - 1) / kOctave);
    if (note > kMidiMaxDataByte)
        note -= kOctave * ((note - kMidiMaxDataByte + kOctave - 1) / kOctave);
    return static_cast<int>(note);
}

// Q2 operations refuse other forms; true when the track is Q2.
bool IsQ2(MidiTrackData& track) {
    if (track.form == kFormQ2) return true;
    track.ErrorMsg(kErrTrackInternal);
    return false;
}

template <class Change>
void EachNote(MidiTrackData& track, Change change) {
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        if (e.status == kEvNote) change(e);
    }
}

}  // namespace

// ---- notes ----

void MidiTrackData::ShiftNote(int channel, int semitones) {
    if (channel != kAllChannels && !IsMidiChannel(channel)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    EachNote(*this, [&](MidiEvent& e) {
        if (e.velocity > 0 && (channel == kAllChannels || e.channel == channel)) {
            e.note = FoldIntoRange(std::int64_t{e.note} + semitones);
        }
    });
}

void MidiTrackData::ShiftNote(int semitones) {
    ShiftNote(kAllChannels, semitones);
}

void MidiTrackData::ShitfOctave(int octaves) {
    if (!IsQ2(*this)) return;
    EachNote(*this, [&](MidiEvent& e) {
        e.note = ClampDataByte(std::int64_t{e.note} + std::int64_t{kOctave} * octaves);
    });
}

// A Note of velocity 0 is dropped when the track is saved: lowering the
// velocity must not delete the quiet notes, so a sounding Note keeps 1.
void MidiTrackData::AddVelocity(int amount) {
    if (!IsQ2(*this)) return;
    EachNote(*this, [&](MidiEvent& e) {
        const int lowest = e.velocity > 0 ? 1 : 0;
        e.velocity = std::max(lowest, ClampDataByte(std::int64_t{e.velocity} + amount));
    });
}

void MidiTrackData::ChangeDuration(int percent) {
    EachNote(*this, [&](MidiEvent& e) {
        const std::int64_t duration = std::int64_t{e.duration} * percent / 100;
        e.duration = static_cast<int>(std::clamp<std::int64_t>(duration, 1, INT32_MAX));
    });
}

int MidiTrackData::UnifyNoteDuration(int channel, int duration) {
    if (!IsQ2(*this)) return 0;
    if (!IsMidiChannel(channel) || duration < 1) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    int changed = 0;
    EachNote(*this, [&](MidiEvent& e) {
        if (e.channel != channel || e.velocity == 0 || e.duration == 0) return;
        e.duration = duration;
        ++changed;
    });
    return changed;
}

void MidiTrackData::SetNoteNo(int note, int duration) {
    if (!IsQ2(*this)) return;
    if (!IsDataByte(note) || (duration != kKeepDuration && duration < 1)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    EachNote(*this, [&](MidiEvent& e) {
        e.note = note;
        if (duration != kKeepDuration) e.duration = duration;
    });
}

void MidiTrackData::SetNoteNo(int note) {
    SetNoteNo(note, kKeepDuration);
}

// ---- channels ----

void MidiTrackData::UnifyChanel(int channel) {
    if (!IsMidiChannel(channel)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.channel != kNoChannel) SetEventChannel(e, channel);
    }
}

// A target on the second port (16..31) is that port's channel to - 16.
void MidiTrackData::ChangeChanelOfExclusive(MidiEvent* event, int from, int to) {
    if (event == nullptr || !IsPortChannel(to)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (event->IsChanelSysEx() == 0 || event->channel != from) return;
    SetEventChannel(*event, to % kMidiChannels);
}

void MidiTrackData::ChangeChanel(int from, int to) {
    if (!IsPortChannel(from) || !IsPortChannel(to)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    bool port_b = false;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!port_b && e.IsMeta(kMetaInstrument) && e.IsSC88BPort() != 0) port_b = true;
        if (e.status == kEvSysEx) {
            // Part messages name the part of their own port: 0..15.
            ChangeChanelOfExclusive(&e, port_b ? from - kPortBOffset : from, to);
        } else if (e.channel != kNoChannel && e.channel + (port_b ? kPortBOffset : 0) == from) {
            SetEventChannel(e, to % kMidiChannels);
        }
    }
}

// The name is compared through a bounded view of the first instrument name.
int MidiTrackData::ChangeChanel(char* name, int from, int to) {
    if (name == nullptr || !IsPortChannel(from) || !IsPortChannel(to)) {
        ErrorMsg(kErrTrackInternal);
        return 1;
    }
    const MidiEvent* first = nullptr;
    for (int i = 0; i < event_count && first == nullptr; ++i) {
        if (event_table[i]->IsMeta(kMetaInstrument)) first = event_table[i];
    }
    if (first == nullptr || retrograde::detail::MetaText(first) != std::string_view(name)) return 1;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvSysEx) {
            ChangeChanelOfExclusive(&e, from, to);
        } else if (e.channel != kNoChannel && e.channel == from) {
            SetEventChannel(e, to % kMidiChannels);
        }
    }
    return 0;
}

// ---- drum remapping ----

// Entries are read as signed char: plain char is unsigned on some targets,
// where -1 ("not mapped") would read as 255. Anything outside 0..127 leaves
// the note as it is.
void MidiTrackData::DrumDrumMapping(int bank, char (*map)[128], bool clear) {
    if (!IsQ2(*this)) return;
    if (map == nullptr || !IsDataByte(bank)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    int current_bank = 0;
    int drum_set = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && e.number == kCcBankSelectMsb && e.value != 0) {
            ErrorMsg(kErrTrackDrumBank);
            if (clear) retrograde::detail::SetChannelValue(e, 0);
        } else if (e.status == kEvControl && e.number == kCcBankSelectLsb) {
            current_bank = e.value;
            if (current_bank == bank && clear) retrograde::detail::SetChannelValue(e, 0);
        } else if (e.status == kEvProgram && current_bank == bank) {
            drum_set = e.value;
            if (clear) retrograde::detail::SetChannelValue(e, 0);
        } else if (e.status == kEvNote && current_bank == bank) {
            if (!IsDataByte(drum_set) || !IsDataByte(e.note)) {
                ErrorMsg(kErrGeneral);
                continue;
            }
            const int mapped = static_cast<signed char>(map[drum_set][e.note]);
            if (IsDataByte(mapped)) e.note = mapped;
        }
    }
    DeleteNop();
}
