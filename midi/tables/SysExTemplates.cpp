// Checks of the exclusive templates' layout: the length byte counts the bytes
// between it and the closing F7.
#include "midi/tables/SysExTemplates.h"

#include <cstddef>

namespace {

template <std::size_t N>
constexpr bool LengthByteMatches(const std::array<unsigned char, N>& message) {
    std::size_t end = 2;
    while (end < N && message[end] != 0xF7) ++end;
    return end < N && message[0] == 0xF0 && message[1] == end - 1;
}

static_assert(LengthByteMatches(SysExMasterVolume));
static_assert(LengthByteMatches(SysExDrumScale));
static_assert(LengthByteMatches(SysExVoiceMode));
static_assert(LengthByteMatches(SysExFmMode));
static_assert(LengthByteMatches(LoopSysExStart));
static_assert(LengthByteMatches(LoopSysExStop));

}  // namespace
