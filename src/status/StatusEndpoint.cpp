#include "status/StatusEndpoint.h"

namespace quietmon {

StatusEndpoint::StatusEndpoint(Monitor& monitor) : m_monitor(monitor) {
    const GeneralSettings& general = monitor.settings().general;
    const StatusEndpointPlan plan = planStatusEndpoint(general);
    if (const auto* refused = std::get_if<StatusEndpointRefused>(&plan)) {
        monitor.logEvent("Status endpoint not started - " + refused->reason);
        return;
    }
    const auto* address = std::get_if<StatusListenAddress>(&plan);
    if (!address)
        return;
    // The first snapshot is there before the first request can come.
    monitor.setStatusBoard(&m_board);
    auto server = std::make_unique<StatusServer>(m_board, general.statusToken);
    if (const auto failure = server->start(*address)) {
        monitor.setStatusBoard(nullptr);
        monitor.logEvent("Status endpoint not started - " + *failure);
        return;
    }
    m_server = std::move(server);
    monitor.logEvent("Status endpoint listening on " + general.statusAddress);
}

StatusEndpoint::~StatusEndpoint() {
    m_server.reset(); // no request is being answered from here on
    m_monitor.setStatusBoard(nullptr);
}

} // namespace quietmon
