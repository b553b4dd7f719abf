// Whole-image conversion between format 0 and format 1, both ways.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "midi/song/MidiData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    if (size < 1) return 0;
    const int format = data[0] & 1;
    ++data;
    --size;
    std::vector<unsigned char> image(kMusicDataBufferSize, 0);
    long length = static_cast<long>(std::min<std::size_t>(size, image.size()));
    std::copy_n(data, length, image.begin());
    MidiChangeFormat(image.data(), &length, format);
    if (length < 0 || length > kMusicDataBufferSize) __builtin_trap();
    return 0;
}
