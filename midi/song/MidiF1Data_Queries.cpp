// Song-wide queries and per-track edits of a format-1 song: an edit applied
// to every track, or a question asked of the tracks until one answers.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"

using retrograde::detail::HoldsOnlyChannel;

using retrograde::detail::At;
using retrograde::detail::EveryTrack;

namespace {

// Divisions above this would be written as an SMPTE time code.
constexpr int kMaxDivision = 0x7FFF;
constexpr int kNoteCentre = 64;
constexpr int kNoChannelSlot = kMidiChannels;  // slot 16 of the title slots

bool AllInForm(MidiF1Data& song, int form) {
    if (song.form != form) return false;
    for (int t = 0; t < song.track_count; ++t) {
        if (At(song, t).form != form) return false;
    }
    return true;
}

// The first sequence name (meta type 3) of track; "" without one.
std::string_view SequenceName(const MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (!e.IsMeta(kMetaTrackName)) continue;
        const int length = std::clamp(e.length, 0, e.DataCapacity());
        return {reinterpret_cast<const char*>(e.data), static_cast<std::size_t>(length)};
    }
    return {};
}

}  // namespace

void MidiF1Data::InsertBlankArea(int tick, int length) {
    EveryTrack(*this, [&](MidiF1TrackData& t) { t.InsertBlankArea(tick, length); });
}

void MidiF1Data::DeleteAreaNoteAndPitchBend(int from, int to) {
    EveryTrack(*this, [&](MidiF1TrackData& t) { t.DeleteAreaNoteAndPitchBend(from, to); });
}

void MidiF1Data::ChangeDuration(int percent) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    EveryTrack(*this, [percent](MidiF1TrackData& t) { t.ChangeDuration(percent); });
}

void MidiF1Data::ShortenData(long ticks) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    EveryTrack(*this, [ticks](MidiF1TrackData& t) { t.ShortenData(ticks); });
}

void MidiF1Data::ConvertExpressionToVolume() {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    EveryTrack(*this, [](MidiF1TrackData& t) { t.ConvertExpressionToVolume(); });
}

int MidiF1Data::ChangeDivision(int newDivision) {
    // Checked whole before any track changes: the tracks and the header's
    // division move together or not at all.
    if (!AllInForm(*this, kFormQ2) || newDivision < 1 || newDivision > kMaxDivision ||
        division < 1 || division > kMaxDivision) {
        ErrorMsg(kErrF1Internal);
        return kGneFailure;
    }
    const int old = division;
    EveryTrack(*this, [&](MidiF1TrackData& t) { t.ChangeDivision(old, newDivision); });
    division = newDivision;
    return kGneSuccess;
}

void MidiF1Data::InsertMetaEvent(unsigned char type, char* text) {
    if (track_count > 0) At(*this, 0).InsertMetaEvent(type, text);
}

void MidiF1Data::InsertMetaEventWithDelta(int tick, unsigned char type, char* text) {
    if (track_count > 0) At(*this, 0).InsertMetaEventWithDelta(tick, type, text);
}

void MidiF1Data::InsertEventToChanelWithDelta(int channel, MidiEvent* event, int tick) try {
    std::unique_ptr<MidiEvent> owned(event);
    if (owned == nullptr) return;
    if (channel < 0 || channel >= kMidiChannels || tick < 0 ||
        (form != kFormQ1 && form != kFormQ2)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (!HoldsOnlyChannel(track, channel)) continue;
        if (track.event_count >= kMaxEvents) {
            MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
            return;
        }
        owned->delta = 0;
        track.InsertEvent(tick, owned.release());
        return;
    }
    if (track_count >= kMaxTracks) {
        ErrorMsg(kErrF1Track);
        return;
    }
    auto track = std::make_unique<MidiF1TrackData>(form, 0);  // an end of track
    owned->delta = tick;
    track->InsertEvent(0, kInsertBefore, owned.release());
    AddTrack(track.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

int MidiF1Data::DeleteMetaEvent(unsigned char type) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return kGneFailure;
    }
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).DeleteMetaEvent(type) == kGneSuccess) return kGneSuccess;
    }
    return kGneFailure;
}

int MidiF1Data::GetTempo(long* tempo) {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetTempo(tempo) == kGneSuccess) return kGneSuccess;
    }
    return kGneFailure;
}

