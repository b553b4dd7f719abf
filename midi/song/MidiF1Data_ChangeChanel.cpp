// Moving one track's channel through the whole song.
#include <bitset>
#include <optional>
#include <string>
#include <vector>

#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"
#include "midi/track/detail/EventRecords.h"

using retrograde::detail::DeleteSecondPortNames;

namespace {

// The text of the track's first instrument name; none without one. Read from
// the record itself: a long name need not fit a caller's fixed buffer.
std::optional<std::string> InstrumentName(const MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* e = track.event_table[i];
        if (e->IsMeta(kMetaInstrument)) return std::string(retrograde::detail::MetaText(e));
    }
    return std::nullopt;
}

constexpr int kExtendedChannels = 2 * kMidiChannels;

// What a track is before a reordering moves anything.
struct TrackPlace {
    int channel;  // extended channel, 0..31 or 255
    bool drum;
    std::optional<std::string> name;
    bool done;
};

}  // namespace

int MidiF1Data::ChangeChanel(int track, int channel) {
    if (track < 0 || track >= track_count) {
        ErrorMsg(kErrF1Track);
        return kGneNone;
    }
    MidiF1TrackData& source = *tracks[static_cast<std::size_t>(track)];
    const int old = source.GetChanel();
    if (old < 0 || old >= kMidiChannels || channel < 0 || channel >= kMidiChannels) {
        ErrorMsg(kErrF1Internal);
        return kGneNone;
    }
    const std::optional<std::string> name = InstrumentName(source);
    int result = 1;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& each = *tracks[static_cast<std::size_t>(t)];
        if (InstrumentName(each).has_value()) {
            std::string wanted = name.value_or(std::string());
            result = name ? each.ChangeChanel(wanted.data(), old, channel) : 1;
        } else if (!name) {
            // Tracks without an instrument name all sit on the first port:
            // they share the channel of an unnamed track.
            each.ChangeChanel(old, channel);
            result = 0;
        } else {
            result = 1;
        }
    }
    return result;
}

void MidiF1Data::SetChanelOrder() {
    const retrograde::detail::DrumChannelTable drums(*this);
    std::vector<TrackPlace> places;
    std::bitset<kMidiChannels> used;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = *tracks[static_cast<std::size_t>(t)];
        const int channel = track.GetChanelWithInstName();
        const bool first_port = channel >= 0 && channel < kMidiChannels;
        if (first_port) used.set(static_cast<std::size_t>(channel));
        places.push_back({channel, drums.IsDrumTrack(track), InstrumentName(track),
                          first_port || channel < 0 || channel >= kExtendedChannels});
    }
    // A second-port track whose number is free on the first port keeps it.
    for (int t = 0; t < track_count; ++t) {
        TrackPlace& place = places[static_cast<std::size_t>(t)];
        if (place.done) continue;
        const auto own = static_cast<std::size_t>(place.channel - kMidiChannels);
        if (used.test(own)) continue;
        used.set(own);
        place.done = true;
        DeleteSecondPortNames(*tracks[static_cast<std::size_t>(t)]);
    }
    for (int t = 0; t < track_count; ++t) {
        const TrackPlace place = places[static_cast<std::size_t>(t)];
        if (place.done) continue;
        int free = 0;
        while (free < kMidiChannels && used.test(static_cast<std::size_t>(free))) ++free;
        if (free == kMidiChannels) break;  // nothing left: the rest keep their channels
        const int old = place.channel % kMidiChannels;
        ChangeChanel(t, free);
        // Every track that moved with it is placed too, on the first port.
        for (int u = t; u < track_count; ++u) {
            TrackPlace& other = places[static_cast<std::size_t>(u)];
            if (other.done || other.channel % kMidiChannels != old || other.name != place.name)
                continue;
            other.done = true;
            DeleteSecondPortNames(*tracks[static_cast<std::size_t>(u)]);
        }
        MidiF1TrackData& track = *tracks[static_cast<std::size_t>(t)];
        if (free == kMidiDrumChannel && !place.drum) track.InsertDrumScale(false, kMidiDrumChannel);
        if (free != kMidiDrumChannel && old == kMidiDrumChannel && place.drum)
            track.InsertDrumScale(true, free);
        used.set(static_cast<std::size_t>(free));
    }
}
