// Track queries: values in force at a tick, first and last occurrences,
// positions, counts and lengths. They change nothing; a few report a repeated
// setting once per process. Absolute ticks are summed in 64 bits.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"

namespace {

constexpr int kBendCentre = 8192;
constexpr int kTimeSign44 = 0x404;    // 4/4, as SetTimeSignValue(4, 2) makes it
constexpr long kNoTempo = 60000;      // what the tempo queries give without a tempo
constexpr int kBendableProgram = 16;  // programs 0..15 (pianos, chromatic percussion)
constexpr int kMessageLimit = MusicEvent::kDataSize;  // longest exclusive compared

using retrograde::detail::MetaText;

// The bytes of the data area that belong to the event.
int StoredLength(const MidiEvent* event) {
    return std::clamp(event->length, 0, event->DataCapacity());
}

bool IsNoteStart(const MidiEvent* event) {
    return event->status == kEvNote || (event->status == kEvNoteOn && event->velocity > 0);
}

}  // namespace

// Walks the events before the first one that reaches tick and returns the
// value get(event) of the last event that matches; fallback when none does.
template <typename Match, typename Get>
static int ValueBefore(const MidiTrackData& track, int tick, int fallback, Match match, Get get) {
    int result = fallback;
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        if (now + event->delta >= tick) break;
        now += event->delta;
        if (match(event)) result = get(event);
    }
    return result;
}

// The same for "at or before tick": stops at the first event past tick.
template <typename Match>
static const MidiEvent* LastAtOrBefore(const MidiTrackData& track, int tick, Match match) {
    const MidiEvent* found = nullptr;
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        now += event->delta;
        if (now > tick) break;
        if (match(event)) found = event;
    }
    return found;
}

template <typename Match>
static const MidiEvent* FirstOf(const MidiTrackData& track, Match match) {
    for (int i = 0; i < track.event_count; ++i) {
        if (match(track.event_table[i])) return track.event_table[i];
    }
    return nullptr;
}

template <typename Match>
static const MidiEvent* LastOf(const MidiTrackData& track, Match match, int* count = nullptr) {
    const MidiEvent* found = nullptr;
    int seen = 0;
    for (int i = 0; i < track.event_count; ++i) {
        if (match(track.event_table[i])) {
            found = track.event_table[i];
            ++seen;
        }
    }
    if (count != nullptr) *count = seen;
    return found;
}

// Absolute tick of the first matching event with from <= tick <= to; its
// channel goes to *channel. -1 when there is none.
template <typename Match>
static long PositionOf(const MidiTrackData& track, Match match, std::int64_t from, std::int64_t to,
                       int* channel) {
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        now += event->delta;
        if (now < from || now > to || !match(event)) continue;
        if (channel != nullptr) *channel = event->channel;
        return static_cast<long>(now);
    }
    return -1;
}

template <typename Match>
static int CountOf(const MidiTrackData& track, Match match) {
    int count = 0;
    for (int i = 0; i < track.event_count; ++i) count += match(track.event_table[i]) ? 1 : 0;
    return count;
}

// ---- values in force at a tick ----

int MidiTrackData::GetControlChangeValueWithDelta(int number, int channel, int tick) {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return -1;
    }
    return ValueBefore(
        *this, tick, -1,
        [&](const MidiEvent* e) {
            return e->status == kEvControl && e->number == number && e->channel == channel;
        },
        [](const MidiEvent* e) { return e->value; });
}

int MidiTrackData::GetProgramChangeValueWithDelta(int channel, int tick) {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return -1;
    }
    return ValueBefore(
        *this, tick, -1,
        [&](const MidiEvent* e) { return e->status == kEvProgram && e->channel == channel; },
        [](const MidiEvent* e) { return e->value; });
}

int MidiTrackData::GetSysExF0ValueWithDelta(unsigned char type, int tick) {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return -1;
    }
    return ValueBefore(
        *this, tick, -1,
        [&](const MidiEvent* e) { return e->status == kEvSysEx && e->number == type; },
        [](const MidiEvent* e) { return e->value; });
}

