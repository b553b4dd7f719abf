// A MIDI event: the generic record plus its channel, with constructors of
// frequent events, value helpers and the one-line description for display.
#pragma once

#include "midi/event/MusicEvent.h"

inline constexpr int kErrMidiEventInternal = 0x1D000001;

namespace retrograde::detail {

// The channel of a MIDI event, as a base placed ahead of the generic record:
// so it lies beside the other fields, in the first cache line of the record,
// and not behind the 256-byte data area, where every walk over a track would
// read one more cache line per event for it.
struct MidiEventChannel {
    int channel = kNoChannel;  // 0..15; 255 = no channel
};

}  // namespace retrograde::detail

// Final, and deleted only as a MidiEvent: its MusicEvent part does not start
// at the record's address and MusicEvent has no virtual destructor, so a
// delete through MusicEvent* would hand the pool a wrong pointer.
class MidiEvent final : private retrograde::detail::MidiEventChannel, public MusicEvent {
public:
    using MidiEventChannel::channel;

    MidiEvent() = default;
    explicit MidiEvent(int delta) : MusicEvent(delta) {}
    MidiEvent(int delta, Compact compact) : MusicEvent(delta, compact) {}
    // A copy of source, compact when source is.
    explicit MidiEvent(MidiEvent* source);

    void Copy(MidiEvent* source);
    void SetControlChange(int channel, int controller, int value);
    void SetNoteOffEvent(int channel, int note);
    void SetTempo(unsigned long tempo);
    int GetPitchBendValue();
    void SetPitchBendValue(int bend);
    int IsChanelSysEx();
    int IsSC88BPort();
    int CompareEvent(MidiEvent* other);
    int CompareEventExceptChanel(MidiEvent* other);
    int CompareEventExceptChanelAndDeltaTime(MidiEvent* other);
    void SetMobileChanelEvent(MusicEvent* source, int channel, int drum);
    void SetMobileSystemEvent(MusicEvent* source, int channel, int drum);
    // Writes a one-line description (UTF-8) into text and returns text. The
    // caller provides room for a name, a number and a whole meta text.
    char* GetEventString(char* text);
    int ErrorMsg(int code);

    bool IsEndOfTrack() const { return status == kEvMeta && number == kMetaEndOfTrack; }
    bool IsMeta(int type) const { return status == kEvMeta && number == type; }
};
