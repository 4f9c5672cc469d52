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
    m_address = *address;
    m_addressText = general.statusAddress;
    m_server = std::make_unique<StatusServer>(m_board, general.statusToken);
    m_server->setHistoryFiles(HistoryRecorder::levelHistoryPath(monitor.folders().dataFolder),
                              HistoryRecorder::alarmHistoryPath(monitor.folders().dataFolder));
    tryToListen();
}

StatusEndpoint::~StatusEndpoint() {
    m_server.reset(); // no request is being answered from here on
    m_monitor.setStatusBoard(nullptr);
}

void StatusEndpoint::tryToListen() {
    // The first snapshot is there before the first request can come.
    m_monitor.setStatusBoard(&m_board);
    const auto failure = m_server->start(m_address);
    if (!failure) {
        if (m_retry)
            m_retry->setEnabled(false);
        m_monitor.logEvent("Status endpoint listening on " + m_addressText);
        return;
    }
    m_monitor.setStatusBoard(nullptr);
    if (m_retry)
        return; // logged when it first failed
    m_monitor.logEvent("Status endpoint not started - " + *failure + "; trying again every " +
                       std::to_string(retryIntervalMs / 1000) + " s");
    m_retry = m_monitor.loop().createTimer([this] { tryToListen(); });
    m_retry->setInterval(retryIntervalMs);
    m_retry->setEnabled(true);
}

} // namespace quietmon
