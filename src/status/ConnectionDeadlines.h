#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace quietmon {

// The connections of the status endpoint, each with the moment it was accepted, and a thread of its own
// that cuts every one still open `lifetime` later, whatever its client sends in the meantime: the HTTP
// server's own time-out counts only idle time, so a client that sends a byte every few seconds would
// otherwise hold its connection as long as it likes. A connection is cut by shutting its socket down,
// which the server then sees as a client gone; the socket is never closed here, and `closed` must be
// called before the server closes it, so that a socket number used again is never shut down by mistake.
class ConnectionDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    explicit ConnectionDeadlines(Clock::duration lifetime);
    ~ConnectionDeadlines();
    ConnectionDeadlines(const ConnectionDeadlines&) = delete;
    ConnectionDeadlines& operator=(const ConnectionDeadlines&) = delete;

    void opened(const void* connection, int socket);
    void closed(const void* connection);

private:
    struct Open {
        int socket;
        Clock::time_point deadline;
    };
    void cutOverdueUntilStopped();

    const Clock::duration m_lifetime;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<const void*, Open> m_open; // not yet cut
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace quietmon
