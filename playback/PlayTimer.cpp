// The real-time timer of the sequencer: one thread waiting on absolute
// steady_clock deadlines, so no firing's lateness shifts the ones after it.
#include "playback/PlayTimer.h"

#include <pthread.h>
#include <sched.h>

namespace {

// Under load the timer's lateness is the wait for a processor. Where the
// system allows it (rtprio limit, CAP_SYS_NICE), the timer thread takes a
// modest real-time priority, as audio programs do; else it stays ordinary.
constexpr int kTimerPriority = 10;

void RaiseTimerPriority() {
    sched_param param{};
    param.sched_priority = kTimerPriority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

RealPlayTimer::RealPlayTimer() : epoch_(std::chrono::steady_clock::now()) {}

RealPlayTimer::~RealPlayTimer() {
    Remove();
}

PlayTimer::Micros RealPlayTimer::Now() {
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now() - epoch_);
}

void RealPlayTimer::Install(Routine routine) {
    std::lock_guard lock(mutex_);
    routine_ = routine;
    primed_ = false;
    quit_ = false;
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void RealPlayTimer::PrimeAt(Micros due) {
    {
        std::lock_guard lock(mutex_);
        primed_ = true;
        due_ = due;
    }
    changed_.notify_one();
}

void RealPlayTimer::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    changed_.notify_one();
}

void RealPlayTimer::Remove() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        primed_ = false;
    }
    changed_.notify_one();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void RealPlayTimer::Run() {
    RaiseTimerPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || primed_; });
        if (quit_) return;
        const auto deadline = epoch_ + due_;
        if (!woken_ && std::chrono::steady_clock::now() < deadline) {
            // Woken early by a new prime, a wake or spuriously: look again.
            changed_.wait_until(lock, deadline);
            continue;
        }
        primed_ = false;
        woken_ = false;
        const Routine routine = routine_;
        lock.unlock();
        if (routine) routine(this);
        lock.lock();
    }
}
