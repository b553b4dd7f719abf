// Records as the reader makes them from the writer's bytes (see EventRecords.h).
#include "midi/track/detail/EventRecords.h"

#include <cstring>

namespace retrograde::detail {

namespace {

constexpr int kPartByte = 7;        // the part of a GS part message
constexpr int kGsChecksumEnd = 12;  // F0 .. checksum F7 of a one-byte GS parameter
constexpr int kMaxVlqBytes = 4;

bool IsTextMeta(int type) {
    return (type >= kMetaText && type <= kMetaCuePoint) || type == kMetaDeviceName ||
           type == kMetaSequencerSpecific;
}

// Every field back to what a new record holds; the delta and the area stay.
void Refresh(MidiEvent& event) {
    event.status = kEvNone;
    event.channel = kNoChannel;
    event.note = 0;
    event.velocity = 0;
    event.duration = 0;
    event.number = 0;
    event.value = 0;
    event.length = 0;
}

// Room for count bytes and a terminating zero; the area's contents go.
void Reserve(MidiEvent& event, int count) {
    if (count + 1 > event.DataCapacity()) {
        event.ResizeData(count + 1);
    } else {
        std::memset(event.data, 0, static_cast<std::size_t>(count + 1));
    }
}

}  // namespace

std::unique_ptr<MidiEvent> ChannelRecord(int kind, int channel, int first, int second) {
    auto event = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
    event->status = kind;
    event->channel = channel;
    const bool one_byte = kind == kEvProgram || kind == kEvChannelPressure;
    event->data[0] = static_cast<unsigned char>(kind | channel);
    event->data[1] = static_cast<unsigned char>(first);
    event->data[2] = static_cast<unsigned char>(one_byte ? 0 : second);
    event->length = one_byte ? 2 : 3;
    switch (kind) {
        case kEvControl:
            event->number = first;
            event->value = second;
            break;
        case kEvPitchBend:
            event->note = first;
            event->value = second;
            break;
        default:
            event->value = first;
            break;
    }
    return event;
}

void SetChannelValue(MidiEvent& event, int value) {
    if (event.status == kEvPitchBend) {
        event.SetPitchBendValue(value);
        event.data[1] = static_cast<unsigned char>(event.note);
        event.data[2] = static_cast<unsigned char>(event.value);
        return;
    }
    event.value = value;
    if (event.status == kEvControl) {
        event.data[2] = static_cast<unsigned char>(value);
    } else if (event.status == kEvProgram) {
        event.data[1] = static_cast<unsigned char>(value);
    }
}

void SetEventChannel(MidiEvent& event, int channel) {
    event.channel = channel;
    if (event.status >= kEvNoteOff && event.status < kEvSysEx && event.length >= 1) {
        event.data[0] = static_cast<unsigned char>((event.status & 0xF0) | channel);
        return;
    }
    if (event.status != kEvSysEx || event.length <= kPartByte) return;
    const int base = event.number == kExTypeGsRhythmPart     ? 0x10
                     : event.number == kExTypeGsPartEqSwitch ? 0x40
                                                             : -1;
    if (base < 0) return;
    SetSysExF0Chanel(channel, event.data + kPartByte, static_cast<unsigned char>(base));
    // The checksum follows the value byte only in the whole message.
    if (event.length >= kGsChecksumEnd && event.data[kGsChecksumEnd - 1] == 0xF7) {
        SetGSCheckSum(event.data);
    }
}

int FixedMetaLength(int type) {
    switch (type) {
        case kMetaSequenceNumber:
            return 2;
        case kMetaChannelPrefix:
            return 1;
        case kMetaEndOfTrack:
            return 0;
        case kMetaTempo:
            return 3;
        case kMetaSmpteOffset:
            return 5;
        case kMetaTimeSignature:
            return 4;
        case kMetaKeySignature:
            return 2;
        default:
            return -1;
    }
}

bool IsEditableMeta(int type) {
    return type != kMetaEndOfTrack && (FixedMetaLength(type) >= 0 || IsTextMeta(type));
}

void SetMetaBytes(MidiTrackData& track, MidiEvent& event, int type, const unsigned char* bytes,
                  int count) {
    // The bytes may lie in the event's own area, which is about to be cleared.
    const std::vector<unsigned char> copy(bytes, bytes + std::max(count, 0));
    Refresh(event);
    event.status = kEvMeta;
    event.number = type == kMetaDeviceName ? kMetaInstrument : type;
    const int fixed = FixedMetaLength(type);
    const int stored = fixed >= 0 ? std::min<int>(fixed, static_cast<int>(copy.size()))
                                  : static_cast<int>(copy.size());
    Reserve(event, std::max(stored, fixed));
    if (stored > 0) std::memcpy(event.data, copy.data(), static_cast<std::size_t>(stored));
    event.length = fixed >= 0 ? fixed : stored;
    const auto d = [&](int i) -> int { return i < stored ? copy[i] : 0; };
    if (type == kMetaTempo) {
        event.value = stored < 3 ? 0 : d(0) * 65536 + d(1) * 256 + d(2);
        if (event.value == 0) {
            track.ErrorMsg(kErrTrackTempo);
            event.value = kDefaultTempo;
        }
    } else if (type == kMetaTimeSignature) {
        event.value = track.SetTimeSignValue(d(0), d(1));
    }
}

std::unique_ptr<MidiEvent> MetaRecord(MidiTrackData& track, int type, const unsigned char* bytes,
                                      int count) {
    auto event = std::make_unique<MidiEvent>(0);
    SetMetaBytes(track, *event, type, bytes, count);
    return event;
}

int SysExSize(const unsigned char* bytes, int count) {
    if (bytes == nullptr || count < 3 || bytes[0] != kEvSysEx) return 0;
    int at = 1;
    std::int64_t declared = 0;
    for (int n = 0;; ++n) {
        if (n == kMaxVlqBytes || at >= count) return 0;
        declared = declared * 128 + (bytes[at] & 0x7F);
        if ((bytes[at++] & 0x80) == 0) break;
    }
    for (int i = at; i < count; ++i) {
        if (bytes[i] == 0xF7) return declared == i + 1 - at ? i + 1 : 0;
        if (bytes[i] >= 0x80) return 0;
    }
    return 0;
}

std::vector<unsigned char> SysExMessage(const std::vector<unsigned char>& body) {
    std::vector<unsigned char> out{kEvSysEx};
    unsigned char length[kMaxVlqBytes];
    const int n = GneSetVariable(static_cast<int>(body.size()), length);
    out.insert(out.end(), length, length + n);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void SetSysExBytes(MidiTrackData& track, MidiEvent& event, const unsigned char* bytes, int size) {
    const std::vector<unsigned char> copy(bytes, bytes + size);
    Refresh(event);
    event.status = kEvSysEx;
    Reserve(event, size);
    std::memcpy(event.data, copy.data(), copy.size());
    event.length = size;
    track.SpecifyExclusiveType(&event);
}

std::unique_ptr<MidiEvent> SysExRecord(MidiTrackData& track,
                                       const std::vector<unsigned char>& bytes) {
    auto event = std::make_unique<MidiEvent>(0);
    SetSysExBytes(track, *event, bytes.data(), static_cast<int>(bytes.size()));
    return event;
}

}  // namespace retrograde::detail
