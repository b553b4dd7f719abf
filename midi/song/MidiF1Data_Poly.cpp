// Polyphony of a whole song: every track merged into one, counted or reduced
// there, and the song rebuilt from the result.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/event/MidiConstants.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/track/detail/TrackMessages.h"

namespace {

constexpr int kNoChannelSlot = 16;
constexpr std::size_t kMaxTitle = 255;

// The merged song in Q1 holds every event and a note off for each Note.
bool FitsOneTrack(const MidiF1Data& song) {
    std::int64_t total = 0;
    for (int t = 0; t < song.track_count; ++t) {
        const MidiF1TrackData& track = *song.tracks[static_cast<std::size_t>(t)];
        for (int i = 0; i < track.event_count; ++i) {
            total += track.event_table[i]->status == kEvNote ? 2 : 1;
        }
    }
    if (total <= kMaxEvents) return true;
    retrograde::detail::ShowError(retrograde::detail::kTrackMessages, kErrTrackTooMuchData);
    return false;
}

// Track names by channel (slot 16: tracks without one); a later track of a
// channel wins.
using TitleSlots = std::array<std::string, kMidiChannels + 1>;
TitleSlots SaveTitles(MidiF1Data& song) {
    TitleSlots slots;
    for (int t = 0; t < song.track_count; ++t) {
        MidiF1TrackData& track = *song.tracks[static_cast<std::size_t>(t)];
        const int channel = track.GetChanel();
        const auto slot =
            static_cast<std::size_t>(channel < kMidiChannels ? channel : kNoChannelSlot);
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            if (!e.IsMeta(kMetaTrackName)) continue;
            slots[slot].assign(
                reinterpret_cast<const char*>(e.data),
                std::min<std::size_t>(static_cast<std::size_t>(std::max(e.length, 0)), kMaxTitle));
            break;
        }
    }
    return slots;
}

void AddTitle(MidiF1TrackData& track, const std::string& title) {
    if (title.empty()) return;
    auto event = std::make_unique<MidiEvent>(0);
    event->status = kEvMeta;
    event->number = kMetaTrackName;
    event->length = static_cast<int>(title.size());
    std::memcpy(event->data, title.data(), title.size());
    track.InsertEvent(0, kInsertBefore, event.release());
}

void RestoreTitles(MidiF1Data& song, const TitleSlots& slots) {
    for (int t = 0; t < song.track_count; ++t) {
        MidiF1TrackData& track = *song.tracks[static_cast<std::size_t>(t)];
        const int channel = track.GetChanel();
        if (channel < kMidiChannels) {
            AddTitle(track, slots[static_cast<std::size_t>(channel)]);
        } else if (t == 0) {
            AddTitle(track, slots[kNoChannelSlot]);
        }
    }
}

}  // namespace

namespace {

// Merge, reduce in Q1, rebuild: each step is checked, and the song changes
// only in the rebuild, once the reduced song is whole.
void ReduceSong(MidiF1Data& song, const std::function<void(MidiTrackData&)>& reduce) {
    if (song.form != kFormQ2) {
        song.ErrorMsg(kErrF1Internal);
        return;
    }
    if (!FitsOneTrack(song)) return;
    const TitleSlots titles = SaveTitles(song);
    MidiF0Data merged;
    song.SetMidiF0Data(&merged);
    MidiTrackData& track = *merged.track;
    // The titles come back by channel; in the merged track they would all
    // land in the first track.
    for (int i = 0; i < track.event_count; ++i) {
        if (track.event_table[i]->IsMeta(kMetaTrackName)) track.event_table[i]->status = kEvNone;
    }
    track.DeleteNop();
    merged.Q2toQ1();
    if (track.form != kFormQ1) return;  // reported
    reduce(track);
    merged.Q1toQ2();
    if (track.form != kFormQ2) return;
    song.ReplaceData(&merged);
    RestoreTitles(song, titles);
}

}  // namespace

void MidiF1Data::ReduceNumPoly(int maxPoly) try {
    if (maxPoly < 1) {
        retrograde::detail::ShowError(retrograde::detail::kTrackMessages, kErrGeneral);
        return;
    }
    ReduceSong(*this, [maxPoly](MidiTrackData& track) { track.ReduceNumPoly(maxPoly); });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiF1Data::ReduceNumPoly(int maxPoly, int* excluded, int excludedCount, int method,
                               int (*priority)[12], bool keepTopNote) try {
    // The track's refusals, checked before the song is taken apart.
    if (maxPoly < 1 || (method != 1 && method != 2) || (excluded == nullptr && excludedCount > 0) ||
        (method == 2 && priority == nullptr)) {
        retrograde::detail::ShowError(retrograde::detail::kTrackMessages, kErrGeneral);
        return;
    }
    ReduceSong(*this, [&](MidiTrackData& track) {
        track.ReduceNumPoly(maxPoly, excluded, excludedCount, method, priority, keepTopNote);
    });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

int MidiF1Data::GetNumPoly() try {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return 0;
    }
    if (!FitsOneTrack(*this)) return 0;
    MidiF0Data merged;
    SetMidiF0Data(&merged);
    return merged.track->GetNumPoly();
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}
