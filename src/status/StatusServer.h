#pragma once

#include "status/StatusAddress.h"
#include "status/StatusBoard.h"

#include <optional>
#include <string>

struct MHD_Connection;
struct MHD_Daemon;

namespace quietmon {

// The read-only HTTP status endpoint: GET /metrics (Prometheus' text format) and /status (JSON), made from
// the latest snapshot on the board. libmicrohttpd serves it on a thread of its own, so scrapes are
// answered while the logic thread is blocked in a task, and bounds what a client can take: a few
// connections at a time, a small memory budget each (huge headers are refused), and a time-out that
// closes a connection which drips its request. Anything else than GET or HEAD of the two pages is
// refused; with a token, a request without "Authorization: Bearer <token>" too.
class StatusServer {
public:
    static constexpr unsigned connectionLimit = 16;
    static constexpr unsigned connectionsPerClient = 8;
    static constexpr std::size_t memoryPerConnection = 16 * 1024;
    static constexpr unsigned idleTimeoutSeconds = 5;

    StatusServer(const StatusBoard& board, std::string token);
    ~StatusServer();
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Starts listening; the reason when it cannot.
    std::optional<std::string> start(const StatusListenAddress& address);

private:
    struct Answer {
        unsigned status;
        std::string body;
        const char* contentType;
    };
    Answer answer(MHD_Connection* connection, const std::string& method, const std::string& path) const;
    bool authorised(MHD_Connection* connection) const;
    friend struct StatusServerCallbacks; // libmicrohttpd's side

    const StatusBoard& m_board;
    std::string m_token;
    MHD_Daemon* m_daemon = nullptr;
};

} // namespace quietmon
