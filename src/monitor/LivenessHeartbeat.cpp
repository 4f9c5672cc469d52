#include "monitor/LivenessHeartbeat.h"

namespace quietmon {

LivenessHeartbeat::LivenessHeartbeat(EventLoop& loop, Liveness& liveness)
    : m_heartbeatTimer(loop.createTimer([&liveness] { liveness.stillAlive(); })) {
    if (liveness.reportIntervalMs() <= 0)
        return;
    m_heartbeatTimer->setInterval(liveness.reportIntervalMs());
    m_heartbeatTimer->setEnabled(true);
}

} // namespace quietmon
