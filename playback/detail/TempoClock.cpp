// Tempo choice and due-time arithmetic of the sequencer.
#include "playback/detail/TempoClock.h"

#include "General/GeneralMac.h"

namespace retrograde::detail {

TempoChoice ChooseTempo(int micros_per_quarter) {
    TempoChoice choice;
    if (micros_per_quarter / 1000 <= 0) {
        choice.tiny = true;
        choice.bpm = 60;
        choice.micros = kTinyTempoTempo;
        return choice;
    }
    choice.bpm = static_cast<int>(GneClockToBpm(micros_per_quarter));
    if (choice.bpm < kSlowestBpm) {
        choice.slow = true;
        choice.bpm = kSlowestBpm;
        choice.micros = kSlowestTempo;
        return choice;
    }
    // Timing follows the event's own value; the whole beats per minute would
    // shift a tempo such as 466,000 (128.76 bpm) by more than half a percent.
    choice.micros = micros_per_quarter;
    return choice;
}

TempoClock::TempoClock(int division, int rate_percent)
    : ticks_per_unit_(division > 0 && rate_percent > 0
                          ? static_cast<std::int64_t>(division) * rate_percent
                          : 0) {}

void TempoClock::Advance(int delta) {
    if (!Valid() || delta <= 0) return;
    // delta < 2^31, tempo < 2^23, 100 < 2^7: the product stays below 2^61.
    const std::int64_t step = static_cast<std::int64_t>(delta) * tempo_ * 100 + remainder_;
    due_ += step / ticks_per_unit_;
    remainder_ = step % ticks_per_unit_;
}

}  // namespace retrograde::detail
