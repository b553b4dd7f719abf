// Controller, program, exclusive and meta edits: rewriting control and
// program changes, the master volume and meta texts in place, and making new
// ones (first in the track or appended), display messages of GS and XG
// modules included. Every record goes through detail/EventRecords.h, so it is
// what the reader would make of the saved bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/tables/SysExTemplates.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ChannelRecord;
using retrograde::detail::ClampDataByte;
using retrograde::detail::IsDataByte;
using retrograde::detail::IsEditableMeta;
using retrograde::detail::IsMidiChannel;
using retrograde::detail::MetaText;
using retrograde::detail::SetChannelValue;

constexpr int kLongMetaText = 127;     // longer meta texts are reported (and kept)
constexpr int kLongDisplayText = 32;   // what a module's display shows
constexpr int kUniversalVolumeAt = 7;  // F0 07 7F 7F 04 01 00 vv F7
constexpr int kGsVolumeAt = 9;         // F0 0A 41 10 42 12 40 00 04 vv cs F7
constexpr int kGsMessageSize = 12;
constexpr int kUniversalVolumeSize = 9;  // the template's bytes, F0 to F7
constexpr int kRpnMsb = 101;
constexpr int kRpnLsb = 100;
constexpr int kDataEntry = 6;

// A refused argument: reported, nothing changed.
void Refuse(MidiTrackData& track) {
    track.ErrorMsg(kErrTrackInternal);
}

void InsertFirst(MidiTrackData& track, std::unique_ptr<MidiEvent> event) {
    track.InsertEvent(0, kInsertBefore, event.release());
}

void Append(MidiTrackData& track, int delta, std::unique_ptr<MidiEvent> event) {
    event->delta = delta;
    track.AddEvent(event.release());
}

std::vector<unsigned char> TextBytes(const char* text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    return {bytes, bytes + std::strlen(text)};
}

// A meta text of type from a caller's zero-terminated text; nullptr (reported)
// when the type cannot be made. Long texts are reported and kept whole.
std::unique_ptr<MidiEvent> MetaTextRecord(MidiTrackData& track, int type,
                                          const unsigned char* bytes, int count) {
    if (!IsEditableMeta(type) || bytes == nullptr || count < 0) {
        Refuse(track);
        return nullptr;
    }
    if (count > kLongMetaText) track.ErrorMsg(kErrGeneral);
    return retrograde::detail::MetaRecord(track, type, bytes, count);
}

std::unique_ptr<MidiEvent> MetaTextRecord(MidiTrackData& track, int type, const char* text) {
    if (text == nullptr) {
        Refuse(track);
        return nullptr;
    }
    const std::vector<unsigned char> bytes = TextBytes(text);
    return MetaTextRecord(track, type, bytes.data(), static_cast<int>(bytes.size()));
}

// Applies change to every control change that match accepts; the track's
// absolute time is passed along for the timed form.
template <class Match>
void EachControl(MidiTrackData& track, int number, Match match, auto change) {
    std::int64_t tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        tick += e.delta;
        if (e.status == kEvControl && e.number == number && match(e, tick)) change(e);
    }
}

// A display message: the text must be bytes a module shows (below 0x80).
bool DisplayText(MidiTrackData& track, const char* text, std::vector<unsigned char>& bytes) {
    if (text == nullptr) {
        Refuse(track);
        return false;
    }
    bytes = TextBytes(text);
    if (std::any_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b >= 0x80; })) {
        Refuse(track);
        return false;
    }
    if (static_cast<int>(bytes.size()) > kLongDisplayText) track.ErrorMsg(kErrGeneral);
    return true;
}

}  // namespace

// ---- rewriting ----

void MidiTrackData::AdditionControlChange(int /*channel*/, int number, int amount) {
    if (!IsDataByte(number)) return Refuse(*this);
    EachControl(
        *this, number, [](const MidiEvent&, std::int64_t) { return true; },
        [amount](MidiEvent& e) {
            SetChannelValue(e, ClampDataByte(std::int64_t{e.value} + amount));
        });
}

void MidiTrackData::RatioControlChange(int /*channel*/, int number, int percent) {
    if (!IsDataByte(number)) return Refuse(*this);
    EachControl(
        *this, number, [](const MidiEvent&, std::int64_t) { return true; },
        [percent](MidiEvent& e) {
            SetChannelValue(e, ClampDataByte(std::int64_t{e.value} * percent / 100));
        });
}

