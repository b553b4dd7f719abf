// The program's whole path: load, mirror both ways (and backwards carrying
// each passage's state), encode, and read the
// result again; whatever loads must encode to a file that loads.
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/SongPipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF0Data song(data, static_cast<long>(size));
    if (!song.GetTrack() || song.GetTrack()->GetEventCount() == 0) return 0;
    MidiF0Data copy(&song);
    copy.Q2toQ1();
    copy.HorizontalReverse();
    copy.VerticalReverse();
    MidiF0Data carried(&song);
    carried.Q2toQ1();
    carried.HorizontalReverse(true);
    if (carried.Q1toRaw() == 1 && !MidiF0Data(carried.buffer, carried.size).GetTrack())
        __builtin_trap();
    if (copy.Q1toRaw() != 1) return 0;
    MidiF0Data again(copy.buffer, copy.size);
    if (!again.GetTrack()) __builtin_trap();
    // The command line's way, on the song itself, writes the same file.
    MirrorInPlace(song, {true, true, false});
    if (song.Q1toRaw() != 1 || song.size != copy.size ||
        std::memcmp(song.buffer, copy.buffer, static_cast<std::size_t>(copy.size)) != 0)
        __builtin_trap();
    return 0;
}
