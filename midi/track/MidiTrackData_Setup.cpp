// Time-span and setup edits: opening a gap in the time line, cutting the
// notes of a span out of it, bringing chosen events to the front of their
// tick, and the setup events (system on messages, tempo, time and key
// signatures, a first program change).
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/TickGroups.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::IsDataByte;
using retrograde::detail::IsMidiChannel;
using retrograde::detail::SysExRecord;

constexpr int kAnyNumber = -1;
constexpr long kMaxTempo = 0xFFFFFF;  // three bytes
constexpr int kClocksPerClick = 18;
constexpr int kThirtySecondsPerQuarter = 8;
constexpr int kMaxNumerator = 255;
constexpr int kMaxDenominatorPower = 7;  // the time-signature code keeps 2^power in a byte

// Sharps (+) or flats (-) of the major key on each pitch class (0 = C).
constexpr std::array<int, 12> kMajorKeySignature = {0, 7, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};

void Append(MidiTrackData& track, std::unique_ptr<MidiEvent> event) {
    event->delta = 0;
    track.AddEvent(event.release());
}

bool IsCutAway(const MidiEvent& e) {
    return e.status == kEvNote || e.status == kEvPitchBend;
}

}  // namespace

// ---- the time line ----

void MidiTrackData::InsertBlankArea(int tick, int length) {
    if (length < 0) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        now += e.delta;
        if (now >= tick) {
            e.delta = ClampToInt(std::int64_t{e.delta} + length);
            return;
        }
    }
}

// One pass: each event gets its new time (unchanged before from, from inside
// the span, span earlier after it), the Notes and bends inside are marked,
// and one removal walk closes the list. A Note at from is inside: a cut at a
// bar line takes that bar's downbeat with it.
void MidiTrackData::DeleteAreaNoteAndPitchBend(int from, int to) {
    if (form != kFormQ2 || from < 0) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (to <= from) return;
    const std::int64_t span = std::int64_t{to} - from;
    std::int64_t now = 0;
    std::int64_t placed = 0;  // the new time of the event before
    bool marked = false;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        now += e.delta;
        const bool inside = now >= from && now < to;
        const std::int64_t moved = now < from ? now : inside ? from : now - span;
        e.delta = ClampToInt(moved - placed);
        placed = moved;
        if (inside && IsCutAway(e)) {
            retrograde::detail::MarkNone(&e);
            marked = true;
        }
    }
    if (marked) DeleteNop();
}

// GneIsStringIncluded writes into its pattern, so it gets a copy; each text
// is handed over zero-terminated, read through the bounded view.
void MidiTrackData::PutSpecifiedEventFirst(int status, int number, char* text) try {
    std::string pattern = text == nullptr ? std::string() : std::string(text);
    const bool any_text = pattern.empty();
    std::string event_text;
    retrograde::detail::GatherToFront(*this, [&](const MidiEvent& e) {
        if (e.status != status || (number != kAnyNumber && e.number != number)) return false;
        if (any_text) return true;
        event_text = retrograde::detail::MetaText(&e);
        return GneIsStringIncluded(event_text.c_str(), pattern.data()) != 0;
    });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// ---- setup events ----

void MidiTrackData::GMExclusiveOn() try {
    Append(*this, SysExRecord(*this, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::GSExclusiveOn() try {
    Append(*this, SysExRecord(*this, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00,
                                      0x41, 0xF7}));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::XGExclusiveOn() try {
    Append(*this, SysExRecord(*this, {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// A tempo must fit its three bytes and not be 0: anything else is reported
// and becomes 120 beats a minute, as AddTempo does.
void MidiTrackData::SetTempo(long tempo) try {
    if (tempo <= 0 || tempo > kMaxTempo) {
        ErrorMsg(kErrTrackTempoData);
        tempo = kDefaultTempo;
    }
    const std::array<unsigned char, 3> bytes = {static_cast<unsigned char>(tempo >> 16),
                                                static_cast<unsigned char>(tempo >> 8),
                                                static_cast<unsigned char>(tempo)};
    Append(*this, retrograde::detail::MetaRecord(*this, kMetaTempo, bytes.data(), 3));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// 18 MIDI clocks per metronome click, as the program has always written it.
void MidiTrackData::SetTimeSign(int /*first*/, int numerator, int denominatorPower) try {
    if (numerator < 1 || numerator > kMaxNumerator || denominatorPower < 1 ||
        denominatorPower > kMaxDenominatorPower) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    const std::array<unsigned char, 4> bytes = {static_cast<unsigned char>(numerator),
                                                static_cast<unsigned char>(denominatorPower),
                                                kClocksPerClick, kThirtySecondsPerQuarter};
    Append(*this, retrograde::detail::MetaRecord(*this, kMetaTimeSignature, bytes.data(), 4));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::SetKeySignature(int delta, int key) {
    if (key < 0 || key >= static_cast<int>(kMajorKeySignature.size()) || delta < 0) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // The count of sharps or flats is a signed byte; 0 after it: major.
    unsigned char bytes[2] = {static_cast<unsigned char>(kMajorKeySignature[key]), 0};
    AddMetaEvent(delta, kMetaKeySignature, bytes, 2);
}

// The program change takes the place (and the delta) of the channel's first
// event, which follows it at the same tick.
int MidiTrackData::SetProgramChange(int channel, int program) try {
    if (!IsMidiChannel(channel) || !IsDataByte(program)) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.channel != channel || e.status == kEvSysEx) continue;
        if (!HasRoom()) {
            ErrorMsg(kErrTrackTooMuchData);
            return 0;
        }
        auto change = retrograde::detail::ChannelRecord(kEvProgram, channel, program, 0);
        change->delta = e.delta;
        e.delta = 0;
        InsertEvent(i, kInsertBefore, change.release());
        return 1;
    }
    return 0;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}
