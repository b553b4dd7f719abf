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

namespace {

constexpr int kPlayDivision = 96;
constexpr auto kClaimStep = std::chrono::milliseconds(100);
constexpr int kForceStopStep = 50;  // 5 s: the earlier sequencer is forced down
constexpr int kGiveUpStep = 101;    // about 10 s: the new play starts anyway
constexpr auto kPollStep = std::chrono::milliseconds(10);
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
    for (int step = 0; !MusicPlayer.TryClaim();) {
        if (step >= kGiveUpStep) {
            GneErrorMsg(kGneErrPlayerBusy);
            MusicPlayer.idle.store(0);
            previous_ended = false;
            break;
        }
        std::this_thread::sleep_for(kClaimStep);
        ++step;
        if (step == kForceStopStep) MusicPlayer.StopMidi();
    }
    MidiF0Data::MacPlayData.song.store(&song);
    return MusicPlayer.StartThread(MidiF0Data::MacPlayData.entry, previous_ended);
}

void PlayThreadBody() {
    MusicPlayer.idle.store(0);
    try {
        // A failed start leaves no sequencer, and the loop below ends at once.
        MusicPlayer.PlayMidi(MidiF0Data::MacPlayData.song.load());
        while (MusicPlayer.IsPlayerRuning() == 1) std::this_thread::sleep_for(kPollStep);
    } catch (const std::exception&) {
        MusicPlayer.ErrorMsg(kErrMusicPlayerInternal);
    }
    // The sequencer takes its output and its timer with it.
    MusicPlayer.StopMidi();
    MusicPlayer.idle.store(1);
}

int StopSong(MidiF0Data& song) {
    MusicPlayer.RequestStop();
    if (PlayThreadActive()) {
        StaticMusicPlayer::WaitFor(
            [] { return MusicPlayer.IsPlayerExist() || !PlayThreadActive(); }, kWaitForSequencer);
    }
    MusicPlayer.CancelPlay();
    // The song may go once the sequencer has seen the cancel (it reads the
    // song no more) or the play thread has ended.
    const bool released = StaticMusicPlayer::WaitFor(
        [] {
            return !PlayThreadActive() ||
                   (MusicPlayer.IsPlayerExist() && MusicPlayer.IsPlayerRuning() == 0);
        },
        kWaitForRelease);
    StaticMusicPlayer::WaitFor([] { return !PlayThreadActive(); }, kWaitForIdle);
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
