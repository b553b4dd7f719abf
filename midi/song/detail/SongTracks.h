// The tracks of a format-1 song as the song-level operations walk them.
#pragma once

#include <cstddef>

#include "midi/song/MidiF1Data.h"

namespace retrograde::detail {

// Track t of song (0 <= t < track_count).
inline MidiF1TrackData& At(MidiF1Data& song, int t) {
    return *song.tracks[static_cast<std::size_t>(t)];
}

// edit(track) on every track of song, in order.
template <class Edit>
void EveryTrack(MidiF1Data& song, Edit&& edit) {
    for (int t = 0; t < song.track_count; ++t) edit(At(song, t));
}

// Deletes the instrument names that put track on the second port.
inline void DeleteSecondPortNames(MidiTrackData& track) {
    bool any = false;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        if (!e.IsMeta(kMetaInstrument) || e.IsSC88BPort() == 0) continue;
        e.status = kEvNone;
        any = true;
    }
    if (any) track.DeleteNop();
}

}  // namespace retrograde::detail
