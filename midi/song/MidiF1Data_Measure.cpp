// Measure and beat arithmetic of a format-1 song: the time signatures live in
// the first track; the rest goes through a merged format-0 song.
#include <algorithm>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/MeasureWalk.h"

using retrograde::detail::BeatUnitOfExponent;
using retrograde::detail::MeasureWalk;
using retrograde::detail::TimeSignExponent;
using retrograde::detail::TimeSignReports;

namespace {

// Absolute tick of the last event of a track.
long long TrackLength(const MidiTrackData* track) {
    long long time = 0;
    if (!track) return 0;
    for (int k = 0; k < track->event_count; ++k) time += track->event_table[k]->delta;
    return time;
}

}  // namespace

int MidiF1Data::GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat) {
    return GetMeasureBeatTick(tick, measure, beat, tickInBeat, false);
}

int MidiF1Data::GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat,
                                   bool byDenominator) {
    *measure = *beat = *tickInBeat = 0;
    if (track_count <= 0) return 0;
    // Time signatures belong in the first track; one elsewhere is a fault of
    // the song, reported but not followed.
    for (int n = 1; n < track_count; ++n) {
        const MidiTrackData* other = tracks[n].get();
        for (int k = 0; other && k < other->event_count; ++k) {
            if (other->event_table[k]->IsMeta(kMetaTimeSignature)) ErrorMsg(kErrGeneral);
        }
    }
    MeasureWalk walk(tracks[0].get(), division,
                     TimeSignReports{[this] { ErrorMsgOnce(kErrF1TimeSign); },
                                     [this] { ErrorMsg(kErrF1TimeSignUnknown); }});
    walk.AdvanceTo(tick);
    return walk.Position(tick, byDenominator, measure, beat, tickInBeat) ? 1 : 0;
}

int MidiF1Data::GetTick(int measure, int beat, int tick) {
    long long length = 4LL * division;
    if (length <= 0) return 0;
    long long counted = 0;
    long long time = 0;
    long long in_bar = 0;
    double unit = 1.0;
    const MidiTrackData* first = track_count > 0 ? tracks[0].get() : nullptr;
    for (int k = 0; first && k < first->event_count && counted < measure; ++k) {
        const MidiEvent* e = first->event_table[k];
        time += e->delta;
        in_bar += e->delta;
        if (in_bar >= length) {
            const long long whole = std::min<long long>(in_bar / length, measure - counted);
            counted += whole;
            in_bar -= whole * length;
        }
        if (!e->IsMeta(kMetaTimeSignature)) continue;
        const double found = BeatUnitOfExponent(TimeSignExponent(e), 5);
        if (found > 0.0) {
            unit = found;
        } else {
            ErrorMsg(kErrF1TimeSignUnknown);
        }
        length = static_cast<long long>((e->value >> 8) * unit * division);
        if (length <= 0) return 0;
    }
    long long start = time - in_bar;
    if (counted < measure) start += length * (measure - counted);
    const long long result = start + static_cast<long long>(beat) * division + tick;
    return static_cast<int>(std::clamp<long long>(result, 0, 0x7FFFFFFF));
}

// The ends of sounding Notes count: a song's last note may outlast its last event.
int MidiF1Data::GetNumBeat() {
    if (division <= 0) return 0;
    long long length = 0;
    for (int n = 0; n < track_count; ++n) {
        if (tracks[n]) length = std::max<long long>(length, tracks[n]->GetTrackLen());
    }
    return static_cast<int>((length + division - 1) / division);
}

int MidiF1Data::GetNextMeasureDelta(int tick) {
    MidiF0Data merged;
    SetMidiF0Data(&merged);
    return merged.GetNextMeasureDelta(tick);
}

int MidiF1Data::GetNumMeasure() {
    MidiF0Data merged;
    SetMidiF0Data(&merged);
    merged.Q2toQ1();
    return merged.GetNumMeasure();
}

long MidiF1Data::GetTuneLength() {
    long long longest = 0;
    for (int n = 0; n < track_count; ++n) longest = std::max(longest, TrackLength(tracks[n].get()));
    return static_cast<long>(longest);
}
