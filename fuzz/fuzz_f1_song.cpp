// A whole file image read as a format-1 song (format-0 files are split).
#include <cstdint>

#include "FuzzSupport.h"
#include "midi/song/MidiF1Data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF1Data song(data, static_cast<long>(size));
    return 0;
}
