// Track classification and track order of a format-1 song: voices, drum
// tracks, deleting tracks of a kind, one song title, one track per channel,
// sorting, and the checks that report to the caller.
#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <numeric>
#include <string>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"

using retrograde::detail::At;

namespace {

using retrograde::detail::DrumChannelTable;

constexpr int kVolumeController = 7;
constexpr int kDefaultVolume = 100;
// Tracks without a channel (and channels past 15, which no 16-entry store
// can hold) go to track 1.
constexpr int kNoChannelSlot = 1;

// Deletes every track for which remove holds, compacting in one pass; the
// order of the others stays. keep_master_first spares track 0 when it is a
// master track.
void DeleteTracksIf(MidiF1Data& song, const std::function<bool(MidiF1TrackData&)>& remove,
                    bool keep_master_first = false) {
    int kept = 0;
    for (int t = 0; t < song.track_count; ++t) {
        auto& slot = song.tracks[static_cast<std::size_t>(t)];
        const bool spared = keep_master_first && t == 0 && slot->IsMasterTrack();
        if (!spared && remove(*slot)) {
            slot.reset();
            continue;
        }
        if (kept != t) song.tracks[static_cast<std::size_t>(kept)] = std::move(slot);
        ++kept;
    }
    song.track_count = kept;
}

int SumVoices(MidiF1Data& song) {
    const DrumChannelTable drums(song);
    int sum = 0;
    for (int t = 0; t < song.track_count; ++t) {
        MidiF1TrackData& track = At(song, t);
        sum += drums.IsDrumTrack(track) ? track.GetNumDrumVoice() : track.GetNumVoice();
    }
    return sum;
}

}  // namespace

int MidiF1Data::GetNumVoice() {
    return SumVoices(*this);
}

int MidiF1Data::CheckNumVoice() {
    return SumVoices(*this);
}

bool MidiF1Data::IsDrumTrack(int track) {
    if (track < 0 || track >= track_count) {
        ErrorMsg(kErrF1Track);
        return false;
    }
    const int channel = At(*this, track).GetChanel();
    if (channel == kNoChannel) return false;
    if (channel >= kMidiChannels) {
        ErrorMsg(kErrGeneral);
        return false;
    }
    return channel == kMidiDrumChannel || DrumChannelTable(*this).IsDrumChannel(channel);
}

bool MidiF1Data::IsDrumProgramChangeSet() {
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (drums.IsDrumTrack(track) && track.GetProgramChange() != kGneNone) return true;
    }
    return false;
}

void MidiF1Data::DeleteDrumProgramChange() {
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (drums.IsDrumTrack(track)) track.DeleteProgramChange(track.GetChanel());
    }
}

void MidiF1Data::AdjustDrumDuration() {
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (drums.IsDrumTrack(track)) track.AdjustDrumDuration();
    }
}

void MidiF1Data::DeleteTrack(int track) {
    if (track < 0 || track >= track_count) {
        ErrorMsg(kErrF1Track);
        return;
    }
    DeleteTracksIf(*this, [target = tracks[static_cast<std::size_t>(track)].get()](
                              MidiF1TrackData& t) { return &t == target; });
}

void MidiF1Data::DeleteChanel(int channel) {
    DeleteTracksIf(*this, [channel](MidiF1TrackData& t) {
        return !t.IsMasterTrack() && t.GetChanel() == channel;
    });
}

// With 255, the tracks without a channel (conductor tracks) go.
void MidiF1Data::DeleteChanelData(int channel) {
    DeleteTracksIf(*this, [channel](MidiF1TrackData& t) { return t.GetChanel() == channel; });
}

void MidiF1Data::DeleteNoNoteTrack() {
    DeleteTracksIf(
        *this, [](MidiF1TrackData& t) { return t.GetNumNoteEvent() == 0; }, true);
}

void MidiF1Data::DeleteNoNoteSysExTrack() {
    DeleteTracksIf(
        *this,
        [](MidiF1TrackData& t) {
            return t.GetNumNoteEvent() == 0 && t.GetNumSpecifiedEvent(kEvSysEx) == 0;
        },
        true);
}

void MidiF1Data::DeleteChanelSysExOnlyTrack() {
    DeleteTracksIf(*this, [](MidiF1TrackData& t) { return t.IsChanelSysExOnlyTrack(); });
}

void MidiF1Data::DeleteEmptyTrack() {
    DeleteTracksIf(*this, [](MidiF1TrackData& t) { return t.IsEmpty(); });
}

void MidiF1Data::DeleteDuplicateSongTitle() {
    bool found = false;
    for (int t = 0; t < track_count; ++t) {
        if (found) {
            At(*this, t).DeleteSongTitle();
        } else {
            found = At(*this, t).DeleteDuplicateSongTitle() != 0;
        }
    }
}

