// The status endpoint over real loopback connections: its pages, its refusals, and the bounds it keeps
// against clients that send too much, too slowly or too often.
#include "status/StatusServer.h"

#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

// A free port on 127.0.0.1, given back at once for the server to take.
int freePort() {
    int port = 0;
    const int socket = test::listenOnLoopback(port);
    ::close(socket);
    return port;
}

int connectTo(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// Everything the server sends until it closes the connection or `limit` passes.
std::string readUntilClosed(int socket, std::chrono::milliseconds limit = 3000ms) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{socket, POLLIN, 0};
        if (left <= 0ms || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            return received + "<still open>";
        char buffer[4096];
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            return received;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

// The status line of the answer to `request`, or "closed" when the server closed without one.
std::string statusOf(int port, const std::string& request, std::string* body = nullptr) {
    const int socket = connectTo(port);
    if (socket < 0)
        return "refused";
    test::sendAll(socket, request);
    const std::string answer = readUntilClosed(socket);
    ::close(socket);
    if (body)
        *body = answer.substr(std::min(answer.size(), answer.find("\r\n\r\n") + 4));
    return answer.starts_with("HTTP/1.1 ") ? answer.substr(9, 3) : "closed";
}

std::string get(const std::string& path, const std::string& headers = "") {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n";
}

class StatusServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        StatusSnapshot snapshot;
        snapshot.version = "1.4";
        snapshot.channels = {ChannelStatus{"left", "Studio L", -60, {}},
                             ChannelStatus{"right", "Studio R", -61, {}}};
        snapshot.alarmActive = true;
        snapshot.taskFailures = {{"Send email", 2}};
        snapshot.statusText = "Silence!";
        board.publish(snapshot);
    }
    // A server on a free loopback port, with `token` required when not empty.
    std::unique_ptr<StatusServer> serve(const std::string& token = "") {
        port = freePort();
        auto server = std::make_unique<StatusServer>(board, token);
        EXPECT_EQ(server->start({"127.0.0.1", port, false, true}), std::nullopt);
        return server;
    }

    StatusBoard board;
    int port = 0;
};

TEST_F(StatusServerTest, RequestsAreAnsweredOrRefusedByPathMethodAndToken) {
    const auto open = serve();
    const int openPort = port;
    const auto guarded = serve("s3cret");
    const int guardedPort = port;
    struct Case {
        const char* what;
        int port;
        std::string request;
        const char* status;
    };
    const Case cases[] = {
        {"the metrics", openPort, get("/metrics"), "200"},
        {"the status", openPort, get("/status"), "200"},
        {"an unknown path", openPort, get("/admin"), "404"},
        {"a query string does not hide a path", openPort, get("/metrics/../etc/passwd"), "404"},
        {"a POST", openPort,
         "POST /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: 3\r\n\r\nabc", "405"},
        {"no token where one is needed", guardedPort, get("/metrics"), "401"},
        {"a wrong token", guardedPort, get("/metrics", "Authorization: Bearer s3cre7\r\n"), "401"},
        {"the token in another scheme", guardedPort, get("/metrics", "Authorization: Basic s3cret\r\n"),
         "401"},
        {"the right token", guardedPort, get("/status", "Authorization: Bearer s3cret\r\n"), "200"},
        {"the token does not open unknown paths", guardedPort, get("/x", "Authorization: Bearer s3cret\r\n"),
         "404"},
        {"headers larger than a connection may hold", openPort,
         get("/metrics", "X-Padding: " + std::string(64 * 1024, 'a') + "\r\n"), "431"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(statusOf(c.port, c.request), c.status);
    }
}

TEST_F(StatusServerTest, ThePagesCarryTheSnapshot) {
    const auto server = serve();
    std::string metrics;
    std::string status;
    ASSERT_EQ(statusOf(port, get("/metrics"), &metrics), "200");
    ASSERT_EQ(statusOf(port, get("/status"), &status), "200");
    EXPECT_NE(metrics.find("quietmon_alarm_active 1"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("quietmon_level_dbfs{channel=\"left\"} -60"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("quietmon_task_failures_total{kind=\"Send email\"} 2"), std::string::npos)
        << metrics;
    EXPECT_NE(status.find("\"status\":\"Silence!\""), std::string::npos) << status;
    EXPECT_NE(status.find("\"name\":\"Studio R\""), std::string::npos) << status;
}

TEST_F(StatusServerTest, AClientThatDripsItsRequestIsCutOffAtTheIdleTimeOut) {
    const auto server = serve();
    const int socket = connectTo(port);
    test::sendAll(socket, "GET /metr");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readUntilClosed(socket, std::chrono::seconds(StatusServer::idleTimeoutSeconds + 3)), "");
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(StatusServer::idleTimeoutSeconds - 1));
    ::close(socket);
}

TEST_F(StatusServerTest, ConnectionsBeyondTheLimitOfOneClientAreClosedAndTheOthersStillServed) {
    const auto server = serve();
    std::vector<int> held;
    for (unsigned i = 0; i < StatusServer::connectionsPerClient; ++i)
        held.push_back(connectTo(port));
    EXPECT_EQ(statusOf(port, get("/metrics")), "closed");
    for (const int socket : held)
        ::close(socket);
    held.clear();
    // The server counts a closed connection free only once it has seen the close, so a client that comes
    // straight back may be turned away once or twice; within a few seconds it must be served.
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    do
        answer = statusOf(port, get("/metrics"));
    while (answer != "200" && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(answer, "200");
}

} // namespace
} // namespace quietmon
