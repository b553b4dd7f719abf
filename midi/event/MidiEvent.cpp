// The MIDI event: channel-aware copying, constructors of frequent events,
// value helpers, comparisons and the mobile-format conversions.
#include "midi/event/MidiEvent.h"

#include <array>
#include <cstring>
#include <string>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"

using retrograde::detail::MessageTable;
using retrograde::detail::MessageText;

namespace {

// Event codes of the mobile music format's system events.
constexpr int kMobileProgram = 33;
constexpr int kMobileVolume = 35;
constexpr int kMobilePan = 36;
constexpr int kMobileTempo = 37;
constexpr int kMobilePitchBend = 39;
constexpr int kMobileMasterVolume = 65;

bool SameExceptChannelAndDelta(const MidiEvent& a, const MidiEvent& b) {
    return a.length == b.length && a.status == b.status && a.note == b.note &&
           a.duration == b.duration && a.number == b.number && a.value == b.value &&
           a.velocity == b.velocity;
}

}  // namespace

MidiEvent::MidiEvent(MidiEvent* source) : MusicEvent(static_cast<const MusicEvent*>(source)) {
    Copy(source);
}

void MidiEvent::Copy(MidiEvent* source) {
    if (source == nullptr) return;
    channel = source->channel;
    MusicEvent::Copy(source);
}

void MidiEvent::SetControlChange(int channel, int controller, int value) {
    status = kEvControl;
    this->channel = channel;
    number = controller;
    this->value = value;
}

void MidiEvent::SetNoteOffEvent(int channel, int note) {
    status = kEvNoteOff;
    this->channel = channel;
    this->note = note;
}

void MidiEvent::SetTempo(unsigned long tempo) {
    status = kEvMeta;
    number = kMetaTempo;
    value = static_cast<int>(tempo);
    channel = kNoChannel;
    // The three bytes go after what the area holds; they are refused, not
    // written past the area, when there is no room for them.
    const int at = length < 0 ? 0 : length;
    if (at + 3 > DataCapacity()) {
        MusicEvent::ErrorMsg(kErrMusicEventDataSize);
        return;
    }
    data[at] = static_cast<unsigned char>(tempo >> 16);
    data[at + 1] = static_cast<unsigned char>(tempo >> 8);
    data[at + 2] = static_cast<unsigned char>(tempo);
    length = at + 3;
}

int MidiEvent::GetPitchBendValue() {
    return value * 128 + note;
}

void MidiEvent::SetPitchBendValue(int bend) {
    note = bend & 127;
    value = bend >> 7;
}

int MidiEvent::IsChanelSysEx() {
    return status == kEvSysEx && (number == kExTypeGsRhythmPart || number == kExTypeGsPartEqSwitch) ? 1 : 0;
}

int MidiEvent::IsSC88BPort() {
    // The area is read as text up to its first zero byte, never past its end.
    const auto* text = reinterpret_cast<const char*>(data);
    const std::size_t size = strnlen(text, static_cast<std::size_t>(DataCapacity()));
    if (size < static_cast<std::size_t>(DataCapacity())) return GneIsSC88BPort(text);
    try {
        return GneIsSC88BPort(std::string(text, size).c_str());
    } catch (...) {
        return 0;
    }
}

int MidiEvent::CompareEvent(MidiEvent* other) {
    if (other == nullptr) return 0;
    return delta == other->delta && channel == other->channel &&
                   SameExceptChannelAndDelta(*this, *other)
               ? 1
               : 0;
}

int MidiEvent::CompareEventExceptChanel(MidiEvent* other) {
    if (other == nullptr) return 0;
    return delta == other->delta && SameExceptChannelAndDelta(*this, *other) ? 1 : 0;
}

int MidiEvent::CompareEventExceptChanelAndDeltaTime(MidiEvent* other) {
    if (other == nullptr) return 0;
    return SameExceptChannelAndDelta(*this, *other) ? 1 : 0;
}

void MidiEvent::SetMobileChanelEvent(MusicEvent* source, int channel, int drum) {
    if (source == nullptr) return;
    if (source->status == kEvNote) {
        status = kEvNote;
        this->channel = drum == 1 ? 9 : channel;
        note = source->note;
        duration = source->duration;
        velocity = source->velocity;
    } else if (source->status == kEvMeta) {
        SetMobileSystemEvent(source, channel, drum);
    } else {
        status = kEvNone;
    }
}

void MidiEvent::SetMobileSystemEvent(MusicEvent* source, int channel, int drum) {
    if (source == nullptr) return;
    const int given = source->value;
    switch (source->number) {
        case kMobileProgram:
            if (drum == 1) {
                status = kEvNone;
                break;
            }
            status = kEvProgram;
            this->channel = channel;
            value = given;
            break;
        case kMobileVolume:
            SetControlChange(channel, kCcVolume, given);
            break;
        case kMobilePan:
            SetControlChange(channel, kCcPan, given);
            break;
        case kMobileTempo:
            status = kEvMeta;
            number = kMetaTempo;
            value = given;
            this->channel = channel;
            break;
        case kMobilePitchBend:
            // A value beyond 7 bits is reported but kept as it came.
            if (given > kMidiMaxDataByte) ErrorMsg(kErrGeneral);
            status = kEvPitchBend;
            this->channel = channel;
            value = given;
            note = 0;
            break;
        case kMobileMasterVolume: {
            // The universal real-time master volume message.
            const unsigned char message[] = {
                0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, static_cast<unsigned char>(given), 0xF7};
            status = kEvSysEx;
            number = kExTypeMasterVolume;
            value = given;
            length = static_cast<int>(sizeof message);
            std::memcpy(data, message, sizeof message);
            break;
        }
        case 34:
        case 38:
        case 69:
        case 71:
        case 240:
            status = kEvNone;  // events of the mobile format with no MIDI counterpart
            break;
        default:
            status = kEvNone;
            ErrorMsg(kErrGeneral);
            break;
    }
}

namespace {

constexpr std::array kMidiEventTexts = {
    MessageText{kErrMidiEventInternal, "MidiEventで内部エラーが発生しました。"},
};
constexpr MessageTable kMidiEventMessages{"MidiEvent", kMidiEventTexts};

}  // namespace

int MidiEvent::ErrorMsg(int code) {
    return ShowError(kMidiEventMessages, code);
}
