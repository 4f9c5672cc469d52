#pragma once

#include "app/Monitor.h"
#include "status/StatusBoard.h"
#include "status/StatusServer.h"

#include <memory>

namespace quietmon {

// The status endpoint as `General`/`StatusAddress` and `StatusToken` ask for it, made once the settings
// are loaded and the log is open: off, refused with a line in the log, or listening (logged too). The
// monitor publishes its snapshots for it only while it listens.
class StatusEndpoint {
public:
    explicit StatusEndpoint(Monitor& monitor);
    ~StatusEndpoint();
    StatusEndpoint(const StatusEndpoint&) = delete;
    StatusEndpoint& operator=(const StatusEndpoint&) = delete;

private:
    Monitor& m_monitor;
    StatusBoard m_board;
    std::unique_ptr<StatusServer> m_server;
};

} // namespace quietmon
