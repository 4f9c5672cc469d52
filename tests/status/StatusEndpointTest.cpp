// The status endpoint as the program makes it from its settings, on the monitor's loop in virtual time and
// real loopback sockets: a port another program holds at the start is tried again until it is free.
#include "status/StatusEndpoint.h"

#include "support/LoopbackSocket.h"
#include "support/MonitorHarness.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

class StatusEndpointTest : public ::testing::Test, protected test::MonitorHarness {
protected:
    // How many lines of the log read `text` (after their "yyyy-mm-dd hh:nn:ss; ").
    int countLogged(const std::string& text) const {
        const std::string log = logText();
        int count = 0;
        for (std::size_t start = 0; start < log.size();) {
            const std::size_t end = log.find("\r\n", start);
            count += log.compare(start + 21, end - start - 21, text) == 0 ? 1 : 0;
            start = end + 2;
        }
        return count;
    }
    // The status of the answer to a scrape, or "nothing" when nothing listens on the port.
    static std::string scrape(int port) {
        const int socket = test::connectToLoopback(port);
        if (socket < 0)
            return "nothing";
        test::sendAll(socket, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
        const std::string answer = test::readUntilClosed(socket, 3000ms);
        ::close(socket);
        return answer.substr(0, 12);
    }
};

TEST_F(StatusEndpointTest, APortHeldAtTheStartIsTriedAgainEveryThirtySecondsUntilTheEndpointListens) {
    int port = 0;
    const int holder = test::listenOnLoopback(port);
    const std::string address = "127.0.0.1:" + std::to_string(port);
    writeSettings("[General]\nLogEvents=1\nStartUpDelay=0\nStatusAddress=" + address + "\n");
    startUp();
    const StatusEndpoint endpoint(monitor);
    const std::string failed = "Status endpoint not started - cannot listen on " + address +
                               ": Address already in use; trying again every 30 s";
    const std::string listening = "Status endpoint listening on " + address;
    EXPECT_EQ(countLogged(failed), 1);

    loop.advance(3 * StatusEndpoint::retryIntervalMs); // three more tries while the port is held
    ::close(holder);
    loop.advance(StatusEndpoint::retryIntervalMs - 1);
    EXPECT_EQ(scrape(port), "nothing");
    EXPECT_EQ(countLogged(listening), 0);

    loop.advance(1);
    EXPECT_EQ(scrape(port), "HTTP/1.1 200");
    EXPECT_EQ(countLogged(failed), 1) << "one line for every failed try would flood the log";
    EXPECT_EQ(countLogged(listening), 1);
    loop.advance(2 * StatusEndpoint::retryIntervalMs);
    EXPECT_EQ(countLogged(listening), 1);
}

} // namespace
} // namespace quietmon