void MidiTrackData::ReplaceControlChange(int channel, int number, int value) {
    if (!IsMidiChannel(channel) || !IsDataByte(number) || !IsDataByte(value)) {
        return Refuse(*this);
    }
    EachControl(
        *this, number, [channel](const MidiEvent& e, std::int64_t) { return e.channel == channel; },
        [value](MidiEvent& e) { SetChannelValue(e, value); });
}

void MidiTrackData::ReplaceControlChange(int from, int to, int number, int value) {
    if (!IsDataByte(number) || !IsDataByte(value)) return Refuse(*this);
    EachControl(
        *this, number, [from, to](const MidiEvent&, std::int64_t t) { return from <= t && t < to; },
        [value](MidiEvent& e) { SetChannelValue(e, value); });
}

void MidiTrackData::ReplaceControlChange(int number, int value) {
    if (!IsDataByte(number) || !IsDataByte(value)) return Refuse(*this);
    EachControl(
        *this, number, [](const MidiEvent&, std::int64_t) { return true; },
        [value](MidiEvent& e) { SetChannelValue(e, value); });
}

void MidiTrackData::ReplaceProgramChange(int channel, int program) {
    if (!IsMidiChannel(channel) || !IsDataByte(program)) return Refuse(*this);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvProgram && e.channel == channel) SetChannelValue(e, program);
    }
}

void MidiTrackData::ReplaceProgramChange(int program) {
    if (!IsDataByte(program)) return Refuse(*this);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvProgram) SetChannelValue(e, program);
    }
}

// The universal message keeps the volume at index 7; the GS form (address
// 40 00 04) at index 9, followed by its checksum.
int MidiTrackData::ReplaceMasterVolume(int volume) {
    if (!IsDataByte(volume)) ErrorMsg(kErrTrackInternal);
    volume = ClampDataByte(volume);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status != kEvSysEx || e.number != kExTypeMasterVolume) continue;
        const bool gs = e.length > kGsVolumeAt && e.data[2] == 0x41;
        e.data[gs ? kGsVolumeAt : kUniversalVolumeAt] = static_cast<unsigned char>(volume);
        if (gs && e.length >= kGsMessageSize && e.data[kGsMessageSize - 1] == 0xF7) {
            SetGSCheckSum(e.data);
        }
        e.value = volume;
        return 1;
    }
    return 0;
}

int MidiTrackData::ReplaceMetaData(int type, char* text) try {
    if (text == nullptr || !IsEditableMeta(type)) {
        Refuse(*this);
        return 0;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!e.IsMeta(type)) continue;
        const std::vector<unsigned char> bytes = TextBytes(text);
        retrograde::detail::SetMetaBytes(*this, e, type, bytes.data(),
                                         static_cast<int>(bytes.size()));
        return 1;
    }
    return 0;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

int MidiTrackData::ReplaceMetaEvent(unsigned char type, char* text) try {
    if (text == nullptr || !IsEditableMeta(type)) {
        Refuse(*this);
        return 0;
    }
    const std::vector<unsigned char> bytes = TextBytes(text);
    int changed = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!e.IsMeta(type)) continue;
        retrograde::detail::SetMetaBytes(*this, e, type, bytes.data(),
                                         static_cast<int>(bytes.size()));
        changed = 1;
    }
    return changed;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

// The bytes of each event are read again under the new type, as the reader
// would read them (a text turned into a tempo gets its value from them).
void MidiTrackData::ReplaceMetaEvent(unsigned char type, unsigned char newType) try {
    if (!IsEditableMeta(type) || !IsEditableMeta(newType)) return Refuse(*this);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!e.IsMeta(type)) continue;
        retrograde::detail::SetMetaBytes(*this, e, newType, e.data,
                                         std::clamp(e.length, 0, e.DataCapacity()));
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// An F0 message takes the classification the reader gives it; its number is
// its exclusive type, not newType.
void MidiTrackData::ReplaceMetaEventData(unsigned char type, char* text, unsigned char newType,
                                         char* bytes) try {
    if (text == nullptr || bytes == nullptr || !IsEditableMeta(type)) return Refuse(*this);
    auto* raw = reinterpret_cast<unsigned char*>(bytes);
    const bool exclusive = raw[0] == kEvSysEx;
    int size = 0;
    if (exclusive) {
        size = retrograde::detail::SysExSize(raw, GetLengthOfSysExF0(raw));
        if (size == 0) return Refuse(*this);  // no F7, or not a message a file can hold
    } else {
        if (!IsEditableMeta(newType)) return Refuse(*this);
        size = static_cast<int>(std::strlen(bytes));
    }
    const std::vector<unsigned char> copy(raw, raw + size);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!e.IsMeta(type) || MetaText(&e) != text) continue;
        if (exclusive) {
            retrograde::detail::SetSysExBytes(*this, e, copy.data(), size);
        } else {
            retrograde::detail::SetMetaBytes(*this, e, newType, copy.data(), size);
        }
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// ---- creating ----

