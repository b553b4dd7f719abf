// Renumbering a song's channels from 0 up, and thinning out one channel.
#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"
#include "midi/track/detail/EventRecords.h"

using retrograde::detail::At;

namespace {

constexpr int kExtendedChannels = 2 * kMidiChannels;
constexpr int kUnmapped = -1;

bool IsExtended(int channel) {
    return channel >= 0 && channel < kExtendedChannels;
}

// Moves every event of the track on from (either port) to to, part
// exclusives included: the track's own instrument name always matches, so a
// second-port track moves whole.
void MoveWholeTrack(MidiTrackData& track, int from, int to) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* e = track.event_table[i];
        if (!e->IsMeta(kMetaInstrument)) continue;
        std::string name(retrograde::detail::MetaText(e));
        track.ChangeChanel(name.data(), from, to);
        return;
    }
    track.ChangeChanel(from, to);
}

void DeleteInstrumentNames(MidiTrackData& track) {
    bool any = false;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        if (!e.IsMeta(kMetaInstrument)) continue;
        e.status = kEvNone;
        any = true;
    }
    if (any) track.DeleteNop();
}

// Reports, once per offending track, a second track without a channel and a
// second track on a channel already seen.
void ReportDuplicates(MidiF1Data& song) {
    bool system_seen = false;
    std::bitset<kExtendedChannels> seen;
    for (int t = 0; t < song.track_count; ++t) {
        const int channel = At(song, t).GetChanelWithInstName();
        if (!IsExtended(channel)) {
            if (system_seen) song.ErrorMsg(kErrF1SystemChannel);
            system_seen = true;
        } else if (seen.test(static_cast<std::size_t>(channel))) {
            song.ErrorMsg(kErrF1Channel);
        } else {
            seen.set(static_cast<std::size_t>(channel));
        }
    }
}

}  // namespace

int MidiF1Data::ReNumberChanel(int* keep, int count) {
    std::array<int, kExtendedChannels> map{};
    map.fill(kUnmapped);
    std::bitset<kMidiChannels> kept;
    for (int i = 0; keep != nullptr && i < count; ++i) {
        if (keep[i] < 0 || keep[i] >= kMidiChannels) continue;  // not a channel: ignored
        map[static_cast<std::size_t>(keep[i])] = keep[i];
        kept.set(static_cast<std::size_t>(keep[i]));
    }
    const auto skip_kept = [&](int next) {
        while (next < kMidiChannels && kept.test(static_cast<std::size_t>(next))) ++next;
        return next;
    };
    int next = skip_kept(0);
    std::vector<int> channels;
    for (int t = 0; t < track_count; ++t) {
        const int c = At(*this, t).GetChanelWithInstName();
        channels.push_back(c);
        if (!IsExtended(c) || map[static_cast<std::size_t>(c)] != kUnmapped) continue;
        if (next >= kMidiChannels) {
            ErrorMsg(kErrGeneral);
            return kGneFailure;
        }
        map[static_cast<std::size_t>(c)] = next;
        next = skip_kept(next + 1);
    }
    // Every track's drum status is taken before anything moves: deciding
    // while renumbering would read channels already given to other tracks.
    const retrograde::detail::DrumChannelTable drums(*this);
    std::vector<bool> drum;
    for (int t = 0; t < track_count; ++t) drum.push_back(drums.IsDrumTrack(At(*this, t)));
    // A new switch goes to index 0 of a drum track or of a melodic track
    // landing on channel 10: each needs one free entry.
    for (int t = 0; t < track_count; ++t) {
        const int c = channels[static_cast<std::size_t>(t)];
        if (IsExtended(c) && At(*this, t).event_count >= kMaxEvents &&
            (drum[static_cast<std::size_t>(t)] ||
             map[static_cast<std::size_t>(c)] == kMidiDrumChannel)) {
            MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
            return kGneFailure;
        }
    }
    std::bitset<kMidiChannels> switch_deleted;
    for (int t = 0; t < track_count; ++t) {
        const int c = channels[static_cast<std::size_t>(t)];
        const auto old = static_cast<std::size_t>(c % kMidiChannels);
        if (!IsExtended(c) || !drum[static_cast<std::size_t>(t)] || switch_deleted.test(old))
            continue;
        DeleteSysExF0(c % kMidiChannels, static_cast<unsigned char>(kExTypeGsRhythmPart));
        switch_deleted.set(old);
    }
    for (int t = 0; t < track_count; ++t) {
        const int c = channels[static_cast<std::size_t>(t)];
        if (!IsExtended(c)) continue;
        MidiF1TrackData& track = At(*this, t);
        MoveWholeTrack(track, c % kMidiChannels, map[static_cast<std::size_t>(c)]);
        DeleteInstrumentNames(track);
    }
    for (int t = 0; t < track_count; ++t) {
        const int c = channels[static_cast<std::size_t>(t)];
        if (!IsExtended(c)) continue;
        const int to = map[static_cast<std::size_t>(c)];
        if (drum[static_cast<std::size_t>(t)] && to != kMidiDrumChannel)
            At(*this, t).InsertDrumScale(true, to);
        else if (!drum[static_cast<std::size_t>(t)] && to == kMidiDrumChannel)
            At(*this, t).InsertDrumScale(false, kMidiDrumChannel);
    }
    ReportDuplicates(*this);
    return kGneSuccess;
}

void MidiF1Data::ReduceChanelVoice(int channel, int maxVoices) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const retrograde::detail::DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.IsMasterTrack() || track.GetChanel() != channel) continue;
        // Both reductions leave a track already within maxVoices as it is.
        if (drums.IsDrumTrack(track))
            track.ReduceDrumVoice(maxVoices);
        else
            track.ReduceVoice(maxVoices);
    }
}
