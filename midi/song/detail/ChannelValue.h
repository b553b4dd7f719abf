// New controller records for the song's tracks, their bytes as the reader
// makes them; rewrites of values are SetChannelValue (EventRecords.h).
#pragma once

#include "midi/event/MidiEvent.h"
#include "midi/track/detail/EventRecords.h"  // SetChannelValue

namespace retrograde::detail {

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
