#include "status/ConnectionDeadlines.h"

#include <algorithm>
#include <sys/socket.h>

namespace quietmon {

ConnectionDeadlines::ConnectionDeadlines(Clock::duration lifetime)
    : m_lifetime(lifetime), m_thread([this] { cutOverdueUntilStopped(); }) {}

ConnectionDeadlines::~ConnectionDeadlines() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

void ConnectionDeadlines::opened(const void* connection, int socket) {
    {
        const std::lock_guard lock(m_mutex);
        m_open[connection] = {socket, Clock::now() + m_lifetime};
    }
    m_changed.notify_one();
}

void ConnectionDeadlines::closed(const void* connection) {
    const std::lock_guard lock(m_mutex);
    m_open.erase(connection);
}

void ConnectionDeadlines::cutOverdueUntilStopped() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const auto now = Clock::now();
        auto next = Clock::time_point::max();
        for (auto open = m_open.begin(); open != m_open.end();) {
            if (open->second.deadline <= now) {
                ::shutdown(open->second.socket, SHUT_RDWR); // under the lock: the socket is still open
                open = m_open.erase(open);
            } else {
                next = std::min(next, open->second.deadline);
                ++open;
            }
        }
        if (next == Clock::time_point::max())
            m_changed.wait(lock);
        else
            m_changed.wait_until(lock, next);
    }
}

} // namespace quietmon
