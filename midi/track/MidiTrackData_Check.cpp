// Event checks: whether a track has an event of a kind at a time, whether
// the values of a kind are equal or within a range (and the edits that make
// them so), tempo ranges, time signatures on measure starts, and the order
// of bank select and program change.
#include <algorithm>
#include <cstdint>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kMaxTempo = 0xFFFFFF;  // three bytes of microseconds
constexpr int kMasterVolumeIndex = 7;
constexpr int kGsValueIndex = 9;
constexpr int kGsMessageSize = 12;  // F0, length, 41 dev 42 12, address, value, sum, F7
constexpr int kMaxDenominatorPower = 6;

// 1 when some event at tick t satisfies match.
template <typename Match>
int FindAt(const MidiTrackData& track, std::int64_t t, Match match) {
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        now += track.event_table[i]->delta;
        if (now > t) break;
        if (now == t && match(*track.event_table[i])) return 1;
    }
    return 0;
}

// 1 when every event that is selected satisfies ok.
template <typename Select, typename Ok>
int AllOf(const MidiTrackData& track, Select select, Ok ok) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (select(e) && !ok(e)) return 0;
    }
    return 1;
}

// Where an event keeps the value an edit writes.
enum class Layout { kNone, kChannel, kMasterVolume, kGsParameter, kTimeSignature, kTempo };

Layout LayoutOf(const MidiEvent& e) {
    const unsigned char* d = e.data;
    switch (e.status) {
        case kEvControl:
        case kEvProgram:
        case kEvChannelPressure:
        case kEvPitchBend:
            return Layout::kChannel;
        case kEvSysEx:
            if (e.number == kExTypeMasterVolume && e.length > kMasterVolumeIndex + 1 &&
                d[2] == 0x7F && d[4] == 0x04 && d[5] == 0x01) {
                return Layout::kMasterVolume;
            }
            if (e.length >= kGsMessageSize && d[2] == 0x41 && d[4] == 0x42 && d[5] == 0x12) {
                return Layout::kGsParameter;
            }
            return Layout::kNone;
        case kEvMeta:
            if (e.DataCapacity() < 4) return Layout::kNone;
            if (e.number == kMetaTimeSignature) return Layout::kTimeSignature;
            if (e.number == kMetaTempo) return Layout::kTempo;
            return Layout::kNone;
        default:
            return Layout::kNone;
    }
}

bool Accepts(Layout layout, int value) {
    switch (layout) {
        case Layout::kChannel:
        case Layout::kMasterVolume:
        case Layout::kGsParameter:
            return value >= 0 && value <= kMidiMaxDataByte;
        case Layout::kTimeSignature: {
            // numerator * 256 + denominator, the denominator a power of two
            const int numerator = value >> 8;
            const int denominator = value & 0xFF;
            return numerator >= 1 && numerator <= 0xFF && denominator >= 1 &&
                   denominator <= (1 << kMaxDenominatorPower) &&
                   (denominator & (denominator - 1)) == 0;
        }
        case Layout::kTempo:
            return value >= 1 && value <= kMaxTempo;
        case Layout::kNone:
            break;
    }
    return false;
}

void Write(MidiEvent& e, Layout layout, int value) {
    e.value = value;
    unsigned char* d = e.data;
    const auto byte = static_cast<unsigned char>(value);
    switch (layout) {
        case Layout::kChannel:
            // The bytes of the message, where the record keeps them, agree.
            if (e.length >= 2 && e.length <= 3 && (d[0] & 0xF0) == e.status) d[e.length - 1] = byte;
            break;
        case Layout::kMasterVolume:
            d[kMasterVolumeIndex] = byte;
            break;
        case Layout::kGsParameter:
            d[kGsValueIndex] = byte;
            SetGSCheckSum(d);
            break;
        case Layout::kTimeSignature: {
            int length = 0;
            GneSetTimeSignData(value, d, &length);
            e.length = length;
            break;
        }
        case Layout::kTempo:
            d[0] = static_cast<unsigned char>(value >> 16);
            d[1] = static_cast<unsigned char>(value >> 8);
            d[2] = byte;
            e.length = 3;
            break;
        case Layout::kNone:
            break;
    }
}

}  // namespace

// Sets the value of every selected event to value_of(its value); nothing
// changes, reported, when some selected event cannot take its new value.
template <typename Select, typename ValueOf>
static void SetValues(MidiTrackData& track, Select select, ValueOf value_of) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < track.event_count; ++i) {
            MidiEvent& e = *track.event_table[i];
            if (!select(e)) continue;
            const Layout layout = LayoutOf(e);
            const int value = value_of(e.value);
            if (pass == 1) {
                Write(e, layout, value);
            } else if (!Accepts(layout, value)) {
                track.ErrorMsg(kErrGeneral);
                return;
            }
        }
    }
}

int MidiTrackData::CheckEventLocation(int t, int status) {
    return FindAt(*this, t, [&](const MidiEvent& e) { return e.status == status; });
}

