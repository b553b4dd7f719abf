// Measure, beat and tempo arithmetic of a format-0 song: positions under the
// song's time signatures, measure counts and boundaries, the start tempo and
// the tempo and marker edits.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/detail/MeasureWalk.h"

using retrograde::detail::MeasureWalk;
using retrograde::detail::TimeSignReports;

namespace {

constexpr int kDefaultMeasureTick = 384;  // a measure when the song says nothing
// What SetStartTempo gives a song whose first tempo comes after its first note.
constexpr unsigned long kLateSongStartTempo = 600000;  // 100 beats per minute
constexpr std::string_view kStartMarker = "START";
constexpr std::string_view kStopMarker = "STOP";

bool IsTempo(const MidiEvent* e) {
    return e->IsMeta(kMetaTempo);
}
bool IsTimeSign(const MidiEvent* e) {
    return e->IsMeta(kMetaTimeSignature);
}

// Measure length in ticks after a time signature event.
long long MeasureLengthOf(const MidiEvent* e, int division) {
    return static_cast<long long>(GneGetTimeSignValue(e->value) * division);
}

bool IsMarkerText(const MidiEvent* e, std::string_view text) {
    if (e->status != kEvMeta || (e->number != kMetaMarker && e->number != kMetaText)) {
        return false;
    }
    if (!e->data || e->length < 0 || e->length > e->DataCapacity()) return false;
    return std::string_view(reinterpret_cast<const char*>(e->data),
                            static_cast<std::size_t>(e->length)) == text;
}

int ClampTick(long long tick) {
    return static_cast<int>(std::clamp<long long>(tick, 0, 0x7FFFFFFF));
}

}  // namespace

int MidiF0Data::GetTimeSign(int* value) {
    if (fixed_time_sign != 0) {
        *value = fixed_time_sign;
        return 1;
    }
    if (!track) return 0;
    return track->GetTimeSign(value);
}

int MidiF0Data::GetOneMeasureTick() {
    int value = 0;
    if (!GetTimeSign(&value) || value == 0 || division == 0) return kDefaultMeasureTick;
    const int numerator = value / 256;
    const int denominator = value % 256;
    if (denominator == 0) return 0;  // malformed: callers take nothing away
    return static_cast<int>(numerator * division * 4.0 / denominator);
}

int MidiF0Data::GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat,
                                   bool byDenominator) {
    *measure = *beat = *tickInBeat = 0;
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    MeasureWalk walk(track.get(), division,
                     TimeSignReports{[this] { ErrorMsgOnce(kErrF0TimeSign); },
                                     [this] { ErrorMsg(kErrGeneral); }});
    walk.AdvanceTo(tick);
    return walk.Position(tick, byDenominator, measure, beat, tickInBeat) ? 1 : 0;
}

int MidiF0Data::GetEventPositions(std::vector<MidiMeasurePosition>* positions, bool byDenominator) {
    positions->clear();
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    MeasureWalk walk(track.get(), division,
                     TimeSignReports{[this] { ErrorMsgOnce(kErrF0TimeSign); },
                                     [this] { ErrorMsg(kErrGeneral); }});
    positions->reserve(static_cast<std::size_t>(track->event_count));
    long long time = 0;
    bool valid = true;
    for (int k = 0; k < track->event_count; ++k) {
        time += track->event_table[k]->delta;
        MidiMeasurePosition p;
        p.tick = ClampTick(time);
        walk.AdvanceTo(time);
        valid = walk.Position(time, byDenominator, &p.measure, &p.beat, &p.tick_in_beat) && valid;
        positions->push_back(p);
    }
    return valid ? 1 : 0;
}

int MidiF0Data::GetTickFromMeasure(int measure) {
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    long long length = 4LL * division;
    if (length <= 0) return 0;
    long long counted = 0;
    long long time = 0;
    long long in_bar = 0;
    for (int k = 0; k < track->event_count && counted < measure; ++k) {
        const MidiEvent* e = track->event_table[k];
        time += e->delta;
        in_bar += e->delta;
        if (in_bar >= length) {
            const long long whole = std::min<long long>(in_bar / length, measure - counted);
            counted += whole;
            in_bar -= whole * length;
        }
        if (IsTimeSign(e)) {
            length = MeasureLengthOf(e, division);
            if (length <= 0) return 0;
        }
    }
    const long long start = time - in_bar;
    if (start < 0) {
        ErrorMsg(kErrGeneral);
        return 0;
    }
    if (counted >= measure) return ClampTick(start);
    return ClampTick(start + length * (measure - counted));
}

int MidiF0Data::GetNextMeasureDelta(int tick) {
    if (form == kFormQ2 && track) {
        MidiF0Data copy(this);
        copy.Q2toQ1();
        return copy.GetNextMeasureDelta(tick);
    }
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    long long length = 4LL * division;
    if (length <= 0) return 0;
    long long time = 0;
    long long in_bar = 0;
    for (int k = 0; k + 1 < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (time + e->delta >= tick) break;
        time += e->delta;
        in_bar = (in_bar + e->delta) % length;
        if (IsTimeSign(e)) {
            length = MeasureLengthOf(e, division);
            if (length <= 0) return 0;
        }
    }
    long long start = time - in_bar;
    if (start < tick) start += (tick - start + length - 1) / length * length;
    return ClampTick(start);
}

