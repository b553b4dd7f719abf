// A whole file image read as a format-1 song (format-0 files are split).
#include <cstdint>

#include "FuzzSupport.h"
#include "SongLevelOperations.h"
#include "midi/song/MidiF1Data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF1Data song(data, static_cast<long>(size));
    // What could not be read: the chunks cut off were read no further than declared.
    for (const MidiDamage::CutTrack& cut : song.damage.cut) {
        if (cut.read >= cut.declared) __builtin_trap();
    }
    if (song.damage.IsDamaged() == song.damage.Summary().empty()) __builtin_trap();
    if (song.form == kFormQ2 && song.track_count > 0) {
        SongLevelOperations(song);
        song.Q2toQ1();
        (void)song.Q1toRaw();
    }
    return 0;
}
