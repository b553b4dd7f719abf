// Records for the songs the benchmarks build.
#pragma once

#include "midi/event/MidiEvent.h"

// A new record of status on channel, delta ticks after the one before.
inline MidiEvent* BenchEvent(int status, int channel, int delta) {
    auto* e = new MidiEvent(delta);
    e->status = status;
    e->channel = channel;
    return e;
}
