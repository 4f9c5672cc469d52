#pragma once

#include "runtime/DateTime.h"

namespace quietmon {

// Local wall-clock time and blocking waits of the logic thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() const = 0;
    // Blocks the logic thread for `ms` milliseconds. Nothing else of the logic runs meanwhile: events
    // posted and timers falling due in the wait are delivered after the handler that slept returns.
    virtual void sleep(int ms) = 0;
};

} // namespace quietmon
