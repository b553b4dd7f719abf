// Time edits, checks and text replacements of a format-1 song: most hand
// each track to the track-level operation of the same name; the start and
// end cuts, the area extraction with its bar-line splits, the controller
// scaling and the encoded size do their own work.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"
#include "midi/track/detail/EventRecords.h"

using retrograde::detail::DrumChannelTable;

using retrograde::detail::At;
using retrograde::detail::EveryTrack;

namespace {

// Bar-line splits add at most two time signatures and one restoring the
// running signature at each cut.
constexpr int kEventsPerCut = 3;
constexpr int kMaxValue = 127;

MidiF1TrackData* FirstMasterTrack(MidiF1Data& song) {
    for (int t = 0; t < song.track_count; ++t) {
        if (At(song, t).IsMasterTrack()) return &At(song, t);
    }
    return nullptr;
}

bool IsNoteEvent(const MidiEvent& e) {
    return e.status == kEvNote || e.status == kEvNoteOn || e.status == kEvNoteOff;
}

bool ValidIndex(MidiF1Data& song, int track) {
    if (track >= 0 && track < song.track_count) return true;
    song.ErrorMsg(kErrF1Track);
    return false;
}

// The first answer of the tracks that is not -1; otherwise none (-1 when a
// track was asked, empty when the song has none).
long FirstMetaTick(MidiF1Data& song, int type, char* text, long empty) {
    if (song.track_count == 0) return empty;
    for (int t = 0; t < song.track_count; ++t) {
        const long tick = At(song, t).GetDeltaOfMetaEvent(type, text);
        if (tick != -1) return tick;
    }
    return -1;
}

// Every event moves ticks earlier; notes before the new start go, the other
// events before it (set-up, names, tempos) gather at the start in their
// order. One pass and one removal: linear in the events.
// In Q1 a note off at or after the new start whose note on went goes too.
void CutBegin(MidiTrackData& track, int ticks) {
    if (ticks <= 0 || track.event_count == 0) return;
    std::array<int, kMidiChannels * 128> cut_on{};  // note ons removed, by channel and key
    std::int64_t tick = 0, previous = 0;
    bool removed = false;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        tick += e.delta;
        const std::int64_t moved = std::max<std::int64_t>(tick - ticks, 0);
        const bool keyed = e.channel < kMidiChannels && e.note >= 0 && e.note <= kMaxValue;
        int* count = keyed ? &cut_on[static_cast<std::size_t>(e.channel * 128 + e.note)] : nullptr;
        const bool off = e.status == kEvNoteOff || (e.status == kEvNoteOn && e.velocity == 0);
        if (tick < ticks && IsNoteEvent(e)) {
            if (count != nullptr && e.status == kEvNoteOn && !off) ++*count;
            if (count != nullptr && off && *count > 0) --*count;
            e.status = kEvNone;
            removed = true;
        } else if (off && count != nullptr && *count > 0) {
            --*count;
            e.status = kEvNone;
            removed = true;
        }
        e.delta = static_cast<int>(moved - previous);
        previous = moved;
    }
    if (removed) track.DeleteNop();
}

// Q1: the note offs of the notes sounding after the first `count` events.
std::vector<std::pair<int, int>> SoundingNotes(const MidiTrackData& track, int count) {
    std::array<int, kMidiChannels * 128> on{};
    for (int i = 0; i < count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.channel >= kMidiChannels || e.note < 0 || e.note > kMaxValue) continue;
        int& n = on[static_cast<std::size_t>(e.channel * 128 + e.note)];
        if (e.status == kEvNoteOn && e.velocity > 0) ++n;
        if ((e.status == kEvNoteOff || (e.status == kEvNoteOn && e.velocity == 0)) && n > 0) --n;
    }
    std::vector<std::pair<int, int>> offs;
    for (std::size_t k = 0; k < on.size(); ++k) {
        for (int n = 0; n < on[k]; ++n) offs.emplace_back(static_cast<int>(k / 128), k % 128);
    }
    return offs;
}

