/// @file
/// The player front end: the one process-wide object through which a play
/// thread creates the sequencer, the window stops it and asks about it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "playback/detail/PlaybackState.h"

class MidiF0Data;
class MidiPlayer;

inline constexpr int kErrMusicPlayerInternal = 0x09000001;  ///< the player's general failure

/// The player a program keeps for its life: one play thread and sequencer at a time.
class StaticMusicPlayer {
public:
    /// Names for fields of the playback state (PlaybackState.h).
    std::atomic<int>& idle =
        retrograde::detail::playback_state.idle;  ///< 1 while no play thread runs
    std::atomic<int>& destination =
        retrograde::detail::playback_state.destination;  ///< output of every new sequencer
    static std::atomic<MidiPlayer*>& MPlayer;  ///< the current sequencer, owned by the state

    /// Installs the song's Play, Stop and play thread (MidiPlayHooks).
    StaticMusicPlayer();
    /// Stops a song still playing and joins its thread: nothing outlives the
    /// program's end.
    ~StaticMusicPlayer();
    StaticMusicPlayer(const StaticMusicPlayer&) = delete;
    StaticMusicPlayer& operator=(const StaticMusicPlayer&) = delete;

    void SetDestination(int index) { destination.store(index); }  ///< for the next play
    void SetIdle(int value);  ///< stores idle and tells every waiter
    void CancelPlay();        ///< asks the sequencer, if any, to stop now
    bool IsPlayerExist() const { return MPlayer.load() != nullptr; }  ///< a sequencer exists
    int IsPlayerRuning() const;  ///< 1 when a sequencer exists and runs
    /// Creates the sequencer for song (form Q1): 1, or 0 when it could not
    /// be set up (a message says why).
    int PlayMidi(MidiF0Data* song);
    void StopMidi();  ///< destroys the sequencer, if any
    /// The text of code to the message sink; 0.
    int ErrorMsg(int code);
    /// Where the playing song is by the sequencer's own clock (virtual or
    /// real), in ticks of the song whose Play started it; -1 when no
    /// sequencer plays.
    long long GetPlayTick();

    /// The play thread. TryClaim takes the player (idle 1 -> 0) before the
    /// thread exists, so that two plays never run at once. StartThread
    /// returns 0 when the thread was started, else an error number;
    /// previous_ended is false when the earlier thread was given up on.
    bool TryClaim();
    int StartThread(void* (*entry)(void*), bool previous_ended);  ///< see TryClaim
    /// A stop asked for before the sequencer exists cancels it at birth.
    void RequestStop() { retrograde::detail::playback_state.stop_requested.store(true); }
    /// True after RequestStop, until the next play.
    bool StopRequested() const { return retrograde::detail::playback_state.stop_requested.load(); }
    /// Waits until condition holds or timeout passes; false when it did not
    /// hold. Woken by every change of the idle flag, the sequencer and its
    /// running flag; a condition on other things is looked at every 10 ms.
    static bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
};

/// The program's one front end, constructed at start.
extern StaticMusicPlayer MusicPlayer;

/// The copy of song (form Q2) that a play plays: division 96, form Q1, the
/// whole empty measures before the first note removed (*removed, when given,
/// receives their ticks at division 96).
std::unique_ptr<MidiF0Data> MakePlayCopy(MidiF0Data* song, int* removed = nullptr);
/// The same from tick on: the copy begins at tick of song (form Q2), led by
/// the exclusive messages before it and the channel state of that point in
/// the order a device should receive it. Notes begun before tick are left out.
std::unique_ptr<MidiF0Data> MakePlayCopyFrom(MidiF0Data* song, int tick);
/// Plays song (form Q2) as its Play does, but from tick on (MakePlayCopyFrom),
/// a rest between tick and the first note waited out; Stop stops it. 0 when
/// the play thread started, else an error number.
int PlaySongFrom(MidiF0Data* song, int tick);

struct MidiPlayHooks;
/// The song's playback operations as this layer does them (SongPlay.cpp).
MidiPlayHooks SongPlayHooks();