void MidiTrackData::InsertControlChange(int channel, unsigned char number, int value) try {
    if (!IsMidiChannel(channel) || !IsDataByte(number) || !IsDataByte(value)) {
        return Refuse(*this);
    }
    InsertFirst(*this, ChannelRecord(kEvControl, channel, number, value));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::InsertProgramChange(int channel, int program) try {
    if (!IsMidiChannel(channel) || !IsDataByte(program)) return Refuse(*this);
    InsertFirst(*this, ChannelRecord(kEvProgram, channel, program, 0));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::InsertMasterVolume(int volume) try {
    if (!IsDataByte(volume)) ErrorMsg(kErrTrackInternal);
    std::vector<unsigned char> bytes(SysExMasterVolume.begin(),
                                     SysExMasterVolume.begin() + kUniversalVolumeSize);
    bytes[kUniversalVolumeAt] = static_cast<unsigned char>(ClampDataByte(volume));
    InsertFirst(*this, retrograde::detail::SysExRecord(*this, bytes));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::InsertMetaEvent(unsigned char type, char* text) try {
    if (auto event = MetaTextRecord(*this, type, text)) InsertFirst(*this, std::move(event));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::InsertMetaEventWithDelta(int tick, unsigned char type, char* text) try {
    if (tick < 0) return Refuse(*this);
    if (auto event = MetaTextRecord(*this, type, text)) InsertEvent(tick, event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddMetaEvent(int delta, unsigned char type, unsigned char* bytes,
                                 int length) try {
    if (delta < 0) return Refuse(*this);
    if (auto event = MetaTextRecord(*this, type, bytes, length)) {
        Append(*this, delta, std::move(event));
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddMarker(int delta, char* text) {
    if (text == nullptr) return Refuse(*this);
    AddMetaEvent(delta, kMetaMarker, reinterpret_cast<unsigned char*>(text),
                 static_cast<int>(std::strlen(text)));
}

void MidiTrackData::AddMetaData(int type, char* text) try {
    if (auto event = MetaTextRecord(*this, type, text)) InsertEvent(0, event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// The registered parameter 0 0 (pitch-bend sensitivity), set through data entry.
void MidiTrackData::AddBendRange(int delta, int channel, int semitones) try {
    if (delta < 0 || !IsMidiChannel(channel) || !IsDataByte(semitones)) return Refuse(*this);
    if (event_count > kMaxEvents - 3) {
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    auto msb = ChannelRecord(kEvControl, channel, kRpnMsb, 0);
    auto lsb = ChannelRecord(kEvControl, channel, kRpnLsb, 0);
    auto entry = ChannelRecord(kEvControl, channel, kDataEntry, semitones);
    Append(*this, delta, std::move(msb));
    Append(*this, 0, std::move(lsb));
    Append(*this, 0, std::move(entry));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddXGDisplay(int delta, char* text) try {
    std::vector<unsigned char> bytes;
    if (delta < 0) return Refuse(*this);
    if (!DisplayText(*this, text, bytes)) return;
    std::vector<unsigned char> body{0x43, 0x10, 0x4C, 0x06, 0x00, 0x00};
    body.insert(body.end(), bytes.begin(), bytes.end());
    body.push_back(0xF7);
    Append(*this, delta,
           retrograde::detail::SysExRecord(*this, retrograde::detail::SysExMessage(body)));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddGSDisplay(int delta, char* text) try {
    std::vector<unsigned char> bytes;
    if (delta < 0) return Refuse(*this);
    if (!DisplayText(*this, text, bytes)) return;
    std::vector<unsigned char> body{0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0x00};
    body.insert(body.end(), bytes.begin(), bytes.end());
    // The Roland checksum over the address (10 00 00) and the text.
    int sum = 0x10;
    for (unsigned char b : bytes) sum += b;
    body.push_back(static_cast<unsigned char>((128 - sum % 128) % 128));
    body.push_back(0xF7);
    Append(*this, delta,
           retrograde::detail::SysExRecord(*this, retrograde::detail::SysExMessage(body)));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}