int MidiTrackData::CheckEventLocation(int t, int status, int number) {
    return FindAt(*this, t,
                  [&](const MidiEvent& e) { return e.status == status && e.number == number; });
}

int MidiTrackData::CheckEventLocation(int t, int status, int number, int value) {
    return FindAt(*this, t, [&](const MidiEvent& e) {
        return e.status == status && e.number == number && e.value == value;
    });
}

int MidiTrackData::CheckMetaEventLocation(int t, int type) {
    return CheckEventLocation(t, kEvMeta, type);
}
int MidiTrackData::CheckMetaEventLocation(int t, int type, int value) {
    return CheckEventLocation(t, kEvMeta, type, value);
}
int MidiTrackData::CheckSysExLocation(int t, int type) {
    return CheckEventLocation(t, kEvSysEx, type);
}
int MidiTrackData::CheckSysExLocation(int t, int type, int value) {
    return CheckEventLocation(t, kEvSysEx, type, value);
}
int MidiTrackData::CheckControlChangeLocation(int t, int controller) {
    return CheckEventLocation(t, kEvControl, controller);
}
int MidiTrackData::CheckControlChangeLocation(int t, int controller, int value) {
    return CheckEventLocation(t, kEvControl, controller, value);
}
int MidiTrackData::CheckProgramChangeLocation(int t) {
    return CheckEventLocation(t, kEvProgram);
}

int MidiTrackData::IsEventExist(int status, int from, int to) {
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        now += event_table[i]->delta;
        if (now >= to) break;
        if (now >= from && event_table[i]->status == status) return 1;
    }
    return 0;
}

int MidiTrackData::CheckEventValue(int status, int number, int value) {
    return AllOf(
        *this, [&](const MidiEvent& e) { return e.status == status && e.number == number; },
        [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrackData::CheckEventValue(int status, int value) {
    return AllOf(
        *this, [&](const MidiEvent& e) { return e.status == status; },
        [&](const MidiEvent& e) { return e.value == value; });
}

int MidiTrackData::CheckEventValueRange(int status, int number, int low, int high) {
    return AllOf(
        *this, [&](const MidiEvent& e) { return e.status == status && e.number == number; },
        [&](const MidiEvent& e) { return low <= e.value && e.value <= high; });
}

void MidiTrackData::ModifyEventValue(int status, int number, int value) {
    SetValues(
        *this, [&](const MidiEvent& e) { return e.status == status && e.number == number; },
        [&](int) { return value; });
}

void MidiTrackData::ModifyEventValue(int status, int value) {
    SetValues(
        *this, [&](const MidiEvent& e) { return e.status == status; }, [&](int) { return value; });
}

void MidiTrackData::ModifyEventValueRange(int status, int number, int low, int high) {
    if (low > high) {
        ErrorMsg(kErrGeneral);
        return;
    }
    SetValues(
        *this, [&](const MidiEvent& e) { return e.status == status && e.number == number; },
        [&](int old) { return std::clamp(old, low, high); });
}

// Compared in microseconds per quarter note: the slowest tempo allowed is the
// largest value.
int MidiTrackData::CheckTempoRange(int minBpm, int maxBpm) {
    const long slowest = GneBpmToClock(minBpm);
    const long fastest = GneBpmToClock(maxBpm);
    return AllOf(
        *this, [](const MidiEvent& e) { return e.IsMeta(kMetaTempo); },
        [&](const MidiEvent& e) { return e.value <= slowest && e.value >= fastest; });
}

int MidiTrackData::CheckAreaTempoRange(int from, int to, int minBpm, int maxBpm) {
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        now += e.delta;
        if (now >= to) break;
        if (now < from || !e.IsMeta(kMetaTempo)) continue;
        const long bpm = GneClockToBpm(e.value);
        if (bpm < minBpm || bpm > maxBpm) return 0;
    }
    return 1;
}

// The position within the measure is kept as a remainder, so a long silence
// costs one division, not one step per measure.
int MidiTrackData::CheckTimeSingLocation(int division) {
    std::int64_t measure = std::int64_t{division} * 4;
    if (measure <= 0) return ErrorMsg(kErrGeneral);
    std::int64_t position = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        position = (position + e.delta) % measure;
        if (!e.IsMeta(kMetaTimeSignature)) continue;
        if (position != 0) return 0;
        measure = static_cast<std::int64_t>(GneGetTimeSignValue(e.value) * division);
        if (measure <= 0) return ErrorMsg(kErrGeneral);
    }
    return 1;
}

// The track as a whole, channels not told apart.
int MidiTrackData::CheckOrderOfBankSelectAndProgramChange() {
    if (form != kFormQ1 && form != kFormQ2) return ErrorMsg(kErrTrackInternal);
    bool msb = false;
    bool lsb = false;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && e.number == kCcBankSelectMsb) msb = true;
        if (e.status == kEvControl && e.number == kCcBankSelectLsb) {
            if (!msb) return 0;
            lsb = true;
        }
        if (e.status == kEvProgram && !(msb && lsb)) return 0;
    }
    return 1;
}
