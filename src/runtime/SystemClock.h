#pragma once

#include "runtime/Clock.h"
#include "runtime/Liveness.h"

namespace quietmon {

// The computer's local time; sleeping blocks the calling thread for real.
class SystemClock final : public Clock {
public:
    explicit SystemClock(Liveness& liveness = unwatched()) : m_liveness(liveness) {}

    DateTime now() const override;
    // A long sleep (a Delay, a pin held for seconds, the kill task's checks) still reports the thread alive.
    void sleep(int ms) override;

private:
    Liveness& m_liveness;
};

} // namespace quietmon
