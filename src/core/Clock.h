#pragma once
// Where waits measured in seconds take their time from. The program uses the
// machine's steady clock; tests put in a clock that moves only when told, so
// that a 70-second wait takes milliseconds.

#include <chrono>
#include <stop_token>

class Clock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    virtual TimePoint now() const = 0;

    // Sleeps until `deadline` (returns at once if it has passed) or until a
    // stop is requested through `stop`, whichever comes first; never spins.
    // True when the deadline was reached, false when stopped.
    virtual bool sleepUntil(TimePoint deadline, std::stop_token stop) const = 0;

    // The machine's steady clock; lives as long as the program.
    static const Clock& steady();
};
