// The loudness balance of a merge: a note keeps what it sounded like when the
// track it comes from is mixed under another track's volume and expression.
#include <algorithm>
#include <cstdint>

#include "midi/track/MidiTrackData.h"

void MidiTrackData::AdjustVolumeExpressionVelocity(MidiEvent* event, int mergedVolume,
                                                   int mergedExpression, int volume,
                                                   int expression) {
    if (event == nullptr) return;
    const bool note =
        event->status == kEvNote || (event->status == kEvNoteOn && event->velocity > 0);
    if (!note) return;
    const std::int64_t divisor = std::int64_t{mergedVolume} * mergedExpression;
    if (divisor <= 0) return;  // silent merged channel: nothing to balance against
    const std::int64_t scaled = std::int64_t{event->velocity} * volume * expression / divisor;
    // A note that came out 0 would turn into a note off; it keeps 1.
    event->velocity = static_cast<int>(std::clamp<std::int64_t>(scaled, 1, kMidiMaxDataByte));
}
