/// @file
/// A MIDI event: the generic record plus its channel, with constructors of
/// frequent events, value helpers and the one-line description for display.
#pragma once

#include "midi/event/MusicEvent.h"

inline constexpr int kErrMidiEventInternal = 0x1D000001;  ///< MidiEvent's general failure

namespace retrograde::detail {

/// The channel of a MIDI event, as a base placed ahead of the generic record:
/// so it lies beside the other fields, in the first cache line of the record,
/// and not behind the 256-byte data area, where every walk over a track would
/// read one more cache line per event for it.
struct MidiEventChannel {
    int channel = kNoChannel;  ///< 0..15; 255 = no channel
};

}  // namespace retrograde::detail

/// Final, and deleted only as a MidiEvent: its MusicEvent part does not start
/// at the record's address and MusicEvent has no virtual destructor, so a
/// delete through MusicEvent* would hand the pool a wrong pointer.
class MidiEvent final : private retrograde::detail::MidiEventChannel, public MusicEvent {
public:
    using MidiEventChannel::channel;

    MidiEvent() = default;
    explicit MidiEvent(int delta) : MusicEvent(delta) {}  ///< an empty record at delta
    /// An empty compact record at delta (see MusicEvent::Compact).
    MidiEvent(int delta, Compact compact) : MusicEvent(delta, compact) {}
    explicit MidiEvent(MidiEvent* source);  ///< a copy of source, channel included; compact when source is

    void Copy(MidiEvent* source);  ///< MusicEvent::Copy and the channel
    /// The Set forms make the record that event; the other fields stay as they were.
    void SetControlChange(int channel, int controller, int value);
    void SetNoteOffEvent(int channel, int note);  ///< see SetControlChange
    /// A tempo meta event; its 3 bytes go after the data already held (refused,
    /// reported as kErrMusicEventDataSize, when the area has no room).
    void SetTempo(unsigned long tempo);
    /// 0..16383 from value (high 7 bits) and note (low).
    int GetPitchBendValue();
    /// The reverse of GetPitchBendValue.
    void SetPitchBendValue(int bend);
    /// 1 for the GS exclusive messages addressed to one part.
    int IsChanelSysEx();
    /// GneIsSC88BPort of the data area read as text.
    int IsSC88BPort();
    /// 1 when the events are equal in status, numbers, values and data; the first
    /// also compares delta and channel, the second delta, the third neither.
    int CompareEvent(MidiEvent* other);
    /// See CompareEvent.
    int CompareEventExceptChanel(MidiEvent* other);
    /// See CompareEvent.
    int CompareEventExceptChanelAndDeltaTime(MidiEvent* other);
    /// The MIDI event of a mobile-format event (drum 1: on channel 9); an event
    /// without a counterpart becomes kEvNone.
    void SetMobileChanelEvent(MusicEvent* source, int channel, int drum);
    void SetMobileSystemEvent(MusicEvent* source, int channel, int drum);  ///< its meta events
    /// Writes a one-line description (UTF-8) into text and returns text. The
    /// caller provides room for a name, a number and a whole meta text.
    char* GetEventString(char* text);
    int ErrorMsg(int code);  ///< the text of code to the message sink; 0

    /// True for the end-of-track meta event.
    bool IsEndOfTrack() const { return status == kEvMeta && number == kMetaEndOfTrack; }
    bool IsMeta(int type) const { return status == kEvMeta && number == type; }  ///< of that type
};
