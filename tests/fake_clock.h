#pragma once
// A clock that moves only when the test says so. Threads sleeping on it wake
// when it is moved past their deadline, or when they are stopped.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stop_token>

#include "core/Clock.h"

class FakeClock : public Clock {
public:
    TimePoint now() const override
    {
        std::lock_guard lock(mutex_);
        return now_;
    }

    bool sleepUntil(TimePoint deadline, std::stop_token stop) const override
    {
        std::unique_lock lock(mutex_);
        if (now_ >= deadline)
            return true;
        const auto mine = deadlines_.insert(deadline);
        changed_.notify_all();
        const bool reached = changed_.wait(lock, stop, [&] { return now_ >= deadline; });
        deadlines_.erase(mine);
        changed_.notify_all();
        return reached;
    }

    // Time since the clock was made.
    Duration elapsed() const { return now() - start_; }

    // Moves the clock to `sinceStart` after its start (never backwards).
    void setElapsed(Duration sinceStart)
    {
        std::lock_guard lock(mutex_);
        now_ = std::max(now_, start_ + sinceStart);
        changed_.notify_all();
    }

    // Waits (in real time, at most `timeout`) until exactly `n` threads sleep
    // on this clock towards a deadline still ahead: the threads woken by the
    // last move have done what they do before they sleep again.
    bool waitUntilAsleep(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return sleepingAhead() == n; });
    }

private:
    std::size_t sleepingAhead() const
    {
        return std::size_t(std::distance(deadlines_.upper_bound(now_), deadlines_.end()));
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    const TimePoint start_{std::chrono::hours(1)};
    TimePoint now_ = start_;
    mutable std::multiset<TimePoint> deadlines_;
};
