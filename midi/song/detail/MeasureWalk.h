// The walk behind the measure and beat positions of both song classes: it
// follows the time signatures of one track and tells where a tick lies.
#pragma once

#include <functional>

#include "midi/track/MidiTrackData.h"

namespace retrograde::detail {

// How a song reports a time signature that is not at a measure start, and one
// whose denominator exponent is not 1 to 4.
struct TimeSignReports {
    std::function<void()> misplaced;
    std::function<void()> unknown;
};

class MeasureWalk {
public:
    MeasureWalk(const MidiTrackData* track, int division, TimeSignReports reports);

    // Takes in the first event and every event that lies before tick. The
    // ticks of successive calls must not decrease.
    void AdvanceTo(long long tick);
    // The position of tick from the events taken in so far: measure, beat and
    // tick within the beat, counted from 0. False (all 0) when the division or
    // a measure or beat length is not positive.
    bool Position(long long tick, bool byDenominator, int* measure, int* beat,
                  int* tickInBeat) const;

private:
    void Take(const MidiEvent* event);

    const MidiTrackData* track_;
    int division_;
    TimeSignReports reports_;
    int next_ = 0;           // the next event to take in
    long long time_ = 0;     // absolute time of the last event taken in
    long long in_bar_ = 0;   // ticks from the start of its measure
    long long measure_ = 0;  // measures completed
    double quarters_ = 4.0;  // quarter notes per measure
    double unit_ = 1.0;      // quarter notes per beat
    bool valid_ = true;
};

// Quarter notes of the beat unit of a time-signature exponent (1 = half note
// ... 5 = thirty-second), or 0 for an exponent outside 1 to maxExponent.
double BeatUnitOfExponent(int exponent, int maxExponent);
// The denominator exponent of a time signature event: its second data byte, or
// taken from the value when the event carries no data.
int TimeSignExponent(const MidiEvent* event);

}  // namespace retrograde::detail
