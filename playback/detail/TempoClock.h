// Due times of a song's events from its tempo map: each event's time is the
// previous one's plus its delta at the current tempo, kept in microseconds
// with the fraction carried, so no rounding accumulates over a song.
#pragma once

#include <cstdint>

#include "midi/event/MusicEvent.h"  // kDefaultTempo

namespace retrograde::detail {

inline constexpr int kSlowestBpm = 10;
inline constexpr int kSlowestTempo = 6000000;    // 10 bpm in microseconds per quarter note
inline constexpr int kTinyTempoTempo = 1000000;  // 60 bpm, for tempos below 1000 microseconds

// How a tempo event's value becomes the player's tempo.
struct TempoChoice {
    int bpm = 0;        // beats per minute, as the player shows and checks it
    int micros = 0;     // microseconds per quarter note used for timing
    bool tiny = false;  // below 1000 microseconds: 60 bpm is used instead
    bool slow = false;  // 9 bpm or slower: 10 bpm is used instead
};
TempoChoice ChooseTempo(int micros_per_quarter);

class TempoClock {
public:
    // division ticks per quarter note, played at rate_percent of the tempo.
    TempoClock(int division, int rate_percent);

    bool Valid() const { return ticks_per_unit_ > 0; }  // false for division or rate 0
    void Start(std::int64_t micros) {
        due_ = micros;
        remainder_ = 0;
    }
    void SetTempo(int micros_per_quarter) { tempo_ = micros_per_quarter; }
    int Tempo() const { return tempo_; }
    // The next event comes delta ticks after the current one.
    void Advance(int delta);
    std::int64_t Due() const { return due_; }

private:
    std::int64_t ticks_per_unit_;  // division x rate: the denominator of every step
    std::int64_t due_ = 0;         // microseconds
    std::int64_t remainder_ = 0;   // of due_, in 1/ticks_per_unit_ microseconds
    int tempo_ = kDefaultTempo;    // until a tempo event
};

}  // namespace retrograde::detail
