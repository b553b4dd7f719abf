// Records made or rewritten by the track edits, each exactly as the reader
// makes it from the bytes the writer writes for it: values within the ranges
// a file holds, meta values decoded as the reader decodes them, exclusive
// messages classified as the reader classifies them. And the bounded view of
// a meta event's text that every text comparison goes through.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "midi/track/MidiTrackData.h"

namespace retrograde::detail {

// A meta event's text: its data bytes up to the first zero, at most length
// bytes and never beyond the area.
inline std::string_view MetaText(const MidiEvent* event) {
    const int limit = std::clamp(event->length, 0, event->DataCapacity());
    const auto* text = reinterpret_cast<const char*>(event->data);
    return {text, static_cast<std::size_t>(std::find(text, text + limit, '\0') - text)};
}

inline bool IsDataByte(std::int64_t value) {
    return value >= 0 && value <= kMidiMaxDataByte;
}
inline bool IsMidiChannel(std::int64_t channel) {
    return channel >= 0 && channel < kMidiChannels;
}
inline int ClampDataByte(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, kMidiMaxDataByte));
}

// Control change, program change or pitch bend (first is the LSB, second the
// MSB); the arguments must already be valid.
std::unique_ptr<MidiEvent> ChannelRecord(int kind, int channel, int first, int second);
// The value of a control change or program change, or a pitch bend's 14 bits,
// in its fields and bytes.
void SetChannelValue(MidiEvent& event, int value);
// The channel of an event; a GS part message gets the part byte and checksum.
void SetEventChannel(MidiEvent& event, int channel);

// The data bytes of a fixed-length meta type (end of track: 0); -1 for the
// types whose length the event declares.
int FixedMetaLength(int type);
// Whether the reader keeps a meta event of type (end of track is never made
// by an edit: it belongs at the end alone).
bool IsEditableMeta(int type);
// Turns event into the meta event of type with count bytes, keeping its delta
// (type must be editable). Fixed-length types keep their length and decode
// their value; texts of any length get an area large enough. Device names
// become instrument names, as the reader has them.
void SetMetaBytes(MidiTrackData& track, MidiEvent& event, int type, const unsigned char* bytes,
                  int count);
std::unique_ptr<MidiEvent> MetaRecord(MidiTrackData& track, int type, const unsigned char* bytes,
                                      int count);

// The size of the exclusive message at the start of bytes (at most count):
// F0, a variable-length length that counts the rest, data bytes below 0x80,
// F7. 0 when bytes hold no such message.
int SysExSize(const unsigned char* bytes, int count);
// F0, the length of body as a variable-length quantity, then body (which
// ends with F7).
std::vector<unsigned char> SysExMessage(const std::vector<unsigned char>& body);
// Turns event into the exclusive message of size bytes (checked by SysExSize)
// and classifies it; its delta stays.
void SetSysExBytes(MidiTrackData& track, MidiEvent& event, const unsigned char* bytes, int size);
std::unique_ptr<MidiEvent> SysExRecord(MidiTrackData& track,
                                       const std::vector<unsigned char>& bytes);

}  // namespace retrograde::detail