// The track ends at its first event at or after ticks (exact: at ticks, that
// event going too). Notes starting right at the end go (they would sound
// for no time); notes sounding there end there.
void CutEnd(MidiTrackData& track, int ticks, bool exact) try {
    if (ticks <= 0) {
        track.DeleteAllEvent();
        track.AddEndOfTrack();
        return;
    }
    std::int64_t end = 0;
    int last = 0;
    for (; last < track.event_count; ++last) {
        end += track.event_table[last]->delta;
        if (end >= ticks) break;
    }
    if (exact) {
        if (last >= track.event_count) return;  // the track ends before
        end = ticks;
        --last;
    } else if (last >= track.event_count - 1) {
        return;  // the track ends before
    }
    std::vector<std::pair<int, int>> offs;
    std::int64_t tick = 0;
    for (int i = 0; i <= last; ++i) {
        MidiEvent& e = *track.event_table[i];
        tick += e.delta;
        const bool starts = e.status == kEvNote || (e.status == kEvNoteOn && e.velocity > 0);
        if (tick == end && (starts || e.IsEndOfTrack())) e.status = kEvNone;
        if (e.status == kEvNote && tick + e.duration > end) {
            e.duration = static_cast<int>(end - tick);
        }
    }
    if (track.form == kFormQ1) offs = SoundingNotes(track, last + 1);
    if (last + 1 + static_cast<int>(offs.size()) + 1 > kMaxEvents) {
        track.ErrorMsg(kErrTrackTooMuchData);  // the cut note offs would not fit: unchanged
        return;
    }
    for (int i = last + 1; i < track.event_count; ++i) track.event_table[i]->status = kEvNone;
    track.DeleteNop();
    std::int64_t kept = 0;
    for (int i = 0; i < track.event_count; ++i) kept += track.event_table[i]->delta;
    int delta = static_cast<int>(end - kept);
    for (const auto& [channel, note] : offs) {
        auto off = std::make_unique<MidiEvent>(delta);
        off->SetNoteOffEvent(channel, note);
        track.AddEvent(off.release());
        delta = 0;
    }
    track.AddEndOfTrack(delta);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// Whether areas are ascending, disjoint, non-empty and non-negative.
bool ValidAreas(int (*areas)[2], int count) {
    if (areas == nullptr || count <= 0 || count > MidiF1Data::kMaxAreas) return false;
    for (int k = 0; k < count; ++k) {
        if (areas[k][0] < 0 || areas[k][1] <= areas[k][0]) return false;
        if (k > 0 && areas[k][0] < areas[k - 1][1]) return false;
    }
    return true;
}

}  // namespace

bool MidiF1Data::AdjustNoteRange(int low, int high) {
    bool outside = false;
    EveryTrack(*this,
               [&](MidiF1TrackData& t) { outside |= t.AdjustNoteRange(-1, low, high, 1) == 1; });
    return outside;
}

void MidiF1Data::ModifyEventTime(int grid) {
    if (grid <= 0) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    EveryTrack(*this, [&](MidiF1TrackData& t) {
        if (t.GetChanel() == kNoChannel || drums.IsDrumTrack(t)) return;
        t.ModifyDeltaTime(grid);
        t.ModifyDuration(grid);
    });
}

void MidiF1Data::ModifyEventTime(int from, int to, int grid) {
    ModifyEventTime(from, to, grid, true);
}

void MidiF1Data::ModifyEventTime(int from, int to, int grid, bool skipDrums) {
    if (grid <= 0) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    EveryTrack(*this, [&](MidiF1TrackData& t) {
        if (t.GetChanel() == kNoChannel || (skipDrums && drums.IsDrumTrack(t))) return;
        t.ModifyDeltaTime(from, to, grid);
        t.ModifyDuration(from, to, grid);
    });
}

void MidiF1Data::ShortenNoteAfterSpecifiedDelta(long tick) {
    EveryTrack(*this, [tick](MidiF1TrackData& t) { t.ShortenNoteAfterSpecifiedDelta(tick); });
}

void MidiF1Data::DeleteEventAfterSpecifiedDelta(long tick, int status) {
    EveryTrack(*this, [=](MidiF1TrackData& t) { t.DeleteEventAfterSpecifiedDelta(tick, status); });
}

