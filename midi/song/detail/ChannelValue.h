// Rewrites of a channel message's value that keep the record's copy of the
// message bytes (its data area, as the reader fills it) in step.
#pragma once

#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

// A control change's or program change's value, a pitch bend's 14 bits.
inline void SetChannelValue(MidiEvent& e, int value) {
    if (e.status == kEvPitchBend) {
        e.SetPitchBendValue(value);
        e.data[1] = static_cast<unsigned char>(e.note);
        e.data[2] = static_cast<unsigned char>(e.value);
    } else {
        e.value = value;
        if (e.status == kEvProgram) e.data[1] = static_cast<unsigned char>(value);
        if (e.status == kEvControl) e.data[2] = static_cast<unsigned char>(value);
    }
}

inline MidiEvent* NewControl(int channel, int number, int value) {
    auto* e = new MidiEvent(0);
    e->status = kEvControl;
    e->channel = channel;
    e->number = number;
    e->value = value;
    e->data[0] = static_cast<unsigned char>(kEvControl | channel);
    e->data[1] = static_cast<unsigned char>(number);
    e->data[2] = static_cast<unsigned char>(value);
    e->length = 3;
    return e;
}

}  // namespace retrograde::detail
