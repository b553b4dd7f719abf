// A whole file image read as a format-1 song (format-0 files are split).
#include <cstdint>

#include "FuzzSupport.h"
#include "SongLevelOperations.h"
#include "midi/song/MidiF1Data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF1Data song(data, static_cast<long>(size));
    if (song.form == kFormQ2 && song.track_count > 0) {
        SongLevelOperations(song);
        song.Q2toQ1();
        (void)song.Q1toRaw();
    }
    return 0;
}
