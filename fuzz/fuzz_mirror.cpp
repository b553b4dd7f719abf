// The program's whole path: load, mirror both ways, encode, and read the
// result again; whatever loads must encode to a file that loads.
#include <cstdint>

#include "FuzzSupport.h"
#include "midi/song/MidiF0Data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF0Data song(data, static_cast<long>(size));
    if (!song.GetTrack() || song.GetTrack()->GetEventCount() == 0) return 0;
    MidiF0Data copy(&song);
    copy.Q2toQ1();
    copy.HorizontalReverse();
    copy.VerticalReverse();
    if (copy.Q1toRaw() != 1) return 0;
    MidiF0Data again(copy.buffer, copy.size);
    if (!again.GetTrack()) __builtin_trap();
    return 0;
}