void MidiF1Data::AssignSameNumberToTrackAndChanel() try {
    // New empty tracks take the song's form, so that the song can still be
    // saved (a Q1 song with Q2 tracks could not).
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    std::array<int, kMidiChannels> slot_of{};
    std::array<std::int64_t, kMidiChannels> room{};  // events plus one joined title per merge
    slot_of.fill(-1);
    std::vector<int> slot(static_cast<std::size_t>(track_count));
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.form != form) {
            ErrorMsg(kErrF1Internal);
            return;
        }
        const int channel = track.GetChanel();
        const int s = channel >= 0 && channel < kMidiChannels ? channel : kNoChannelSlot;
        slot[static_cast<std::size_t>(t)] = s;
        room[static_cast<std::size_t>(s)] += track.event_count + 1;
    }
    for (const std::int64_t events : room) {
        if (events > kMaxEvents) {
            MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
            return;
        }
    }
    std::array<std::unique_ptr<MidiF1TrackData>, kMidiChannels> merged;
    for (int t = 0; t < track_count; ++t) {
        auto& target = merged[static_cast<std::size_t>(slot[static_cast<std::size_t>(t)])];
        auto source = std::move(tracks[static_cast<std::size_t>(t)]);
        if (target == nullptr) {
            target = std::move(source);
        } else {
            target->MergeTrack(source.get());
        }
    }
    for (auto& track : merged) {
        if (track == nullptr) track = std::make_unique<MidiF1TrackData>(form, 0);
    }
    for (int t = 0; t < kMidiChannels; ++t) {
        tracks[static_cast<std::size_t>(t)] = std::move(merged[static_cast<std::size_t>(t)]);
    }
    track_count = kMidiChannels;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiF1Data::SortTrack() {
    // Keys taken once; tracks without a channel first, equal channels keep
    // their order.
    std::vector<std::pair<int, std::unique_ptr<MidiF1TrackData>>> keyed;
    keyed.reserve(static_cast<std::size_t>(track_count));
    for (int t = 0; t < track_count; ++t) {
        const int channel = At(*this, t).GetChanel();
        keyed.emplace_back(channel == kNoChannel ? -1 : channel,
                           std::move(tracks[static_cast<std::size_t>(t)]));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (int t = 0; t < track_count; ++t) {
        tracks[static_cast<std::size_t>(t)] = std::move(keyed[static_cast<std::size_t>(t)].second);
    }
}

void MidiF1Data::SwapTrack(int a, int b) {
    if (a < 0 || a >= track_count || b < 0 || b >= track_count) {
        ErrorMsg(kErrF1Track);
        return;
    }
    std::swap(tracks[static_cast<std::size_t>(a)], tracks[static_cast<std::size_t>(b)]);
}

bool MidiF1Data::DeleteControlChange(int controller) {
    bool any = false;
    if (controller < 0 || controller > 127) return false;
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).DeleteControlChange(static_cast<unsigned char>(controller)) != 0)
            any = true;
    }
    return any;
}

bool MidiF1Data::GetMetaData(int type, char* text) {
    if (text == nullptr) return false;
    text[0] = '\0';
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetMetaData(type, text) != 0) return true;
    }
    return false;
}

int MidiF1Data::GetNumEvent(int from, int to) {
    int sum = 0;
    for (int t = 0; t < track_count; ++t) sum += At(*this, t).GetNumEvent(from, to);
    return sum;
}

int MidiF1Data::GetNumMetaEvent(int type) {
    int sum = 0;
    for (int t = 0; t < track_count; ++t) sum += At(*this, t).GetNumMetaEvent(type);
    return sum;
}

int MidiF1Data::GetNumNoteEvent() {
    int sum = 0;
    for (int t = 0; t < track_count; ++t) sum += At(*this, t).GetNumNoteEvent();
    return sum;
}

// The fixed time signature of the song is not asked: only the tracks' events.
bool MidiF1Data::GetTimeSign(int* value) {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetTimeSign(value) != 0) return true;
    }
    return false;
}

bool MidiF1Data::CheckDoubleNote() {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).CheckDoubleNote() != 0) return true;
    }
    return false;
}

bool MidiF1Data::CheckMiltiProgramChange() {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).CheckMiltiProgramChange()) return true;
    }
    return false;
}

bool MidiF1Data::CheckDuplicateChanelTrack() {
    std::bitset<kNoChannel> seen;  // every channel a record can hold but "none"
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.IsMasterTrack()) continue;
        const int channel = track.GetChanel();
        if (channel < 0 || channel >= kNoChannel) continue;
        if (seen.test(static_cast<std::size_t>(channel))) return true;
        seen.set(static_cast<std::size_t>(channel));
    }
    return false;
}

bool MidiF1Data::CheckTrackVolume(char* message) try {
    std::string text;
    bool inserted = false;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.IsMasterTrack()) continue;
        const int channel = track.GetChanel();
        // A channel past 15 could not be written in a control change.
        if (channel < 0 || channel >= kMidiChannels) continue;
        if (track.GetChanelVolume(false) != kGneNone) continue;
        track.InsertControlChange(channel, kVolumeController, kDefaultVolume);
        text += " チャネル " + std::to_string(channel + 1);
        inserted = true;
    }
    // Always closed by the sentence, even when nothing was missing.
    text += "にボリュームが設定されていませんでしたのでボリュームを100に設定しました。";
    if (message != nullptr) {
        // 65 tracks of " チャネル NNN" and the sentence stay far below the size.
        const std::size_t n =
            std::min(text.size(), static_cast<std::size_t>(kCheckTrackVolumeMessageSize - 1));
        std::memcpy(message, text.data(), n);
        message[n] = '\0';
    }
    return inserted;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return false;
}
