// One track chunk: decode, then every form conversion and the writer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/NotePairing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    if (size > kMusicDataBufferSize - 8) return 0;
    std::vector<unsigned char> chunk{'M', 'T', 'r', 'k', std::uint8_t(size >> 24),
                                     std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                                     std::uint8_t(size)};
    chunk.insert(chunk.end(), data, data + size);
    MidiTrackData track(static_cast<long>(chunk.size()), 0, chunk.data());
    if (track.form != kFormQ1) return 0;
    // The pairing made while reading gives the notes that pairing afterwards gives.
    {
        MidiTrackData plain(static_cast<long>(chunk.size()), 0, chunk.data());
        retrograde::detail::NotePairing pairing;
        MidiTrackData paired(static_cast<long>(chunk.size()), 0, chunk.data(), pairing);
        plain.Q1toQ2();
        paired.Q1toQ2(pairing);
        if (plain.event_count != paired.event_count) __builtin_trap();
        for (int i = 0; i < plain.event_count; ++i) {
            if (plain.event_table[i]->duration != paired.event_table[i]->duration) __builtin_trap();
        }
    }
    track.AddEndOfTrack();
    track.Q1toQ2();
    MidiTrackData copy(&track);
    copy.Q2toQ1();
    copy.Q1toRaw();
    return 0;
}
