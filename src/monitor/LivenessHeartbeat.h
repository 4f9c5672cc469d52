#pragma once

#include "runtime/EventLoop.h"
#include "runtime/Liveness.h"

#include <memory>

namespace quietmon {

// Reports the logic thread alive from its own loop, as often as the watcher asks: a logic timer ticks only
// when the loop gets round to it, so a thread stuck in a handler goes silent. Idle without a watcher.
class LivenessHeartbeat {
public:
    LivenessHeartbeat(EventLoop& loop, Liveness& liveness);

private:
    std::unique_ptr<Timer> m_heartbeatTimer;
};

} // namespace quietmon
