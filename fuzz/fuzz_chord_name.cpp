// Chord names: any bytes, of any length, with or without a terminating zero.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "music/ChordNameCtl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    const ChordNameCtl bounded(reinterpret_cast<const char*>(data), static_cast<int>(size));
    std::string text(reinterpret_cast<const char*>(data), size);
    const ChordNameCtl terminated(text.data());
    // Both read the same characters up to the first zero.
    if (bounded.root != terminated.root || bounded.seventh != terminated.seventh) __builtin_trap();
    return 0;
}
