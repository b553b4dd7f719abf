// Classification of system exclusive messages (universal and GS messages the
// library acts on) and the two helpers that build GS messages.
#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "midi/track/MidiTrackData.h"

namespace {

// The message bytes as read: index 0 is F0, 1 the length byte, 2 the
// manufacturer. Bytes beyond the message do not exist: they match nothing.
class SysExBytes {
public:
    explicit SysExBytes(const MidiEvent& event)
        : data_(event.data), count_(std::clamp(event.length, 0, event.DataCapacity())) {}

    bool Has(int index) const { return index >= 0 && index < count_; }
    int At(int index) const { return Has(index) ? data_[index] : -1; }
    // True when the bytes from index on are exactly expected.
    bool Match(int index, std::initializer_list<int> expected) const {
        for (int byte : expected) {
            if (At(index++) != byte) return false;
        }
        return true;
    }

private:
    const unsigned char* data_;
    int count_;
};

// GS effect parameters, address 40 01 xx: type by the low address byte.
int SystemEffect01Type(int address) {
    if (address >= 0x30 && address <= 0x35) return 20 + (address - 0x30);
    if (address >= 0x37 && address <= 0x40) return 32 + (address - 0x37);
    if (address >= 0x50 && address <= 0x59) return 48 + (address - 0x50);
    if (address == 0x5A) return 64;
    return 0;  // 0x36 and everything else: no type
}

// Channel of a GS part byte: part 0 is channel 10 (index 9), parts 1..9 are
// channels 1..9 and parts A..F channels 11..16.
int PartChannel(int part, int base) {
    const int offset = part - base;
    if (offset == 0) return kMidiDrumChannel;
    if (offset >= 1 && offset <= 9) return offset - 1;
    return offset;  // 0x0A..0x0F
}

}  // namespace

void MidiTrackData::SpecifyExclusiveType(MidiEvent* event) {
    if (event == nullptr) return;
    if (event->status != kEvSysEx) ErrorMsg(kErrTrackInternal);
    event->number = 0;
    const SysExBytes b(*event);
    if (b.Match(2, {0x7F, 0x7F, 0x04, 0x01}) && b.At(8) == 0xF7) {
        event->number = kExTypeMasterVolume;
        event->value = b.At(7);
    } else if (b.Match(2, {0x7F, 0x7F, 0x04, 0x02}) && b.At(8) == 0xF7) {
        event->number = kExTypeMasterBalance;
        event->value = b.At(7);
    } else if (b.Match(2, {0x43, 0x79, 0x06, 0x7F}) && b.At(8) == 0xF7) {
        event->number = kExTypeVoiceMode;
    } else if (b.Match(2, {0x7E, 0x7F, 0x09, 0x01, 0xF7})) {
        event->number = kExTypeGmSystemOn;
    } else if (b.At(2) == 0x41) {
        if (b.Match(3, {0x10, 0x42, 0x12, 0x40, 0x00, 0x04})) {
            if (b.Has(9)) {
                event->number = kExTypeMasterVolume;
                event->value = b.At(9);
            }
        } else if (b.Match(3, {0x10, 0x42, 0x12, 0x40})) {
            const int middle = b.At(7);
            if (middle == 0x01) {
                Specify88SystemEffect01(event);
            } else if (middle == 0x02) {
                Specify88SystemEffect02(event);
            } else if (middle >= 0x10 && middle <= 0x1F) {
                Specify88SystemEffect1X(event);
            } else if (middle >= 0x40 && middle <= 0x4F) {
                Specify88SystemEffect4X(event);
            }
        } else if (b.Match(3, {0x10, 0x42, 0x12, 0x00, 0x00, 0x7F})) {
            event->number = kExTypeGsSystemMode;
        }
    }
}

// Each sub-classifier takes the value byte (index 9) whatever the address, and
// the type only for an address it knows (index 8). A message too short to
// hold both is left alone.
void MidiTrackData::Specify88SystemEffect01(MidiEvent* event) {
    if (event == nullptr) return;
    const SysExBytes b(*event);
    if (!b.Has(9)) return;
    event->value = b.At(9);
    const int type = SystemEffect01Type(b.At(8));
    if (type != 0) event->number = type;
}

void MidiTrackData::Specify88SystemEffect02(MidiEvent* event) {
    if (event == nullptr) return;
    const SysExBytes b(*event);
    if (!b.Has(9)) return;
    event->value = b.At(9);
    const int address = b.At(8);
    if (address >= 0x00 && address <= 0x03) event->number = 65 + address;
}

void MidiTrackData::Specify88SystemEffect1X(MidiEvent* event) {
    if (event == nullptr) return;
    const SysExBytes b(*event);
    if (!b.Has(9)) return;
    event->value = b.At(9);
    if (b.At(8) == 0x15) {
        event->number = kExTypeGsRhythmPart;
        event->channel = PartChannel(b.At(7), 0x10);
    }
}

void MidiTrackData::Specify88SystemEffect4X(MidiEvent* event) {
    if (event == nullptr) return;
    const SysExBytes b(*event);
    if (!b.Has(9)) return;
    event->value = b.At(9);
    if (b.At(8) == 0x20) {
        event->number = kExTypeGsPartEqSwitch;
        event->channel = PartChannel(b.At(7), 0x40);
    }
}

// Channels outside 0..15 have no part byte; the byte is left as it was.
void SetSysExF0Chanel(int channel, unsigned char* part, unsigned char base) {
    if (part == nullptr || channel < 0 || channel >= kMidiChannels) return;
    if (channel <= 8) {
        *part = static_cast<unsigned char>(base + channel + 1);
    } else if (channel == kMidiDrumChannel) {
        *part = base;
    } else {
        *part = static_cast<unsigned char>(base + channel);
    }
}

// The Roland checksum over the three address bytes and the data byte.
void SetGSCheckSum(unsigned char* message) {
    if (message == nullptr) return;
    const int sum = message[6] + message[7] + message[8] + message[9];
    message[10] = static_cast<unsigned char>((128 - sum % 128) % 128);
}
