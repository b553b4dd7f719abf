/// @file
/// A timer on a virtual clock: time moves only when its driver says so, and
/// each due routine runs on the driver's thread. Offline rendering and the
/// tests drive the sequencer with it.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "playback/PlayTimer.h"

/// A timer whose clock moves only when told: tests play songs in exact microseconds.
class VirtualPlayTimer final : public PlayTimer {
public:
    VirtualPlayTimer() = default;
    ~VirtualPlayTimer() override { Remove(); }

    Micros Now() override;  ///< the virtual time
    void Install(Routine routine) override;
    void PrimeAt(Micros due) override;
    /// Runs a primed routine at once, at the current virtual time, on the
    /// caller's thread: a stop must not wait for the driver.
    void Wake() override;
    void Remove() override;

    /// The due time of the primed routine (Now() after a wake); empty when
    /// nothing is primed.
    std::optional<Micros> NextDue();
    /// Runs every routine due up to limit, moving the clock to each due time
    /// in turn, then sets the clock to limit. Returns the number of firings.
    int AdvanceTo(Micros limit);
    int AdvanceBy(Micros step) { return AdvanceTo(Now() + step); }  ///< AdvanceTo(Now() + step)
    /// Runs the primed routine at its due time (if any); false when nothing
    /// was primed.
    bool FireNext();
    /// Fires until nothing is primed any more or max_firings were run.
    int RunUntilIdle(int max_firings = 1000000);
    /// Waits (in real time) until a routine is primed, for threads that
    /// install and prime the timer while the test thread drives it.
    bool WaitUntilPrimed(std::chrono::milliseconds timeout);

private:
    bool FireIfDue(std::optional<Micros> limit);
    void RunRoutine(Routine routine);  // with firing_mutex_ held

    std::mutex state_mutex_;
    std::condition_variable primed_changed_;
    std::mutex firing_mutex_;  // held while a routine runs, so Remove waits for it
    std::atomic<std::thread::id> firing_thread_{};  // the thread running the routine
    Routine routine_ = nullptr;
    bool primed_ = false;
    bool woken_ = false;
    Micros due_{0};
    Micros now_{0};
};
