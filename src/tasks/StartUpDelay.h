#pragma once

#include "runtime/DateTime.h"

namespace quietmon {

// The start-up delay: from the start of a run no silence is counted and no alarm task runs until the
// delay has passed. Once it has passed it never applies again in this run, whatever delay is set later.
class StartUpDelay {
public:
    void start(DateTime at) {
        m_start = at;
        m_passed = false;
    }

    // Whether a delay of `seconds` still holds at `now`.
    bool holds(DateTime now, int seconds) {
        if (m_passed)
            return false;
        if (secondsBetween(m_start, now) < seconds)
            return true;
        m_passed = true;
        return false;
    }

private:
    DateTime m_start; // the zero date before a start: the delay has long passed
    bool m_passed = false;
};

} // namespace quietmon
