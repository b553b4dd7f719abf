// The walk behind the measure and beat positions of both song classes.
#include "midi/song/detail/MeasureWalk.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace retrograde::detail {

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

}  // namespace retrograde::detail
