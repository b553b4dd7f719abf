// One track chunk: decode, then every form conversion and the writer.
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/NotePairing.h"

namespace {

bool WellFormed(const MidiEvent& e) {
    if (e.delta < 0 || e.length < 0 || e.length > e.DataCapacity()) return false;
    // Key pressure is carried as its bytes only.
    if (e.status == kEvKeyPressure) return e.length == 3 && (e.data[1] | e.data[2]) < 0x80;
    if (e.status >= kEvNoteOff && e.status <= kEvPitchBend) {
        return e.channel >= 0 && e.channel <= 15 &&
               static_cast<unsigned>(e.note | e.velocity | e.number | e.value) <= 127u;
    }
    if (e.status == kEvSysEx) {
        return e.length >= 1 && e.data[0] == 0xF0 && e.data[e.length - 1] == 0xF7;
    }
    if (e.status == kEvSysExEscape) return e.data[0] == 0xF7;
    return e.status == kEvMeta || e.status == kEvNone;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    if (size > kMusicDataBufferSize - 8) return 0;
    std::vector<unsigned char> chunk{'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(std::uint8_t(size >> shift));
    chunk.insert(chunk.end(), data, data + size);
    MidiTrackData track(static_cast<long>(chunk.size()), 0, chunk.data());
    if (track.form != kFormQ1) return 0;
    // Whatever the bytes, the events read are well formed.
    long long ticks = 0;
    for (int i = 0; i < track.event_count; ++i) {
        ticks += track.event_table[i]->delta;
        if (!WellFormed(*track.event_table[i])) __builtin_trap();
    }
    if (ticks > INT_MAX) __builtin_trap();
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