int MidiF1Data::GetTempo(long* tempo, int n) {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetTempo(tempo, n) == kGneSuccess) return kGneSuccess;
    }
    return kGneFailure;
}

int MidiF1Data::GetChanelVolume(int channel) {
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.GetChanel() != channel) continue;
        const int volume = track.GetChanelVolume(false);
        if (volume != kGneNone) return volume;
    }
    return kGneNone;
}

int MidiF1Data::GetChanelProgramChange(int channel) {
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.GetChanel() != channel) continue;
        const int program = track.GetChanelProgramChange(channel);
        if (program != kGneNone) return program;
    }
    return kGneNone;
}

int MidiF1Data::GetTrackNumberOfChanel(int channel) {
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetChanel() == channel) return t;
    }
    return kGneNone;
}

int MidiF1Data::GetTrackNoOfSequenceName(char* pattern) try {
    if (pattern == nullptr) return kGneNone;
    for (int t = 0; t < track_count; ++t) {
        const std::string name(SequenceName(At(*this, t)));
        if (GneCompareStringWithWildCard(pattern, name.c_str()) != 0) return t;
    }
    return kGneNone;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return kGneNone;
}

int MidiF1Data::GetMasterVolume() {
    int first = kGneNone;
    for (int t = 0; t < track_count; ++t) {
        const int volume = At(*this, t).GetMasterVolume();
        if (volume == kGneNone) continue;
        if (first == kGneNone) {
            first = volume;
        } else {
            ErrorMsg(kErrF1MasterVolume);
        }
    }
    return first;
}

int MidiF1Data::GetCenterNote(int channel) {
    for (int t = track_count - 1; t >= 0; --t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.GetChanel() == channel) return track.GetCenterNote();
    }
    return kNoteCentre;
}

void MidiF1Data::GetNoteRange(int channel, int* low, int* high) {
    int lowest = 127;
    int highest = 0;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (track.GetChanel() != channel) continue;
        int l = 127;
        int h = 0;
        track.GetNoteRange(&l, &h);
        lowest = std::min(lowest, l);
        highest = std::max(highest, h);
    }
    if (low != nullptr) *low = lowest;
    if (high != nullptr) *high = highest;
}

int MidiF1Data::ExtractTempoData(_TempoData* table) {
    if (table == nullptr) return 0;
    int stored = 0;
    for (int t = 0; t < track_count; ++t) {
        const MidiF1TrackData& track = At(*this, t);
        long tick = 0;
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            tick += e.delta;
            if (!e.IsMeta(kMetaTempo)) continue;
            // Only a tempo that has no room is a fault: 512 tempos fill the
            // table without a word.
            if (stored == kMaxTempoData) {
                ErrorMsg(kErrF1TooManyTempo);
                return stored;
            }
            table[stored++] = {static_cast<int>(tick), e.value};
        }
    }
    return stored;
}

void MidiF1Data::BackupTrackTitle(char** slots) {
    if (slots == nullptr) return;
    for (int s = 0; s < kTitleSlots; ++s) {
        if (slots[s] != nullptr) slots[s][0] = '\0';
    }
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        const int channel = track.GetChanel();
        char* slot = slots[channel >= 0 && channel < kMidiChannels ? channel : kNoChannelSlot];
        const std::string_view name = SequenceName(track);
        // A later track of the channel without a name keeps the earlier one.
        if (slot != nullptr && !name.empty()) {
            const std::size_t n = name.copy(slot, kTitleSlotSize - 1);
            slot[n] = '\0';
        }
        track.DeleteAllMetaEvent(kMetaTrackName);
    }
}

void MidiF1Data::RestoreTrackTitle(char** slots) try {
    if (slots == nullptr) return;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        const int channel = track.GetChanel();
        int s = kNoChannel;
        if (channel >= 0 && channel < kMidiChannels) {
            s = channel;
        } else if (t == 0 && channel == kNoChannel) {
            s = kNoChannelSlot;
        }
        if (s == kNoChannel || slots[s] == nullptr) continue;
        const std::size_t length = strnlen(slots[s], kTitleSlotSize - 1);
        if (length == 0 || track.event_count >= kMaxEvents) continue;
        auto title = std::make_unique<MidiEvent>(0);
        title->status = kEvMeta;
        title->number = kMetaTrackName;
        title->length = static_cast<int>(length);
        std::memcpy(title->data, slots[s], length);
        track.InsertEvent(0, kInsertBefore, title.release());
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}
