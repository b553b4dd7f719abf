/// @file
/// The channel-state record: the last program, pitch bend and controller values
/// of each channel and the last tempo and time signature at a point of a song,
/// the difference of two such points, and the events that re-establish one.
#pragma once

#include <array>

class MidiEvent;
class MidiF0Data;

/// The most events CreateStatusEvent makes: 16 × (program, bend, 128
/// controllers) + tempo + time signature. The caller's array holds that many.
inline constexpr int kMidiStatusMaxEvents = 16 * (1 + 1 + 128) + 2;

/// The state of a song at one point: programs, bends, controllers, tempo and meter.
class MidiStatus {
public:
    /// Rows of the tables.
    static constexpr int kChannels = 16;
    /// Controllers per channel.
    static constexpr int kControllers = 128;
    static constexpr int kUnknown = -1;  ///< no value seen for an entry

    /// A plain record of 2098 entries, each kUnknown until a value is seen.
    std::array<int, kChannels> program;
    std::array<std::array<int, 2>, kChannels> pitch_bend;  ///< per channel: high 7 bits, low 7 bits
    std::array<std::array<int, kControllers>, kChannels> controller;  ///< per channel and number
    int tempo;      ///< microseconds per quarter note
    int time_sign;  ///< numerator × 256 + denominator (4 for a quarter)

    MidiStatus();

    /// Takes one event into the record: program, pitch bend, control change,
    /// tempo, time signature. An event without a channel of 0..15, a
    /// controller number outside 0..127 or a null event changes nothing.
    void UpdateStatus(MidiEvent* event);
    /// Takes the events of song's one track lying before the absolute tick
    /// delta; returns the index of the first event not taken and stores the
    /// tick of the last one taken in *reached. A song without a track (form
    /// Raw, or none at all) is reported and gives 0.
    int SetStatusAtDelta(MidiF0Data* song, int delta, int* reached);
    /// Copies into this record every entry in which after differs from before
    /// (the pitch bend as one entry of two parts).
    void SetDifference(MidiStatus* before, MidiStatus* after);
    /// One new event for each known entry, per channel program, pitch bend,
    /// controllers 0..127, then tempo and time signature; stored into events
    /// (kMidiStatusMaxEvents places), the caller owning them. Returns their
    /// number; when memory runs out, the number made so far, reported.
    int CreateStatusEvent(MidiEvent** events);
    /// The same state in the order a device should receive it: tempo, time
    /// signature, then per channel bank select (0, 32), program, the other
    /// controllers, pitch bend. The channel-mode messages (controllers
    /// 120..127) are never made: a reset of all controllers sent again would
    /// wipe out what came before it.
    int CreateStatusEventInSendOrder(MidiEvent** events);
    int ErrorMsg(int code);  ///< reports "error!", whatever the code; 0
};