void MidiF1Data::ReplaceSysExF0Data(unsigned char unused, char* pattern, unsigned char number,
                                    char* replacement) {
    EveryTrack(*this, [&](MidiF1TrackData& t) {
        t.ReplaceSysExF0Data(unused, pattern, number, replacement);
    });
}

void MidiF1Data::ReplaceMetaEventData(unsigned char type, char* text, unsigned char newType,
                                      char* bytes) {
    EveryTrack(*this,
               [&](MidiF1TrackData& t) { t.ReplaceMetaEventData(type, text, newType, bytes); });
}

void MidiF1Data::ReplaceMetaEvent(unsigned char type, unsigned char newType) {
    EveryTrack(*this, [=](MidiF1TrackData& t) { t.ReplaceMetaEvent(type, newType); });
}

void MidiF1Data::DbcsToSbcs(bool letters, bool kana, int status, int number) {
    EveryTrack(*this, [=](MidiF1TrackData& t) { t.DbcsToSbcs(letters, kana, status, number); });
}

void MidiF1Data::SetFadeOut(int length) {
    if (length <= 0) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const long end = std::min<long>(GetTuneLength(), INT_MAX);
    // A fade longer than the tune starts at its beginning.
    const int from = static_cast<int>(std::max<long>(end - length, 0));
    EveryTrack(*this, [&](MidiF1TrackData& t) { t.SetFadeOut(from, static_cast<int>(end)); });
}

double MidiF1Data::DeltaTimeToSecond(int from, int to) {
    return track_count > 0 ? At(*this, 0).DeltaTimeToSecond(from, to, division) : 0.0;
}

bool MidiF1Data::CheckEventTime(int from, int to, int grid, bool skipDrums) {
    return CheckEventTime(from, to, -1, grid, skipDrums);
}

// channel -1 (from the four-argument form) asks every track.
bool MidiF1Data::CheckEventTime(int from, int to, int channel, int grid, bool skipDrums) {
    if (grid <= 0) {
        ErrorMsg(kErrF1Internal);
        return false;
    }
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = At(*this, t);
        if (channel != -1 && track.GetChanel() != channel) continue;
        if (skipDrums && drums.IsDrumTrack(track)) continue;
        if (track.CheckEventTime(from, to, grid) == 0) return false;
    }
    return true;
}

bool MidiF1Data::CheckOrderOfBankSelectAndProgramChange() {
    int track = 0;
    return CheckOrderOfBankSelectAndProgramChange(&track);
}

bool MidiF1Data::CheckOrderOfBankSelectAndProgramChange(int* track) {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return false;
    }
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& each = At(*this, t);
        if (each.IsMasterTrack() || each.CheckOrderOfBankSelectAndProgramChange() != 0) continue;
        if (track != nullptr) *track = t;
        return false;
    }
    return true;
}

long MidiF1Data::GetLastNotePos() {
    long last = 0;
    EveryTrack(*this, [&](MidiF1TrackData& t) { last = std::max(last, t.GetLastNotePos()); });
    return last;
}

long MidiF1Data::GetEndMarkerDelta(char* text) {
    return FirstMetaTick(*this, kMetaMarker, text, -1);
}

long MidiF1Data::GetMarkerLocation(char* text) {
    return FirstMetaTick(*this, kMetaMarker, text, 0);
}

long MidiF1Data::GetEndCuePointDelta(char* text) {
    return FirstMetaTick(*this, kMetaCuePoint, text, 0);
}

void MidiF1Data::ReplaceSongTitle(char* title) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    if (master != nullptr && title != nullptr) master->ReplaceMetaEvent(kMetaTrackName, title);
}

bool MidiF1Data::CheckMetaEventLocation(int t, int type) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    return master == nullptr || master->CheckMetaEventLocation(t, type) != 0;
}

bool MidiF1Data::CheckMetaEventLocation(int t, int type, int value) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    return master == nullptr || master->CheckMetaEventLocation(t, type, value) != 0;
}

bool MidiF1Data::CheckAreaTempoRange(int from, int to, int minBpm, int maxBpm) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    return master == nullptr || master->CheckAreaTempoRange(from, to, minBpm, maxBpm) != 0;
}

