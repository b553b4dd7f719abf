// The player front end: the sequencer's life and the play thread's handle.
#include "playback/StaticMusicPlayer.h"

#include <RtMidi.h>
#include <array>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiPlayHooks.h"
#include "playback/MidiBackend.h"
#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/PlayTimer.h"
#include "playback/detail/SynthDevice.h"

using retrograde::detail::playback_state;

// The state first: the front end's destructor still uses it.
retrograde::detail::PlaybackState retrograde::detail::playback_state;
StaticMusicPlayer MusicPlayer;
std::atomic<MidiPlayer*>& StaticMusicPlayer::MPlayer = playback_state.current;

StaticMusicPlayer::StaticMusicPlayer() {
    MidiSetPlayHooks(SongPlayHooks());
}

StaticMusicPlayer::~StaticMusicPlayer() {
    // A song played after this ends finds no player rather than a dead one.
    MidiSetPlayHooks(MidiPlayHooks{});
    RequestStop();
    CancelPlay();
    std::lock_guard lock(playback_state.thread_mutex);
    if (playback_state.thread.joinable()) playback_state.thread.join();
}

void StaticMusicPlayer::SetIdle(int value) {
    idle.store(value);
    playback_state.Announce();
}

void StaticMusicPlayer::CancelPlay() {
    std::lock_guard lock(playback_state.player_mutex);
    if (MPlayer.load()) MidiPlayer::Cancel();
}

int StaticMusicPlayer::IsPlayerRuning() const {
    return MPlayer.load() != nullptr && MidiPlayer::Runing.load() == 1 ? 1 : 0;
}

int StaticMusicPlayer::PlayMidi(MidiF0Data* song) {
    if (!song || song->form != kFormQ1) return ErrorMsg(kErrMusicPlayerInternal);
    std::lock_guard lock(playback_state.player_mutex);
    std::unique_ptr<MidiPlayer> player;
    try {
        player = std::make_unique<MidiPlayer>(song, destination.load());
    } catch (const std::bad_alloc&) {
        return ErrorMsg(kErrMusicPlayerInternal);
    }
    if (!MidiPlayer::MidiCtrl) return 0;
    playback_state.player = std::move(player);
    MPlayer.store(playback_state.player.get());
    if (StopRequested()) MidiPlayer::Cancel();
    playback_state.Announce();
    return 1;
}

void StaticMusicPlayer::StopMidi() {
    std::unique_ptr<MidiPlayer> player;
    {
        std::lock_guard lock(playback_state.player_mutex);
        MPlayer.store(nullptr);
        player = std::move(playback_state.player);
    }
    // Outside the lock: the teardown waits for the timer, whose stop
    // callback may ask to cancel.
    player.reset();
    playback_state.Announce();
}

long long StaticMusicPlayer::GetPlayTick() {
    std::int64_t now = 0;
    {
        // The sequencer, and with it its timer, lives while it is current.
        std::lock_guard lock(playback_state.player_mutex);
        if (MPlayer.load() == nullptr || MidiPlayer::m_timer == nullptr) return -1;
        now = MidiPlayer::m_timer->Now().count();
    }
    retrograde::detail::PlaybackState::Position at;
    {
        std::lock_guard lock(playback_state.position_mutex);
        at = playback_state.position;
    }
    if (at.division <= 0 || at.tempo <= 0) return -1;
    std::int64_t tick = at.next_tick;
    if (now < at.due) {
        // The ticks still to go before the next event, at the tempo in force.
        const std::int64_t left = (at.due - now) * at.division * at.rate / (at.tempo * 100LL);
        tick = std::max(at.last_tick, at.next_tick - left);
    }
    const int division =
        playback_state.played_division > 0 ? playback_state.played_division : at.division;
    return playback_state.origin_tick + tick * division / at.division;
}

namespace {

constexpr std::array kMusicPlayerTexts = {
    retrograde::detail::MessageText{kErrMusicPlayerInternal,
                                    "MusicPlayerで内部エラーが発生しました。"},
};
// The class answers as the player it fronts, "MusicPlayer".
constexpr retrograde::detail::MessageTable kMusicPlayerMessages{"MusicPlayer", kMusicPlayerTexts};

}  // namespace

int StaticMusicPlayer::ErrorMsg(int code) {
    return ShowError(kMusicPlayerMessages, code);
}

bool StaticMusicPlayer::TryClaim() {
    int expected = 1;
    if (!idle.compare_exchange_strong(expected, 0)) return false;
    playback_state.stop_requested.store(false);
    playback_state.Announce();
    return true;
}

int StaticMusicPlayer::StartThread(void* (*entry)(void*), bool previous_ended) {
    std::lock_guard lock(playback_state.thread_mutex);
    std::thread& thread = playback_state.thread;
    if (thread.joinable()) {
        // An earlier thread that marked itself idle is returning; one that
        // never answered (the wait gave up on it) is left to finish alone.
        if (previous_ended) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    try {
        thread = std::thread([entry] { entry(nullptr); });
        return 0;
    } catch (const std::system_error& error) {
        SetIdle(1);
        return error.code().value() ? error.code().value() : EAGAIN;
    }
}

bool StaticMusicPlayer::WaitFor(const std::function<bool()>& condition,
                                std::chrono::milliseconds timeout) {
    // Woken at once by every change of the player's state; a condition on
    // anything else (a port's messages, the synthesizer's controllers) is
    // looked at again every kRecheck.
    constexpr auto kRecheck = std::chrono::milliseconds(10);
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero()) return condition();
        if (playback_state.WaitFor(condition, std::min(left, kRecheck))) return true;
    }
}
