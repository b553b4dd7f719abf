// The MIDI file container and the free functions on whole images: loading,
// MacBinary removal and format classification.
#include "midi/song/MidiData.h"

#include <cstring>

#include "General/GeneralMac.h"
#include "midi/song/detail/SmfImage.h"

int MidiData::LoadFile() {
    const int result = MusicData::LoadFile("mid", "SMF files|*.mid");
    form = kFormRaw;
    return result;
}

int MidiData::LoadFile(const char* name) {
    const int result = MusicData::LoadFile(name);
    form = kFormRaw;
    return result;
}

int GneDeleteMacBinary(unsigned char* buffer, const unsigned char* magic, long* size) {
    if (buffer == nullptr || size == nullptr) return 0;
    const long needed = kMacBinaryHeaderSize + (magic != nullptr ? 4 : 0);
    if (*size < needed) return 0;
    if (magic != nullptr && std::memcmp(buffer + kMacBinaryHeaderSize, magic, 4) != 0) return 0;
    std::memmove(buffer, buffer + kMacBinaryHeaderSize,
                 static_cast<std::size_t>(*size - kMacBinaryHeaderSize));
    *size -= kMacBinaryHeaderSize;
    return 1;
}

int MidiGetFormat(unsigned char* image, long size) {
    if (image == nullptr || size <= 0) return -1;
    // The caller's size is not ours to change; the local one bounds the look.
    retrograde::detail::UnwrapRmid(image, &size);
    if (!retrograde::detail::HasTag(image, size, 0, "MThd") &&
        retrograde::detail::HasTag(image, size, kMacBinaryHeaderSize, "MThd")) {
        std::memmove(image, image + kMacBinaryHeaderSize,
                     static_cast<std::size_t>(size - kMacBinaryHeaderSize));
        size -= kMacBinaryHeaderSize;
    }
    if (size < 10) return -1;
    if (image[8] == 0 && image[9] == 0) return 0;
    if (image[8] == 0 && image[9] == 1) return 1;
    return -1;
}
