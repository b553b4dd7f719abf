// Marks that the track edits leave on records for a later walk to act on.
#pragma once

#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

// Marks a record to be dropped by the next DeleteNop.
inline void MarkNone(MidiEvent* event) {
    event->status = kEvNone;
    // A none event's area means nothing; a zero length keeps the
    // record's size check quiet when a long text is dropped.
    event->length = 0;
}

}  // namespace retrograde::detail