bool MidiF1Data::CheckTempoRange(int minBpm, int maxBpm) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    return master == nullptr || master->CheckTempoRange(minBpm, maxBpm) != 0;
}

double MidiF1Data::GetDurationTime(int from, int to) {
    MidiF1TrackData* master = FirstMasterTrack(*this);
    return master == nullptr ? 0.0 : master->GetDurationTime(from, to, division);
}

void MidiF1Data::ExtractArea(int (*areas)[2], int count) {
    if (form != kFormQ1 || !ValidAreas(areas, count)) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    // Only the first master track gets the bar lines: the others follow it.
    if (MidiF1TrackData* master = FirstMasterTrack(*this)) {
        if (master->event_count + kEventsPerCut * 2 * count > kMaxEvents) {
            master->ErrorMsg(kErrTrackTooMuchData);
            return;
        }
        for (int k = 0; k < count; ++k) {
            if (areas[k][0] != 0) master->DivideMeasureByTimeSign(division, areas[k][0]);
            if (areas[k][1] < master->GetTrackLen()) {
                master->DivideMeasureByTimeSign(division, areas[k][1]);
            }
        }
    }
    EveryTrack(*this, [&](MidiF1TrackData& t) { t.ExtractArea(areas, count); });
}

void MidiF1Data::SetBegin(int track, int ticks) {
    if (!ValidIndex(*this, track)) return;
    if (At(*this, track).GetChanel() != track) ErrorMsg(kErrGeneral);
    CutBegin(At(*this, track), ticks);
}

void MidiF1Data::SetDuration(int track, int ticks) {
    if (!ValidIndex(*this, track)) return;
    if (At(*this, track).GetChanel() != track) ErrorMsg(kErrGeneral);
    CutEnd(At(*this, track), ticks, false);
}

void MidiF1Data::SetBegin(int ticks) {
    EveryTrack(*this, [ticks](MidiF1TrackData& t) { CutBegin(t, ticks); });
}

void MidiF1Data::SetDuration(int ticks) {
    EveryTrack(*this, [ticks](MidiF1TrackData& t) { CutEnd(t, ticks, true); });
}

void MidiF1Data::QuantizeData(int track, int divisor) {
    if (!ValidIndex(*this, track)) return;
    if (divisor <= 0 || divisor > division) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    At(*this, track).QuantizeData(divisor, division);
}

// A controller set only to 0 is taken as never set: every change of it
// becomes 127, the controller's full value.
void MidiF1Data::SetControlChangeRelativelyMaxValue(int controller) {
    if (controller < 0 || controller > kMaxValue) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    int most = 0;
    EveryTrack(*this, [&](MidiF1TrackData& t) {
        most = std::max(most, t.GetControlChangeMaxValue(controller));
    });
    EveryTrack(*this, [&](MidiF1TrackData& t) {
        for (int i = 0; i < t.event_count; ++i) {
            MidiEvent& e = *t.event_table[i];
            if (e.status != kEvControl || e.number != controller) continue;
            const int value =
                most == 0 ? kMaxValue : std::min(e.value * kMaxValue / most, kMaxValue);
            retrograde::detail::SetChannelValue(e, std::max(value, 0));
        }
    });
}

bool MidiF1Data::IsChanelUsed(int channel) {
    for (int t = 0; t < track_count; ++t) {
        const MidiF1TrackData& track = At(*this, t);
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            if (e.status == kEvNote && e.channel == channel) return true;
        }
    }
    return false;
}

// Encoded from a deep copy: the writer's round trip would rename device
// names, drop unknown meta events and pair the notes again in the song.
unsigned MidiF1Data::GetFileSize() try {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return 0;
    }
    auto copy = std::make_unique<MidiF1Data>(this);
    copy->Q2toQ1();
    if (copy->Q1toRaw() != 1 || copy->size < 0) return 0;
    return static_cast<unsigned>(copy->size);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

char* MidiF1Data::GetLocationString(int time, char* text) {
    if (text == nullptr) return text;
    int measure = 0, beat = 0, tick = 0;
    GetMeasureBeatTick(time, &measure, &beat, &tick, true);
    GneGetTickText(text, measure, beat, tick);
    return text;
}