// The channel is not compared: a track is expected to hold one channel.
int MidiTrackData::GetPitchBendValueWithDelta(int /*channel*/, int tick) {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return kBendCentre;
    }
    return ValueBefore(
        *this, tick, kBendCentre, [](const MidiEvent* e) { return e->status == kEvPitchBend; },
        [](const MidiEvent* e) { return e->value * 128 + e->note; });
}

int MidiTrackData::GetTimeSign(int tick) {
    const MidiEvent* found = LastAtOrBefore(
        *this, tick, [](const MidiEvent* e) { return e->IsMeta(kMetaTimeSignature); });
    return found != nullptr ? found->value : kTimeSign44;
}

long MidiTrackData::GetTempo(int tick) {
    const MidiEvent* found =
        LastAtOrBefore(*this, tick, [](const MidiEvent* e) { return e->IsMeta(kMetaTempo); });
    return found != nullptr ? found->value : kNoTempo;
}

// ---- first and last occurrences ----

int MidiTrackData::GetControlChange(int number, int channel) {
    const MidiEvent* found = FirstOf(*this, [&](const MidiEvent* e) {
        return e->status == kEvControl && e->number == number && e->channel == channel;
    });
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetControlChange(int number) {
    const MidiEvent* found = FirstOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvControl && e->number == number; });
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetProgramChange() {
    int result = -1;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->status != kEvProgram) continue;
        if (event->value != 0) return event->value;
        result = 0;
    }
    return result;
}

int MidiTrackData::GetProgramChange(int channel) {
    const MidiEvent* found = FirstOf(*this, [&](const MidiEvent* e) {
        return e->status == kEvProgram && e->channel == channel;
    });
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetChanelProgramChange(int channel) {
    int result = -1;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->status != kEvProgram || event->channel != channel) continue;
        if (event->value != 0) return event->value;
        result = 0;
    }
    return result;
}

int MidiTrackData::GetLastProgramChange(int channel) {
    const MidiEvent* found = LastOf(*this, [&](const MidiEvent* e) {
        return e->status == kEvProgram && e->channel == channel;
    });
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetGSInstSelect(int channel) {
    return GetLastProgramChange(channel);
}

// An XG part program change: F0 08 43 10 4C 08 <part> 03 <program> F7.
int MidiTrackData::GetXGInstSelect(int channel) {
    const MidiEvent* found = LastOf(*this, [&](const MidiEvent* e) {
        if (e->status != kEvSysEx || StoredLength(e) < 10) return false;
        const unsigned char* d = e->data;
        return d[1] == 0x08 && d[2] == 0x43 && d[3] == 0x10 && d[4] == 0x4C && d[5] == 0x08 &&
               d[6] == channel && d[7] == 0x03 && d[9] == 0xF7;
    });
    return found != nullptr ? found->data[8] : -1;
}

int MidiTrackData::GetInst(int channel) {
    int program = GetLastProgramChange(channel);
    if (program < 0) program = GetXGInstSelect(channel);
    if (program < 0) program = GetGSInstSelect(channel);
    return program;
}

int MidiTrackData::IsBendableInst(int channel) {
    return GetInst(channel) >= kBendableProgram ? 1 : 0;
}

int MidiTrackData::GetChanelVolume(bool report) {
    int count = 0;
    const MidiEvent* found = LastOf(
        *this, [](const MidiEvent* e) { return e->status == kEvControl && e->number == kCcVolume; },
        &count);
    if (count > 1 && report) ErrorMsgOnce(kErrTrackMultiVolume);
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetChanelVolume() {
    return GetChanelVolume(true);
}

int MidiTrackData::GetChanelPanpot(bool report) {
    int count = 0;
    const MidiEvent* found = LastOf(
        *this, [](const MidiEvent* e) { return e->status == kEvControl && e->number == kCcPan; },
        &count);
    if (count > 1 && report) ErrorMsgOnce(kErrTrackMultiPan);
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetChanelPanpot() {
    return GetChanelPanpot(true);
}

int MidiTrackData::GetMasterVolume() {
    int count = 0;
    const MidiEvent* found = LastOf(
        *this,
        [](const MidiEvent* e) {
            return e->status == kEvSysEx && e->number == kExTypeMasterVolume;
        },
        &count);
    if (count > 1) ErrorMsgOnce(kErrTrackMultiMasterVolume);
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetSysExF0(unsigned char type) {
    const MidiEvent* found = FirstOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvSysEx && e->number == type; });
    return found != nullptr ? found->value : -1;
}

int MidiTrackData::GetSysExF0(int type, unsigned char* bytes) {
    const MidiEvent* found = FirstOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvSysEx && e->number == type; });
    if (found == nullptr || bytes == nullptr) return 0;
    std::memcpy(bytes, found->data, static_cast<std::size_t>(StoredLength(found)));
    return 1;
}

