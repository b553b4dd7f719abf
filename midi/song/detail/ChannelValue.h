// New controller records for the song's tracks, their bytes as the reader
// makes them; rewrites of values are SetChannelValue (EventRecords.h).
#pragma once

#include "midi/event/MidiEvent.h"
#include "midi/track/detail/EventRecords.h"  // SetChannelValue

namespace retrograde::detail {

inline MidiEvent* NewControl(int channel, int number, int value) {
    return ChannelRecord(kEvControl, channel, number, value).release();
}

}  // namespace retrograde::detail
