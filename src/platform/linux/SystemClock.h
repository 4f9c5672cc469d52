#pragma once

#include "platform/Clock.h"

namespace quietmon {

// The computer's local time; sleeping blocks the calling thread for real.
class SystemClock final : public Clock {
public:
    DateTime now() const override;
    void sleep(int ms) override;
};

} // namespace quietmon
