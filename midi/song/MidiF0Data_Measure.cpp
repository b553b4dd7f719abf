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

namespace retrograde_detail {

namespace {

bool IsTimeSign(const MidiEvent* e) {
    return e->IsMeta(kMetaTimeSignature);
}

}  // namespace

double BeatUnitOfExponent(int exponent, int maxExponent) {
    if (exponent < 1 || exponent > maxExponent) return 0.0;
    return 4.0 / static_cast<double>(1 << exponent);
}

int TimeSignExponent(const MidiEvent* event) {
    if (event->length >= 2 && event->data) return event->data[1];
    int exponent = 0;
    for (int denominator = event->value & 0xFF; denominator > 1; denominator >>= 1) ++exponent;
    return exponent;
}

MeasureWalk::MeasureWalk(const MidiTrackData* track, int division, TimeSignReports reports)
    : track_(track), division_(division), reports_(std::move(reports)) {
    valid_ = division_ > 0;
}

void MeasureWalk::Take(const MidiEvent* e) {
    time_ += e->delta;
    in_bar_ += e->delta;
    const auto length = static_cast<long long>(division_ * quarters_);
    if (length > 0) {
        measure_ += in_bar_ / length;
        in_bar_ %= length;
    } else {
        valid_ = false;
    }
    if (!IsTimeSign(e)) return;
    if (in_bar_ != 0 && reports_.misplaced) reports_.misplaced();
    const double unit = BeatUnitOfExponent(TimeSignExponent(e), 4);
    if (unit > 0.0) {
        unit_ = unit;
    } else if (reports_.unknown) {
        reports_.unknown();
    }
    quarters_ = (e->value >> 8) * unit_;
}

void MeasureWalk::AdvanceTo(long long tick) {
    if (!track_) return;
    const int count = track_->event_count;
    while (next_ < count) {
        const MidiEvent* e = track_->event_table[next_];
        if (next_ > 0 && time_ + e->delta >= tick) break;
        Take(e);
        ++next_;
    }
}

bool MeasureWalk::Position(long long tick, bool byDenominator, int* measure, int* beat,
                           int* tickInBeat) const {
    *measure = *beat = *tickInBeat = 0;
    if (!valid_) return false;
    long long bar = measure_;
    const long long r = tick - time_ + in_bar_;  // ticks from the start of the measure
    long long b = 0;
    long long t = 0;
    if (byDenominator) {
        const auto per_measure = static_cast<long long>(quarters_ / unit_);
        const auto length = static_cast<long long>(division_ * unit_);
        if (per_measure <= 0 || length <= 0) return false;
        b = r / length;
        t = r % length;
        if (b >= per_measure) {
            bar += b / per_measure;
            b %= per_measure;
        }
    } else {
        b = r / division_;
        t = r % division_;
        // A beat count at or past the measure's quarter notes moves on by
        // whole measures; a measure shorter than a quarter note counts as one.
        if (static_cast<double>(b) >= quarters_) {
            const auto step = std::max<long long>(1, static_cast<long long>(quarters_));
            const auto times =
                static_cast<long long>(std::floor((static_cast<double>(b) - quarters_) / step)) + 1;
            b -= times * step;
            bar += times;
        }
    }
    *measure = static_cast<int>(bar);
    *beat = static_cast<int>(b);
    *tickInBeat = static_cast<int>(t);
    return true;
}

}  // namespace retrograde_detail

using retrograde_detail::MeasureWalk;
using retrograde_detail::TimeSignReports;

namespace {

constexpr int kDefaultMeasureTick = 384;       // a measure when the song says nothing
constexpr unsigned long kStartTempo = 600000;  // 100 beats per minute
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
    MeasureWalk walk(
        track.get(), division,
        TimeSignReports{[this] { ErrorMsgOnce(kErrF0TimeSign); }, [this] { ErrorMsg(0); }});
    walk.AdvanceTo(tick);
    return walk.Position(tick, byDenominator, measure, beat, tickInBeat) ? 1 : 0;
}

int MidiF0Data::GetEventPositions(std::vector<MidiMeasurePosition>* positions, bool byDenominator) {
    positions->clear();
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    MeasureWalk walk(
        track.get(), division,
        TimeSignReports{[this] { ErrorMsgOnce(kErrF0TimeSign); }, [this] { ErrorMsg(0); }});
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
        ErrorMsg(0);
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
            track->InsertTempo(latest_note, kStartTempo);
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
        t.SwapEventExceptDelta(j, i);
        // Two tempos at one instant: the later one wins.
        if (j != i && IsTempo(t.event_table[i])) {
            t.event_table[i]->status = kEvNone;
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