int MidiF0Data::GetNumMeasure() {
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    long long length = 4LL * division;
    if (length <= 0) return 0;
    long long since = 0;  // ticks since the last time signature
    long long count = 0;
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        since += e->delta;
        if (!IsTimeSign(e)) continue;
        count += (since + length - 1) / length;
        length = MeasureLengthOf(e, division);
        if (length <= 0) return 0;
        since = 0;
    }
    count += (since + length - 1) / length;
    return static_cast<int>(count);
}

long MidiF0Data::GetClockTempo() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return kDefaultTempo;
    }
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (IsTempo(e)) return e->value;
    }
    // A song without a tempo plays at the Standard MIDI File default.
    return kDefaultTempo;
}

long MidiF0Data::GetSongDuration() {
    if (!track) return 0;
    return track->GetTrackDuration();
}

void MidiF0Data::SetStartTempo() {
    if (form != kFormQ2) ErrorMsg(kErrF0Internal);
    if (!track) return;
    int latest_note = -1;
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (IsTempo(e)) break;
        if (latest_note >= 0 && e->delta != 0) {
            track->InsertTempo(latest_note, kLateSongStartTempo);
            break;
        }
        if (e->status == kEvNote) latest_note = k;
    }
    MoveTempoBeforeNote();
}

void MidiF0Data::MoveTempoBeforeNote() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    MidiTrackData& t = *track;
    bool marked = false;
    for (int i = 0; i < t.event_count; ++i) {
        if (!IsTempo(t.event_table[i])) continue;
        int j = i;
        while (j > 0 && t.event_table[j]->delta == 0) --j;
        // To the front of its instant, the others keeping their order: a
        // program change must stay ahead of the notes it sets up.
        for (int k = i; k > j; --k) t.SwapEventExceptDelta(k - 1, k);
        // Two tempos at one instant: the later one wins.
        if (j != i && IsTempo(t.event_table[j + 1])) {
            t.event_table[j + 1]->status = kEvNone;
            marked = true;
        }
        i = j;
    }
    // The losing tempos must not reach the writer, which has no bytes for
    // them; their deltas are 0, so no time moves.
    if (marked) t.DeleteNop();
}

void MidiF0Data::DeleteUnnecessaryTempo() {
    if (!track || track->event_count == 0) return;
    const int position = std::min(GetPostionOfFirstNote(), track->event_count - 1);
    int k = position;
    while (k >= 0 && !IsTempo(track->event_table[k])) --k;
    DeleteTempo(0, k - 1);
}

void MidiF0Data::DeleteTempo(int first, int last) {
    if (!track) return;
    int i = std::max(first, 0);
    while (i <= last && i < track->event_count) {
        if (IsTempo(track->event_table[i])) {
            track->DeleteEvent(i);
            --last;
        } else {
            ++i;
        }
    }
}

int MidiF0Data::BeginStartMarker() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    MidiTrackData& t = *track;
    int i = 0;
    while (i < t.event_count && !IsMarkerText(t.event_table[i], kStartMarker)) ++i;
    if (i == t.event_count) return 0;
    t.event_table[i]->status = kEvNone;
    int j = i;
    while (j > 0 && t.event_table[j]->delta == 0) --j;
    t.SwapEventExceptDelta(i, j);
    // Everything before the marker's instant moves to time 0; its notes go,
    // the settings (controllers, programs, tempo ...) stay.
    for (int k = 0; k <= j; ++k) {
        MidiEvent* e = t.event_table[k];
        e->delta = 0;
        if (e->status == kEvNote || e->status == kEvNoteOn || e->status == kEvNoteOff) {
            e->status = kEvNone;
        }
    }
    t.DeleteNop();
    return 1;
}

int MidiF0Data::EndStopMarker() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    MidiTrackData& t = *track;
    int i = 0;
    while (i < t.event_count && !IsMarkerText(t.event_table[i], kStopMarker)) ++i;
    if (i == t.event_count) return 0;
    MidiEvent* marker = t.event_table[i];
    marker->number = kMetaEndOfTrack;
    marker->length = 0;
    // The end of track goes behind the last event of the marker's instant, so
    // the events at that instant stay and everything later goes.
    int k = i;
    while (k + 1 < t.event_count && t.event_table[k + 1]->delta == 0) ++k;
    t.SwapEventExceptDelta(i, k);
    for (int last = t.event_count - 1; last > k; --last) t.DeleteEvent(last);
    return 1;
}

void MidiF0Data::ChangeMarker(const char* from, const char* to) {
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    const std::string_view old_text(from);
    const std::string_view new_text(to);
    for (int k = 0; k < track->event_count; ++k) {
        MidiEvent* e = track->event_table[k];
        if (!e->IsMeta(kMetaMarker) || !IsMarkerText(e, old_text)) continue;
        // The data length is the number of text bytes, as the writer and the
        // marker searches count it; a zero byte follows as the reader leaves it.
        const int length = static_cast<int>(new_text.size());
        if (length + 1 > e->DataCapacity()) e->ResizeData(length + 1);
        std::memcpy(e->data, new_text.data(), new_text.size());
        e->data[length] = 0;
        e->length = length;
    }
}
