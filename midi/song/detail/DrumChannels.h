// Which channels of a format-1 song play drums: the one table every
// song-level operation that asks "is this a drum track?" reads.
#pragma once

#include <array>

#include "midi/event/MidiConstants.h"

class MidiF1Data;
class MidiTrackData;

namespace retrograde::detail {

// The drum state of the 16 channels, taken in one pass over the song: channel
// 10 (index 9) always plays drums; any other channel plays drums when the
// first GS rhythm-part exclusive for it (exclusive type 18, in song order:
// track by track, event by event) switches it on (its byte 9 not 0).
// Messages shorter than 10 bytes are not read.
//
// Build one at the start of a song-level operation (callers may have edited
// the tracks directly) and again after the operation changes channels or
// exclusives; ask it per track instead of scanning the song per question.
class DrumChannelTable {
public:
    explicit DrumChannelTable(const MidiF1Data& song);

    // Channels outside 0..15 (255: no channel) are never drums.
    bool IsDrumChannel(int channel) const {
        return channel >= 0 && channel < kMidiChannels && drum_[static_cast<unsigned>(channel)];
    }
    // Whether track's channel (MidiTrackData::GetChanel) plays drums.
    bool IsDrumTrack(MidiTrackData& track) const;

private:
    std::array<bool, kMidiChannels> drum_{};
};

// Whether track carries channel and no other (metas and exclusives without a
// channel aside): a track holding one exclusive of the part qualifies, a
// conductor track never does.
bool HoldsOnlyChannel(const MidiTrackData& track, int channel);

}  // namespace retrograde::detail