int MidiTrackData::GetMetaData(int type, char* text) {
    if (text == nullptr) return 0;
    const MidiEvent* found = FirstOf(*this, [&](const MidiEvent* e) { return e->IsMeta(type); });
    if (found == nullptr) {
        text[0] = '\0';
        return 0;
    }
    const std::string_view data = MetaText(found);
    data.copy(text, data.size());
    text[data.size()] = '\0';
    return 1;
}

int MidiTrackData::GetNumMetaEvent(int type) {
    return CountOf(*this, [&](const MidiEvent* e) { return e->IsMeta(type); });
}

int MidiTrackData::GetTimeSign(int* code) {
    const MidiEvent* found =
        FirstOf(*this, [](const MidiEvent* e) { return e->IsMeta(kMetaTimeSignature); });
    if (found == nullptr) return 0;
    if (code != nullptr) *code = found->value;
    return 1;
}

int MidiTrackData::GetTempo(long* tempo) {
    return GetTempo(tempo, 1);
}

int MidiTrackData::GetTempo(long* tempo, int n) {
    int seen = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (!event->IsMeta(kMetaTempo) || ++seen != n) continue;
        if (tempo != nullptr) *tempo = event->value;
        return 1;
    }
    return 0;
}

int MidiTrackData::GetKey(unsigned char* bytes) {
    const MidiEvent* found =
        FirstOf(*this, [](const MidiEvent* e) { return e->IsMeta(kMetaKeySignature); });
    if (found == nullptr) return 0;
    if (bytes != nullptr) {
        bytes[0] = found->data[0];  // sharps (positive) or flats (negative)
        bytes[1] = found->data[1];  // 0 major, 1 minor
    }
    return 1;
}

int MidiTrackData::ReplaceTempo(long /*tempo*/) {
    return FirstOf(*this, [](const MidiEvent* e) { return e->IsMeta(kMetaTempo); }) != nullptr ? 1
                                                                                               : 0;
}

// ---- positions ----

int MidiTrackData::GetIndexOfDelta(long tick) {
    if (event_count == 0) return -1;
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        now += event_table[i]->delta;
        if (now >= tick) return i;
    }
    return event_count - 1;
}

// An index past the end gives the time of the last event.
long MidiTrackData::GetDeltaOfEventIndex(int index) {
    if (index < 0) return 0;
    const int last = std::min(index, event_count - 1);
    std::int64_t now = 0;
    for (int i = 0; i <= last; ++i) now += event_table[i]->delta;
    return static_cast<long>(now);
}

int MidiTrackData::GetLastIndexOfSameDelta(int index) {
    if (index < 0 || index >= event_count) return index;
    while (index + 1 < event_count && event_table[index + 1]->delta == 0) ++index;
    return index;
}

int MidiTrackData::GetIndexOfMetaEvent(int type, char* text) {
    if (text == nullptr) return -1;
    const std::string_view wanted(text);
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->IsMeta(type) && MetaText(event) == wanted) return i;
    }
    return -1;
}

long MidiTrackData::GetDeltaOfMetaEvent(int type, char* text) {
    const int index = GetIndexOfMetaEvent(type, text);
    return index < 0 ? -1 : GetDeltaOfEventIndex(index);
}

