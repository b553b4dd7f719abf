// Checked helpers for the bytes of a whole Standard MIDI File image: tags,
// RMID and MacBinary wrappers, the header's fields, foreign chunks.
#include "midi/song/detail/SmfImage.h"

#include <cstring>

#include "midi/song/MidiData.h"

namespace {

constexpr int kRiffHeaderSize = 12;  // "RIFF", length, form type
// Ticks per quarter note given to a file whose division is 0: the times of
// such a file mean nothing, and this keeps every later division arithmetic
// well defined.
constexpr int kDivisionForZero = 480;

bool IsTagByte(unsigned char c) {
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

namespace retrograde::detail {

bool HasTag(const unsigned char* image, long size, long offset, const char* tag) {
    return image != nullptr && offset >= 0 && size >= 4 && offset <= size - 4 &&
           std::memcmp(image + offset, tag, 4) == 0;
}

std::uint32_t Be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::uint32_t Le32(const unsigned char* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           std::uint32_t{p[0]};
}

bool UnwrapRmid(unsigned char* image, long* size) {
    if (!HasTag(image, *size, 0, "RIFF") || !HasTag(image, *size, 8, "RMID")) return false;
    long offset = kRiffHeaderSize;
    while (offset <= *size - kSmfChunkHeaderSize) {
        const long length = static_cast<long>(Le32(image + offset + 4));
        const long body = offset + kSmfChunkHeaderSize;
        if (std::memcmp(image + offset, "data", 4) == 0) {
            // A data chunk cut short by the end of the file keeps what is there.
            const long kept = length < *size - body ? length : *size - body;
            std::memmove(image, image + body, static_cast<std::size_t>(kept));
            *size = kept;
            return true;
        }
        if (length > *size - body) break;
        offset = body + length + (length & 1);  // RIFF chunks are padded to even sizes
    }
    return false;
}

bool LocateHeader(unsigned char* image, long* size) {
    if (image == nullptr || *size <= 0) return false;
    UnwrapRmid(image, size);
    if (HasTag(image, *size, 0, "MThd")) return true;
    static const unsigned char kMagic[4] = {'M', 'T', 'h', 'd'};
    return GneDeleteMacBinary(image, kMagic, size) == 1;
}

long FirstChunkOffset(const unsigned char* image, long size, long header) {
    if (header < 0 || header > size - kSmfChunkHeaderSize) return header + kSmfHeaderSize;
    const long length = static_cast<long>(Be32(image + header + 4));
    // A header shorter than the six bytes every reader needs is taken as six.
    if (length < 6 || length > size - header - kSmfChunkHeaderSize) return header + kSmfHeaderSize;
    return header + kSmfChunkHeaderSize + length;
}

int DivisionFromHeader(unsigned char high, unsigned char low) {
    if (high & 0x80) {
        // SMPTE time: -frames per second and ticks per frame. Songs here count
        // in ticks per quarter note; at the tempo a file without tempo events
        // plays at (120 quarter notes a minute, half a second each) the same
        // ticks last as long when a quarter note is half a second of ticks.
        int fps = 256 - high;
        if (fps == 29) fps = 30;  // 29.97 drop frame
        const int perQuarter = fps * low / 2;
        return perQuarter > 0 ? perQuarter : kDivisionForZero;
    }
    const int division = high * 256 + low;
    return division > 0 ? division : kDivisionForZero;
}

long SkipForeignChunks(const unsigned char* image, long size, long offset) {
    while (offset >= 0 && offset <= size - kSmfChunkHeaderSize &&
           std::memcmp(image + offset, "MTrk", 4) != 0) {
        const unsigned char* tag = image + offset;
        if (!IsTagByte(tag[0]) || !IsTagByte(tag[1]) || !IsTagByte(tag[2]) || !IsTagByte(tag[3])) {
            break;  // no chunk tag at all: the track reader says so
        }
        const long long end =
            static_cast<long long>(offset) + kSmfChunkHeaderSize + Be32(image + offset + 4);
        if (end > size) break;  // a chunk running past the end is not skipped blindly
        offset = static_cast<long>(end);
    }
    return offset;
}

void RepairEndOfTrack(MidiTrackData* track) {
    int ends = 0;
    for (int i = 0; i < track->event_count; ++i) {
        if (track->event_table[i]->IsEndOfTrack()) ++ends;
    }
    if (ends == 1 && track->event_table[track->event_count - 1]->IsEndOfTrack()) return;
    track->DeleteDuplicateEndOfTrack();
}

}  // namespace retrograde::detail
