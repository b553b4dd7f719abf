// The drum-channel table of a song, built in one pass.
#include "midi/song/detail/DrumChannels.h"

#include "midi/song/MidiF1Data.h"

namespace retrograde::detail {

namespace {
// The on/off byte of a GS rhythm-part message: F0 len 41 10 42 12 40 part 15 [value].
constexpr int kRhythmValueByte = 9;
}  // namespace

DrumChannelTable::DrumChannelTable(const MidiF1Data& song) {
    std::array<bool, kMidiChannels> decided{};
    int open = kMidiChannels;
    for (int t = 0; t < song.track_count && open > 0; ++t) {
        const MidiTrackData& track = *song.tracks[static_cast<std::size_t>(t)];
        for (int i = 0; i < track.event_count && open > 0; ++i) {
            const MidiEvent& e = *track.event_table[i];
            if (e.status != kEvSysEx || e.number != kExTypeGsRhythmPart) continue;
            if (e.channel < 0 || e.channel >= kMidiChannels || e.length <= kRhythmValueByte)
                continue;
            const auto ch = static_cast<unsigned>(e.channel);
            if (decided[ch]) continue;
            decided[ch] = true;
            --open;
            drum_[ch] = e.data[kRhythmValueByte] != 0;
        }
    }
    drum_[kMidiDrumChannel] = true;
}

bool DrumChannelTable::IsDrumTrack(MidiTrackData& track) const {
    return IsDrumChannel(track.GetChanel());
}

bool HoldsOnlyChannel(const MidiTrackData& track, int channel) {
    bool found = false;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == kEvNone || e.status == kEvMeta || e.channel == kNoChannel) continue;
        if (e.channel != channel) return false;
        found = true;
    }
    return found;
}

}  // namespace retrograde::detail
