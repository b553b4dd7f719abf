// The player front end: the sequencer's life and the play thread's handle.
#include "playback/StaticMusicPlayer.h"

#include <cerrno>
#include <new>
#include <system_error>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiPlayHooks.h"
#include "playback/MidiPlayer.h"

StaticMusicPlayer MusicPlayer;
std::atomic<MidiPlayer*> StaticMusicPlayer::MPlayer{nullptr};

StaticMusicPlayer::StaticMusicPlayer() {
    MidiSetPlayHooks(SongPlayHooks());
}

StaticMusicPlayer::~StaticMusicPlayer() {
    // A song played after this ends finds no player rather than a dead one.
    MidiSetPlayHooks(MidiPlayHooks{});
    RequestStop();
    CancelPlay();
    std::lock_guard lock(thread_mutex_);
    if (thread_.joinable()) thread_.join();
}

void StaticMusicPlayer::CancelPlay() {
    std::lock_guard lock(player_mutex_);
    if (MPlayer.load()) MidiPlayer::Cancel();
}

int StaticMusicPlayer::IsPlayerRuning() const {
    return MPlayer.load() != nullptr && MidiPlayer::Runing.load() == 1 ? 1 : 0;
}

int StaticMusicPlayer::PlayMidi(MidiF0Data* song) {
    if (!song || song->form != kFormQ1) return ErrorMsg(kErrMusicPlayerInternal);
    std::lock_guard lock(player_mutex_);
    MidiPlayer* player = nullptr;
    try {
        player = new MidiPlayer(song, destination.load());
    } catch (const std::bad_alloc&) {
        return ErrorMsg(kErrMusicPlayerInternal);
    }
    if (!MidiPlayer::MidiCtrl) {
        delete player;
        return 0;
    }
    MPlayer.store(player);
    if (StopRequested()) MidiPlayer::Cancel();
    return 1;
}

void StaticMusicPlayer::StopMidi() {
    MidiPlayer* player = nullptr;
    {
        std::lock_guard lock(player_mutex_);
        player = MPlayer.exchange(nullptr);
    }
    // Outside the lock: the teardown waits for the timer, whose stop
    // callback may ask to cancel.
    delete player;
}

int StaticMusicPlayer::ErrorMsg(int code) {
    GneWriteErrorMsg(code == kErrMusicPlayerInternal ? "MusicPlayerで内部エラーが発生しました。"
                                                     : "MusicPlayerでエラーが発生しました。");
    return 0;
}

bool StaticMusicPlayer::TryClaim() {
    int expected = 1;
    if (!idle.compare_exchange_strong(expected, 0)) return false;
    stop_requested_.store(false);
    return true;
}

int StaticMusicPlayer::StartThread(void* (*entry)(void*), bool previous_ended) {
    std::lock_guard lock(thread_mutex_);
    if (thread_.joinable()) {
        // An earlier thread that marked itself idle is returning; one that
        // never answered (the wait gave up on it) is left to finish alone.
        if (previous_ended) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    try {
        thread_ = std::thread([entry] { entry(nullptr); });
        return 0;
    } catch (const std::system_error& error) {
        idle.store(1);
        return error.code().value() ? error.code().value() : EAGAIN;
    }
}

bool StaticMusicPlayer::WaitFor(const std::function<bool()>& condition,
                                std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
