/// @file
/// The sequencer: plays one format-0 song (form Q1) event by event. The events
/// before the first note go out at once; a one-shot timer then sends each
/// event at its due time and primes itself for the next. All state is
/// process-wide: at most one sequencer plays at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "midi/event/MidiEvent.h"
#include "playback/PlayTimer.h"

class MidiControler;
class MidiF0Data;

// Error codes of MidiPlayer (top byte 0x08).
inline constexpr int kErrPlayerDivision = 0x08000001;   ///< a division too large to play
inline constexpr int kErrPlayerTimer = 0x08000002;      ///< no timer thread could be made
inline constexpr int kErrPlayerSlowTempo = 0x08000003;  ///< a tempo too slow to play
inline constexpr int kErrPlayerInternal = 0x08000004;   ///< MidiPlayer's general failure

/// The sequencer: plays a Q1 song through a MidiControler, driven by a PlayTimer.
class MidiPlayer {
public:
    /// Names for fields of the playback state (detail/PlaybackState.h).
    static std::unique_ptr<MidiControler>& MidiCtrl;  ///< the output; null when none was made
    static PlayTimer*& m_timer;                       ///< the timer task; null when none installed
    static MidiPlayer*& Self;                         ///< the player being set up or running
    static std::atomic<int>& Runing;     ///< 1 from set-up until the end, a cancel or an error
    static std::atomic<int>& CancelFlg;  ///< set to 1 to ask for a stop
    static MidiF0Data*& MidiDat;         ///< the song, not owned
    static int& PlayIdx;                 ///< the next event to send
    static int& BpmTempo;                ///< current tempo in beats per minute
    static int& TempoRate;               ///< speed in percent; 100

    /// Sets up the output, sends the leading events and starts the timer.
    MidiPlayer(MidiF0Data* song, int destination);
    /// Stops the timer, silences every note still sounding, closes the output.
    ~MidiPlayer();
    MidiPlayer(const MidiPlayer&) = delete;
    MidiPlayer& operator=(const MidiPlayer&) = delete;

    /// 1 when a note-on was reached, 0 when the song ended before one (or
    /// the output could not be made), the report's result when not in Q1.
    int SetupMidiPlayer2(MidiF0Data* song, int destination);
    /// Sends the events before the next note on; 1 when one was reached, else 0.
    int SendControlBeforeNote();
    static void MidiPlayTimerProc(PlayTimer* task);  ///< the timer's routine: plays what is due
    /// Sends one event and moves on: the delta of the new current event, or
    /// -1 when the track is exhausted.
    static int PlayEvent(MidiEvent* event);
    int ErrorMsg(int code);  ///< the text of code to the message sink; 0

    /// A stop request: sets CancelFlg and wakes the timer, so that playback
    /// ends now rather than at the end of the current rest.
    static void Cancel();

    /// The timer every later sequencer uses (null: a RealPlayTimer of its
    /// own). Not owned; offline rendering and the tests drive a virtual one.
    static void UseTimer(PlayTimer* timer);

    /// How long the song plays, to its last event, in microseconds: the due
    /// time of the last event as the sequencer computes it (Q1 songs).
    static std::int64_t GetPlayMicros(MidiF0Data* song);

private:
    static void DropOutput();          // destroys the output, if any
    static void SetRuning(int value);  // stores Runing and tells every waiter
    static void SilenceSoundingNotes();
    static void SendExclusive(const MidiEvent* event);
};
