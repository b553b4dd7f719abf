// A whole file image read as a format-0 song (format-1 files are merged).
#include <cstdint>

#include "FuzzSupport.h"
#include "midi/song/MidiF0Data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF0Data song(data, static_cast<long>(size));
    // The pass-through operations, on whatever the song holds.
    song.IsEventExist(kEvControl, 0, 1 << 30);
    song.GetNumEvent(0, 1 << 30);
    song.CheckDoubleNote();
    song.PackDrumSet();
    song.DeleteControlChange(static_cast<unsigned char>(size));
    song.ExtractChanelData(static_cast<int>(size % 17));
    return 0;
}