long MidiTrackData::GetPosOfControlChange(int number, int* channel) {
    return PositionOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvControl && e->number == number; },
        INT64_MIN, INT64_MAX, channel);
}

long MidiTrackData::GetPosOfControlChangeWithDeltaTime(int number, int* channel, int from, int to) {
    return PositionOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvControl && e->number == number; },
        from, to, channel);
}

long MidiTrackData::GetPosOfPitchBend(int* channel) {
    return PositionOf(
        *this, [](const MidiEvent* e) { return e->status == kEvPitchBend; }, INT64_MIN, INT64_MAX,
        channel);
}

long MidiTrackData::GetPosOfPitchBendWithDelta(int* channel, int from, int to) {
    return PositionOf(
        *this, [](const MidiEvent* e) { return e->status == kEvPitchBend; }, from, to, channel);
}

int MidiTrackData::GetIndexOfFirsthNote() {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->status == kEvNote) return i;
    }
    return event_count;
}

long MidiTrackData::GetDeltaOfFirstNote() {
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        now += event_table[i]->delta;
        if (IsNoteStart(event_table[i])) break;
    }
    return static_cast<long>(now);
}

long MidiTrackData::GetDeltaToNextNote(int index) {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    if (index < 0) return -1;
    std::int64_t distance = 0;
    for (int i = index + 1; i < event_count; ++i) {
        distance += event_table[i]->delta;
        if (IsNoteStart(event_table[i])) return static_cast<long>(distance);
    }
    return -1;
}

int MidiTrackData::GetNumEvent(int from, int to) {
    return GetIndexOfDelta(to) - GetIndexOfDelta(from) + 1;
}

// ---- counts and lengths ----

int MidiTrackData::GetNumEvent(int status) {
    return CountOf(*this, [&](const MidiEvent* e) { return e->status == status; });
}

int MidiTrackData::GetNumNoteEvent() {
    return CountOf(*this, IsNoteStart);
}

int MidiTrackData::GetNumNoteEvent(int channel) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    return CountOf(
        *this, [&](const MidiEvent* e) { return e->status == kEvNote && e->channel == channel; });
}

int MidiTrackData::GetNumNoteEventWithNoteNumber(int note) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    return CountOf(*this,
                   [&](const MidiEvent* e) { return e->status == kEvNote && e->note == note; });
}

long MidiTrackData::GetTrackDuration() {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    std::int64_t now = 0;
    std::int64_t end = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        now += event->delta;
        end = std::max(end, now);
        if (event->status == kEvNote) end = std::max(end, now + event->duration);
    }
    return static_cast<long>(end);
}

// The mean distance from each Note of channel to the Note before it (of any
// channel; the first Note counts from the start), zero distances left out:
// what the deltas of a copy reduced to its Notes would give, without the copy.
int MidiTrackData::GetAverageDeltaTimeOfNote(int channel) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    std::int64_t now = 0;
    std::int64_t previous_note = 0;
    std::int64_t sum = 0;
    std::int64_t count = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        now += event->delta;
        if (event->status != kEvNote) continue;
        const std::int64_t distance = now - previous_note;
        previous_note = now;
        if (event->channel == channel && distance != 0) {
            sum += distance;
            ++count;
        }
    }
    return count == 0 ? 0 : static_cast<int>(sum / count);
}

int MidiTrackData::CompareSysExF0(char* a, char* b) {
    if (a == nullptr || b == nullptr) return -1;
    for (int i = 0; i < kMessageLimit; ++i) {
        if (a[i] != b[i]) return -1;
        if (static_cast<unsigned char>(a[i]) == 0xF7) return 0;
    }
    return -1;  // no end of message within reach: not the same message
}

int MidiTrackData::GetLengthOfSysExF0(unsigned char* bytes) {
    if (bytes == nullptr) return 0;
    for (int i = 0; i < kMessageLimit; ++i) {
        if (bytes[i] == 0xF7) return i + 1;
    }
    return 0;  // no end of message within reach
}
