// Playing a format-0 song: the private play copy, the play thread and the
// stop request. Installed into MidiF0Data's Play, StartPlayThread,
// PlayThread and Stop by the player front end.
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiPlayHooks.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"

using retrograde::detail::playback_state;

namespace {

constexpr int kPlayDivision = 96;
// A new play waits for the earlier play thread to end: after kForceStop its
// sequencer is forced down, after kGiveUp the new play starts anyway.
constexpr auto kForceStop = std::chrono::milliseconds(5000);
constexpr auto kGiveUp = std::chrono::milliseconds(10100);
// The play thread's wait for its sequencer to stop is unbounded; it wakes
// at every change and at this interval to look again.
constexpr auto kWatchInterval = std::chrono::hours(1);
// A stop with no sequencer yet waits this long for the play thread to make one.
constexpr auto kWaitForSequencer = std::chrono::seconds(1);
// How long a stop waits for the sequencer to let go of the song.
constexpr auto kWaitForRelease = std::chrono::seconds(5);
constexpr auto kWaitForIdle = std::chrono::milliseconds(21);

bool PlayThreadActive() {
    return MusicPlayer.idle.load() == 0;
}

}  // namespace

std::unique_ptr<MidiF0Data> MakePlayCopy(MidiF0Data* song) {
    auto copy = std::make_unique<MidiF0Data>(song);
    copy->ChangeDivision(kPlayDivision);
    copy->Q2toQ1();
    copy->BeginImmidiately();
    return copy;
}

namespace {

int PlaySong(MidiF0Data& song) {
    try {
        // A copy that still plays must not be freed under the sequencer.
        if (song.play_data && PlayThreadActive() &&
            MidiF0Data::MacPlayData.song.load() == song.play_data.get()) {
            song.Stop();
        }
        song.play_data.reset();
        song.play_data = MakePlayCopy(&song);
        return song.play_data->StartPlayThread();
    } catch (const std::exception&) {
        song.ErrorMsg(kErrF0Internal);
        return ENOMEM;
    }
}

int StartPlayThread(MidiF0Data& song) {
    bool previous_ended = true;
    const auto start = std::chrono::steady_clock::now();
    bool forced = false;
    while (!MusicPlayer.TryClaim()) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (waited >= kGiveUp) {
            GneErrorMsg(kGneErrPlayerBusy);
            MusicPlayer.SetIdle(0);
            previous_ended = false;
            break;
        }
        if (!forced && waited >= kForceStop) {
            forced = true;
            MusicPlayer.StopMidi();
        }
        playback_state.WaitFor([] { return !PlayThreadActive(); },
                               (forced ? kGiveUp : kForceStop) - waited);
    }
    MidiF0Data::MacPlayData.song.store(&song);
    return MusicPlayer.StartThread(MidiF0Data::MacPlayData.entry, previous_ended);
}

void PlayThreadBody() {
    MusicPlayer.SetIdle(0);
    try {
        // A failed start leaves no sequencer, and the wait below ends at once.
        MusicPlayer.PlayMidi(MidiF0Data::MacPlayData.song.load());
        while (!playback_state.WaitFor([] { return MusicPlayer.IsPlayerRuning() != 1; },
                                       kWatchInterval)) {
        }
    } catch (const std::exception&) {
        MusicPlayer.ErrorMsg(kErrMusicPlayerInternal);
    }
    // The sequencer takes its output and its timer with it.
    MusicPlayer.StopMidi();
    MusicPlayer.SetIdle(1);
}

int StopSong(MidiF0Data& song) {
    MusicPlayer.RequestStop();
    if (PlayThreadActive()) {
        playback_state.WaitFor([] { return MusicPlayer.IsPlayerExist() || !PlayThreadActive(); },
                               kWaitForSequencer);
    }
    MusicPlayer.CancelPlay();
    // The song may go once the sequencer has seen the cancel (it reads the
    // song no more) or the play thread has ended.
    const bool released = playback_state.WaitFor(
        [] {
            return !PlayThreadActive() ||
                   (MusicPlayer.IsPlayerExist() && MusicPlayer.IsPlayerRuning() == 0);
        },
        kWaitForRelease);
    playback_state.WaitFor([] { return !PlayThreadActive(); }, kWaitForIdle);
    if (released) {
        song.play_data.reset();
    } else {
        // A play thread that does not answer keeps its song: freeing it
        // under the thread would be worse than the leak.
        MusicPlayer.ErrorMsg(kErrMusicPlayerInternal);
        (void)song.play_data.release();
    }
    return 1;
}

}  // namespace

MidiPlayHooks SongPlayHooks() {
    MidiPlayHooks hooks;
    hooks.play = PlaySong;
    hooks.start_play_thread = StartPlayThread;
    hooks.play_thread = PlayThreadBody;
    hooks.stop = StopSong;
    return hooks;
}
