#pragma once

#include "config/StatusAddress.h"
#include "monitor/StatusBoard.h"
#include "status/ConnectionDeadlines.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>

struct MHD_Connection;
struct MHD_Daemon;

namespace quietmon {

// The read-only HTTP status endpoint: GET /metrics (Prometheus' text format) and /status (JSON), made from
// the latest snapshot on the board, /history (JSON) from the history files, and / (a page for people that
// holds no data and fetches the others, so it is served without the token). libmicrohttpd serves it on a
// thread of its own, so scrapes are answered while the logic thread is blocked in a task. Every request is
// answered as soon as its headers are in, before any body is read (none is taken), and its connection closed
// after the answer: a client without the token learns no more than a 401. Anything else than GET or HEAD of
// the two pages is refused; with a token, a request without "Authorization: Bearer <token>" too.
//
// What one client can take is bounded so that clients which drip their requests cannot crowd out a
// scraper: a few connections per address, each closed when idle for a few seconds and, whatever it sends,
// at a deadline from its acceptance; a small memory budget each (huge headers are refused); and room for
// many more connections than a few such addresses can hold.
class StatusServer {
public:
    static constexpr unsigned connectionLimit = 64;
    static constexpr unsigned connectionsPerClient = 4;
    static constexpr std::size_t memoryPerConnection = 16 * 1024;
    static constexpr unsigned idleTimeoutSeconds = 5;
    static constexpr std::chrono::seconds connectionDeadline{10};

    StatusServer(const StatusBoard& board, const std::string& token);
    ~StatusServer();
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Where /history finds the level and alarm history; before `start`.
    void setHistoryFiles(std::string levelHistoryPath, std::string alarmHistoryPath) {
        m_levelHistoryPath = std::move(levelHistoryPath);
        m_alarmHistoryPath = std::move(alarmHistoryPath);
    }
    // Starts listening; the reason when it cannot. It may be called again after a failure.
    std::optional<std::string> start(const StatusListenAddress& address);

private:
    using Digest = std::array<unsigned char, 32>; // SHA-256
    struct Answer {
        unsigned status;
        std::string body;
        const char* contentType;
    };
    Answer answer(MHD_Connection* connection, const std::string& method, const std::string& path) const;
    bool authorised(MHD_Connection* connection) const;
    friend struct StatusServerCallbacks; // libmicrohttpd's side

    const StatusBoard& m_board;
    bool m_tokenNeeded;
    Digest m_tokenDigest; // the token itself is not kept
    ConnectionDeadlines m_deadlines{connectionDeadline};
    MHD_Daemon* m_daemon = nullptr;
    std::string m_levelHistoryPath;
    std::string m_alarmHistoryPath;
};

} // namespace quietmon
