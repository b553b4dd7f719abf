// Moving one track's channel through the whole song.
#include <optional>
#include <string>

#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/track/detail/EventRecords.h"

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
