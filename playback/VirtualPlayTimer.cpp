// The virtual-clock timer: firings happen when the driver advances the clock.
#include "playback/VirtualPlayTimer.h"

#include <algorithm>

PlayTimer::Micros VirtualPlayTimer::Now() {
    std::lock_guard lock(state_mutex_);
    return now_;
}

void VirtualPlayTimer::Install(Routine routine) {
    std::lock_guard lock(state_mutex_);
    routine_ = routine;
    primed_ = false;
    woken_ = false;
}

void VirtualPlayTimer::PrimeAt(Micros due) {
    {
        std::lock_guard lock(state_mutex_);
        primed_ = routine_ != nullptr;
        due_ = due;
    }
    primed_changed_.notify_all();
}

void VirtualPlayTimer::Wake() {
    {
        std::lock_guard lock(state_mutex_);
        woken_ = true;
    }
    // Nobody may be driving the clock while a stop waits for the sequencer:
    // the woken routine runs here and now. When a routine is running
    // already (perhaps this very call comes from it), the flag does.
    if (firing_thread_.load() == std::this_thread::get_id()) return;
    std::unique_lock firing(firing_mutex_, std::try_to_lock);
    if (!firing.owns_lock()) return;
    Routine routine = nullptr;
    {
        std::lock_guard lock(state_mutex_);
        if (!primed_ || !routine_ || !woken_) return;
        primed_ = false;
        woken_ = false;
        routine = routine_;
    }
    RunRoutine(routine);
}

void VirtualPlayTimer::RunRoutine(Routine routine) {
    firing_thread_.store(std::this_thread::get_id());
    routine(this);
    firing_thread_.store(std::thread::id());
}

void VirtualPlayTimer::Remove() {
    std::scoped_lock lock(firing_mutex_, state_mutex_);
    routine_ = nullptr;
    primed_ = false;
    woken_ = false;
}

std::optional<PlayTimer::Micros> VirtualPlayTimer::NextDue() {
    std::lock_guard lock(state_mutex_);
    if (!primed_) return std::nullopt;
    return woken_ ? now_ : std::max(due_, now_);
}

bool VirtualPlayTimer::FireIfDue(std::optional<Micros> limit) {
    std::lock_guard firing(firing_mutex_);
    Routine routine = nullptr;
    {
        std::lock_guard lock(state_mutex_);
        if (!primed_ || !routine_) return false;
        const Micros due = woken_ ? now_ : std::max(due_, now_);
        if (limit && due > *limit) return false;
        now_ = due;
        primed_ = false;
        woken_ = false;
        routine = routine_;
    }
    RunRoutine(routine);
    return true;
}

int VirtualPlayTimer::AdvanceTo(Micros limit) {
    int firings = 0;
    while (FireIfDue(limit)) ++firings;
    std::lock_guard lock(state_mutex_);
    now_ = std::max(now_, limit);
    return firings;
}

bool VirtualPlayTimer::FireNext() {
    return FireIfDue(std::nullopt);
}

int VirtualPlayTimer::RunUntilIdle(int max_firings) {
    int firings = 0;
    while (firings < max_firings && FireNext()) ++firings;
    return firings;
}

bool VirtualPlayTimer::WaitUntilPrimed(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_mutex_);
    return primed_changed_.wait_for(lock, timeout, [this] { return primed_; });
}
