#pragma once

#include "monitor/Monitor.h"
#include "monitor/StatusBoard.h"
#include "runtime/Timer.h"
#include "status/StatusServer.h"

#include <memory>

namespace quietmon {

// The status endpoint as `General`/`StatusAddress` and `StatusToken` ask for it, made once the settings
// are loaded and the log is open: off, refused with a line in the log, or listening (logged too). An
// address it cannot listen on at first (another program holds the port, the network is not up yet) is
// tried again every 30 s, with one line in the log when it first fails and one when it listens: a port
// left to whoever takes it would let them answer for the monitor and collect the scrapers' token. The
// monitor publishes its snapshots for it only while it listens.
class StatusEndpoint {
public:
    static constexpr int retryIntervalMs = 30'000;

    explicit StatusEndpoint(Monitor& monitor);
    ~StatusEndpoint();
    StatusEndpoint(const StatusEndpoint&) = delete;
    StatusEndpoint& operator=(const StatusEndpoint&) = delete;

private:
    void tryToListen();

    Monitor& m_monitor;
    StatusBoard m_board;
    // As the settings were at the start: the Setup dialog may change them, for the next start.
    StatusListenAddress m_address;
    std::string m_addressText;
    std::unique_ptr<StatusServer> m_server;
    std::unique_ptr<Timer> m_retry; // made when the address first could not be listened on
};

} // namespace quietmon
