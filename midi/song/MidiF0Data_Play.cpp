// The playback operations of the format-0 song, forwarded to the player that
// the playback layer installs (MidiPlayHooks.h).
#include <cerrno>
#include <mutex>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiPlayHooks.h"

MidiF0Data::PlayThreadData MidiF0Data::MacPlayData{nullptr, &MidiF0Data::PlayThread};

namespace {

// Without a player nothing can start: Play answers as a failed thread start
// would, with "no such device".
constexpr int kNoPlayer = ENODEV;

std::mutex& HooksMutex() {
    static std::mutex mutex;
    return mutex;
}
MidiPlayHooks& Hooks() {
    static MidiPlayHooks hooks;
    return hooks;
}
MidiPlayHooks CurrentHooks() {
    std::lock_guard lock(HooksMutex());
    return Hooks();
}

}  // namespace

MidiPlayHooks MidiSetPlayHooks(const MidiPlayHooks& hooks) {
    std::lock_guard lock(HooksMutex());
    const MidiPlayHooks previous = Hooks();
    Hooks() = hooks;
    return previous;
}

int MidiF0Data::Play() {
    const auto play = CurrentHooks().play;
    return play ? play(*this) : kNoPlayer;
}

int MidiF0Data::StartPlayThread() {
    const auto start = CurrentHooks().start_play_thread;
    return start ? start(*this) : kNoPlayer;
}

void* MidiF0Data::PlayThread(void*) {
    if (const auto body = CurrentHooks().play_thread) body();
    return nullptr;
}

int MidiF0Data::Stop() {
    // Nothing plays without a player: stopped already.
    const auto stop = CurrentHooks().stop;
    return stop ? stop(*this) : 1;
}
