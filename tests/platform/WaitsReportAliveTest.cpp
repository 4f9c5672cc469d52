// The logic thread's waits that may outlast a watchdog report the thread alive while they last: a
// notification socket of the test's own hears WATCHDOG=1 all through each.
#include "platform/VirtualEventLoop.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/SystemdNotifier.h"
#include "support/NotifySocket.h"
#include "support/SmtpTestServer.h"
#include "tasks/email/EmailSender.h"

#include <functional>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using namespace std::chrono_literals;

struct BlockingWait {
    const char* name;
    std::function<void(Liveness&)> wait; // holds the thread about 2.5 s
};

void sendTo(const test::SmtpTestServer& server, Liveness& liveness) {
    PosixNetwork network(liveness);
    VirtualEventLoop loop;
    EmailSender sender(
        network, loop.clock(), "quietmon", [](std::string_view text) { return std::string(text); },
        [](const std::string&) {}, {}, SmtpTimeouts{2000ms, 2500ms});
    EmailSettings settings;
    settings.from = "monitor@example.org";
    settings.to = "desk@example.org";
    settings.smtp = server.address();
    sender.sendEmail(settings, QueueKind::Alarm);
}

TEST(WaitsReportAliveTest, EveryLongWaitOfTheLogicThreadReportsItAliveWhileItLasts) {
    const test::SmtpTestServer silentServer({.mode = "silent"});
    const BlockingWait waits[] = {
        {"the clock's sleep (Delay, a held pin, the kill task's checks)",
         [](Liveness& liveness) { SystemClock(liveness).sleep(2500); }},
        {"the wait for an SMTP reply",
         [&silentServer](Liveness& liveness) { sendTo(silentServer, liveness); }},
    };
    for (const BlockingWait& wait : waits) {
        SCOPED_TRACE(wait.name);
        test::NotifySocket socket(4000ms); // reports every 1000 ms are asked for
        SystemdNotifier notifier;
        const auto from = std::chrono::steady_clock::now();
        wait.wait(notifier);
        const auto to = std::chrono::steady_clock::now();
        socket.texts(2);
        EXPECT_GE(to - from, 2400ms);
        // A message is stamped when the socket's thread reads it, a little after it was sent.
        EXPECT_GE(socket.countOf("WATCHDOG=1", from, to + 100ms), 2u);
        EXPECT_LT(socket.longestSilence("WATCHDOG=1", from, to), 2000ms); // half the time-out
    }
}

} // namespace
} // namespace quietmon
