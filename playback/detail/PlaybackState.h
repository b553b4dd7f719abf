// Everything the playback layer keeps for the one song that plays: the front
// end's, the sequencer's and the output's state in one object. The public
// static members of StaticMusicPlayer, MidiPlayer and MidiControler are names
// for fields of it. Each field says which thread writes it; "GUI" is the
// thread that calls Play and Stop, "play" the play thread, "timer" the
// sequencer's timer task.
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "midi/event/MidiConstants.h"
#include "playback/detail/TempoClock.h"

class MidiBackend;
class MidiControler;
class MidiF0Data;
class MidiPlayer;
class PlayTimer;
class RtMidiIn;
class RtMidiOut;
typedef struct _fluid_synth_t fluid_synth_t;

namespace retrograde::detail {

class SynthDevice;

inline constexpr int kNoOutputEndpoint = -2;

struct PlaybackState {
    // ---- waiting without polling ----
    // Every change of idle, current and runing is announced here.
    void Announce() {
        // Taking the lock orders the change before a waiter's next look at
        // its condition, so that no announcement falls between look and sleep.
        { std::lock_guard lock(wait_mutex); }
        changed.notify_all();
    }
    // Waits until condition holds, up to timeout; false when it did not.
    bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
        std::unique_lock lock(wait_mutex);
        return changed.wait_for(lock, timeout, condition);
    }
    std::mutex wait_mutex;
    std::condition_variable changed;

    // Fields are destroyed in reverse order: the output outlives the
    // sequencer, the sequencer the front end.

    // ---- the output (MidiControler) ----
    std::unique_ptr<SynthDevice> synth;  // play: the synthesizer with its audio output
    fluid_synth_t* music = nullptr;      // play: synth's FluidSynth, for the read procedure
    std::unique_ptr<RtMidiIn> mapper;    // play: the virtual destination "QZ"
    int endpoint = kNoOutputEndpoint;    // play
    std::unique_ptr<RtMidiOut> outport;  // play: "outputport"
    MidiBackend* backend = nullptr;      // play: taken from chosen_backend, not owned
    std::atomic<MidiBackend*> chosen_backend{nullptr};  // any (UseBackend): not owned

    // ---- the sequencer (MidiPlayer) ----
    std::unique_ptr<MidiControler> output;          // play: the output; null when none was made
    std::unique_ptr<PlayTimer> own_timer;           // play: the real timer when none was chosen
    PlayTimer* timer = nullptr;                     // play: the timer in use (chosen or own)
    std::atomic<PlayTimer*> chosen_timer{nullptr};  // any (UseTimer): not owned
    MidiPlayer* self = nullptr;                     // play: the sequencer being set up or running
    std::atomic<int> runing{0};                     // play (set-up), timer (end, cancel, error)
    std::atomic<int> cancel{0};                     // any: asks for a stop
    MidiF0Data* song = nullptr;                     // play: the song played, not owned
    // Set up by the play thread, then written by the timer task alone.
    int play_index = 0;
    int bpm_tempo = 120;
    int tempo_rate = 100;
    TempoClock tempo_clock{96, 100};
    std::array<std::bitset<kMidiNotes>, kMidiChannels> sounding;  // notes on and not yet off
    std::bitset<kMidiChannels> channels_used;
    std::int64_t play_tick = 0;  // the absolute tick of the event at play_index

    // ---- where the sequencer is, for a cursor (StaticMusicPlayer::GetPlayTick) ----
    // Between two events time runs at one tempo, so the tick of any moment
    // follows from the next event's tick and due time.
    struct Position {
        std::int64_t last_tick = 0;  // the event sent last (the first note before it plays)
        std::int64_t next_tick = 0;  // the event sent next
        std::int64_t due = 0;        // when the next event goes out, microseconds
        int tempo = kDefaultTempo;   // microseconds per quarter note until then
        int division = 0;            // of the play copy
        int rate = 100;              // percent
    };
    std::mutex position_mutex;
    Position position;  // play (set-up), then timer; under position_mutex
    // GUI, written by Play and read by GetPlayTick: the tick of the played
    // song at which its play copy begins, and the played song's division.
    std::int64_t origin_tick = 0;
    int played_division = 0;
    // GUI (Play), read by the next sequencer: a play from a chosen point
    // waits out the rest before its first note rather than starting with it.
    std::atomic<bool> wait_lead_in{false};

    // ---- the front end (StaticMusicPlayer) ----
    std::atomic<int> idle{1};          // GUI (claim), play (end): 1 while no play thread runs
    std::atomic<int> destination{-1};  // GUI: output index of every new sequencer
    std::atomic<bool> stop_requested{false};    // GUI: a stop before the sequencer exists
    std::mutex player_mutex;                    // the sequencer's birth and death against a cancel
    std::unique_ptr<MidiPlayer> player;         // play, under player_mutex: the sequencer
    std::atomic<MidiPlayer*> current{nullptr};  // play, under player_mutex: player, for any reader
    std::mutex thread_mutex;                    // the play thread's handle
    std::thread thread;                         // GUI, under thread_mutex
};

// The one state of the process, defined with the front end MusicPlayer
// (StaticMusicPlayer.cpp), constructed before it and destroyed after it.
extern PlaybackState playback_state;

}  // namespace retrograde::detail
