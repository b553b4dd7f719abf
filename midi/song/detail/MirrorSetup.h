// What the backwards mirror keeps at the start of a song: the setup block of
// tick-0 events, and the kinds of events it moves back by one occurrence.
#pragma once

#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

// The classes of events that each precede the passage they govern: the
// program changes of channels 0..15, then tempo, time and key signature.
inline constexpr int kMoveClasses = 19;
inline constexpr int kMoveTempo = 16;
inline constexpr int kMoveTimeSign = 17;
inline constexpr int kMoveKeySign = 18;

// The class an event moves with, or -1 when it stays where the mirror puts it.
inline int MoveClass(const MidiEvent* e) {
    if (e->status == kEvProgram) return e->channel >= 0 && e->channel < 16 ? e->channel : -1;
    if (e->status != kEvMeta) return -1;
    if (e->number == kMetaTempo) return kMoveTempo;
    if (e->number == kMetaTimeSignature) return kMoveTimeSign;
    if (e->number == kMetaKeySignature) return kMoveKeySign;
    return -1;
}

// A tick-0 event that sets the song up (controllers, exclusives, names, texts)
// and so stays at the front of the reversed song: no note, program change,
// tempo, time or key signature, nor the end of track.
inline bool IsSetupEvent(const MidiEvent* e) {
    if (e->status == kEvNoteOff || e->status == kEvNoteOn || e->status == kEvProgram) return false;
    return MoveClass(e) < 0 && !e->IsEndOfTrack();
}

// Controllers that act once rather than set a value: data increment and
// decrement (96, 97) and the channel-mode messages (120..127).
inline bool IsMomentaryController(int number) {
    return number == 96 || number == 97 || number >= 120;
}

// An event that sets part of the sound a passage plays with: a controller
// that holds a value, pitch bend, channel pressure, program, tempo, time or
// key signature (on a channel of 0..15 for the channel messages).
inline bool IsStateEvent(const MidiEvent* e) {
    switch (e->status) {
        case kEvControl:
            return e->channel >= 0 && e->channel < 16 && e->number >= 0 && e->number < 128 &&
                   !IsMomentaryController(e->number);
        case kEvProgram:
        case kEvPitchBend:
        case kEvChannelPressure:
            return e->channel >= 0 && e->channel < 16;
        default:
            return MoveClass(e) >= 0;
    }
}

// With the state carried, the setup block holds the tick-0 events that are
// no state: exclusives, names, texts, momentary controllers.
inline bool IsStatelessSetupEvent(const MidiEvent* e) {
    return e->status != kEvNoteOff && e->status != kEvNoteOn && !e->IsEndOfTrack() &&
           !IsStateEvent(e);
}

}  // namespace retrograde::detail
