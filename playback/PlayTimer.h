/// @file
/// The one-shot timer that drives the sequencer: a routine primed for an
/// absolute due time, run once when that time comes and primed again from
/// within itself. RealPlayTimer waits on steady_clock deadlines in a thread of
/// its own; VirtualPlayTimer (VirtualPlayTimer.h) is driven step by step.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

/// The clock and one-shot task that drive the sequencer (real or virtual).
class PlayTimer {
public:
    using Micros = std::chrono::microseconds;  ///< time since the timer's epoch
    /// The task; gets its timer.
    using Routine = void (*)(PlayTimer* timer);

    PlayTimer() = default;
    virtual ~PlayTimer() = default;
    PlayTimer(const PlayTimer&) = delete;
    PlayTimer& operator=(const PlayTimer&) = delete;

    virtual Micros Now() = 0;  ///< the timer's time
    /// Makes routine the timer's task; nothing runs until PrimeAt.
    virtual void Install(Routine routine) = 0;
    /// The routine runs once at due, at once when due has passed. May be
    /// called from within the routine; a later call replaces an earlier one.
    virtual void PrimeAt(Micros due) = 0;
    /// A primed routine runs at once instead of at its due time (a stop
    /// request should not wait for the end of a long rest).
    virtual void Wake() = 0;
    /// No routine runs after this returns; a running one is waited for.
    /// Never call it from within the routine.
    virtual void Remove() = 0;
};

/// The platform timer: a thread that sleeps until the primed deadline.
class RealPlayTimer final : public PlayTimer {
public:
    RealPlayTimer();
    ~RealPlayTimer() override;

    Micros Now() override;  ///< the steady clock since the timer was made
    void Install(Routine routine) override;
    void PrimeAt(Micros due) override;
    void Wake() override;
    void Remove() override;

private:
    void Run();

    const std::chrono::steady_clock::time_point epoch_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Routine routine_ = nullptr;
    bool primed_ = false;
    bool quit_ = false;
    bool woken_ = false;  // stays set until the next firing, even when not primed yet
    Micros due_{0};
    std::thread thread_;
};
