// Channel, search and text operations: a track's channel, finding events,
// replacing exclusive messages, and full-width letters, digits and katakana in
// event texts turned into their one-byte Shift-JIS forms.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"

namespace {

constexpr int kPortBOffset = 16;  // channels 16..31 stand for the B port
constexpr int kAnyNumber = 255;

using retrograde::detail::MetaText;

// The exclusive message in the first limit bytes of a equals b up to and
// including a's first F7. b is never read beyond the first byte that differs.
bool SameExclusive(const unsigned char* a, int limit, const unsigned char* b) {
    for (int i = 0; i < limit; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0xF7) return true;
    }
    return false;
}

}  // namespace

// Shift-JIS full-width digits and Latin letters (lead byte 0x82) become ASCII.
// The text is walked character by character, as the katakana conversions do:
// the trail byte of one character and the lead byte of the next are never
// taken for a letter.
void GneSetSbcsAlphaNum(unsigned char* text) {
    if (text == nullptr) return;
    auto is_lead = [](unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    };
    unsigned char* out = text;
    const unsigned char* in = text;
    while (*in != '\0') {
        if (!is_lead(in[0]) || in[1] == '\0') {
            *out++ = *in++;
            continue;
        }
        const unsigned char trail = in[1];
        int ascii = 0;
        if (in[0] == 0x82) {
            if (trail >= 0x4F && trail <= 0x58) ascii = '0' + (trail - 0x4F);  // ０..９
            if (trail >= 0x60 && trail <= 0x79) ascii = 'A' + (trail - 0x60);  // Ａ..Ｚ
            if (trail >= 0x81 && trail <= 0x9A) ascii = 'a' + (trail - 0x81);  // ａ..ｚ
        }
        if (ascii != 0) {
            *out++ = static_cast<unsigned char>(ascii);
        } else {
            *out++ = in[0];
            *out++ = in[1];
        }
        in += 2;
    }
    *out = '\0';
}

// Exclusive messages are left out: part-specific ones carry the channel of
// the part they address, not the track's.
int MidiTrackData::GetChanel() {
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->channel == kNoChannel || event->status == kEvSysEx ||
            event->status == kEvSysExEscape || event->status == kEvNone) {
            continue;
        }
        return event->channel;
    }
    return kNoChannel;
}

// A track without a channel stays 255, whatever its instrument name says. The
// name is the last instrument-name text of the track.
int MidiTrackData::GetChanelWithInstName() {
    const int channel = GetChanel();
    if (channel == kNoChannel) return channel;
    const MidiEvent* name = nullptr;
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->IsMeta(kMetaInstrument)) name = event_table[i];
    }
    if (name == nullptr) return channel;
    try {
        const std::string text(MetaText(name));
        return GneIsSC88BPort(text.c_str()) != 0 ? channel + kPortBOffset : channel;
    } catch (const std::bad_alloc&) {
        GneErrorMsg(kGneErrNoMemory);
        return channel;
    }
}

// Only 0..15 can be written into a status byte; any other channel would turn
// the messages into other kinds, so it is refused.
void MidiTrackData::SetChanel(int channel) {
    if (channel < 0 || channel >= kMidiChannels) {
        ErrorMsg(kErrTrackChannel);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->channel != kNoChannel) event_table[i]->channel = channel;
    }
}

int MidiTrackData::SearchMetaEvent(char* text) {
    return GetIndexOfMetaEvent(kMetaMarker, text);
}

int MidiTrackData::SearchEventAndCommand(int status, int number) {
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->status == status && (number == kAnyNumber || event->number == number)) {
            return i;
        }
    }
    return -1;
}

long MidiTrackData::GetMarkerPos(char* text) {
    return GetDeltaOfMetaEvent(kMetaMarker, text);
}

int MidiTrackData::GetPitchBendDirection(int index) {
    const MidiEvent* bend = GetEvent(index);
    if (bend == nullptr || bend->status != kEvPitchBend) {
        ErrorMsg(kErrGeneral);
        return 0;
    }
    for (int i = index - 1; i >= 0; --i) {
        const MidiEvent* earlier = event_table[i];
        if (earlier->status != kEvPitchBend) continue;
        if (bend->value > earlier->value) return 1;
        if (bend->value < earlier->value) return -1;
        return 0;
    }
    return 0;
}

// The replacement is cut to what the event's area holds (a text keeps room for
// its terminating zero), with the size message. A message that becomes a meta
// event has no channel.
void MidiTrackData::ReplaceSysExF0Data(unsigned char /*unused*/, char* pattern,
                                       unsigned char number, char* replacement) {
    if (pattern == nullptr || replacement == nullptr) return;
    const auto* wanted = reinterpret_cast<const unsigned char*>(pattern);
    auto* bytes = reinterpret_cast<unsigned char*>(replacement);
    const bool exclusive = bytes[0] == 0xF0;
    const int status = exclusive ? kEvSysEx : kEvMeta;
    const int length =
        exclusive ? GetLengthOfSysExF0(bytes) : static_cast<int>(std::strlen(replacement));
    if (exclusive && length == 0) {
        ErrorMsg(kErrTrackInternal);  // no F7 closes the replacement
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status != kEvSysEx ||
            !SameExclusive(event->data, event->DataCapacity(), wanted)) {
            continue;
        }
        // A short message read from a file sits in a compact area: it takes
        // the room of a fresh record first.
        if (event->IsCompact() && length + 1 > event->DataCapacity()) {
            event->ResizeData(MusicEvent::kDataSize);
        }
        const int room = exclusive ? event->DataCapacity() : event->DataCapacity() - 1;
        const int kept = std::min(length, room);
        if (kept < length) ErrorMsgOnce(kErrTrackEventTooLarge);
        event->status = status;
        event->number = number;
        std::memcpy(event->data, bytes, static_cast<std::size_t>(kept));
        if (!exclusive) {
            event->data[kept] = '\0';
            event->channel = kNoChannel;
            event->value = 0;
        }
        event->length = kept;
    }
}

// Each text is converted in a zero-terminated copy (the area need not hold a
// zero), then written back; texts only shrink.
void MidiTrackData::DbcsToSbcs(bool letters, bool kana, int status, int number) {
    if (!letters && !kana) return;
    std::vector<unsigned char> text;
    try {
        for (int i = 0; i < event_count; ++i) {
            MidiEvent* event = event_table[i];
            if (event->status != status || event->number != number) continue;
            const std::string_view old_text = MetaText(event);
            text.assign(old_text.begin(), old_text.end());
            text.push_back('\0');
            if (letters) GneSetSbcsAlphaNum(text.data());
            if (kana) GneSetSbcsKataKana(text.data());
            const std::size_t size = std::strlen(reinterpret_cast<const char*>(text.data()));
            // Room for the terminating zero only when the text did not fill the area.
            const std::size_t stored =
                std::min(size + 1, static_cast<std::size_t>(event->DataCapacity()));
            std::memcpy(event->data, text.data(), stored);
            event->length = static_cast<int>(size);
        }
    } catch (const std::bad_alloc&) {
        GneErrorMsg(kGneErrNoMemory);
    }
}
