#include "core/Clock.h"

#include <condition_variable>
#include <mutex>

namespace {

class SteadyClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }

    bool sleepUntil(TimePoint deadline, std::stop_token stop) const override
    {
        // Nothing ever notifies this condition variable but a stop request:
        // the wait ends at the deadline or on the stop, not before.
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, deadline, [] { return false; });
        return !stop.stop_requested();
    }
};

} // namespace

const Clock& Clock::steady()
{
    static const SteadyClock clock;
    return clock;
}
