// logind's methods over sd-bus, against a fake logind on a system bus of the test's own.
#include "platform/linux/LogindShutdown.h"

#include "support/FakeLogind.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Calls = std::vector<std::string>;

TEST(LogindShutdownTest, AsksWhetherItMayAndHandsTheAnswerOver) {
    test::FakeLogind logind({{"CanReboot", "no"}, {"CanPowerOff", "challenge"}});
    ASSERT_TRUE(logind.ownsTheSystemBus());
    LogindShutdown shutdown;
    EXPECT_EQ(shutdown.mayShutDown(ShutdownKind::Reboot), "no");
    EXPECT_EQ(shutdown.mayShutDown(ShutdownKind::PowerOff), "challenge");
    EXPECT_EQ(logind.calls(), (Calls{"CanReboot", "CanPowerOff"}));
}

TEST(LogindShutdownTest, RebootsAndPowersOffWithoutInteraction) {
    test::FakeLogind logind;
    ASSERT_TRUE(logind.ownsTheSystemBus());
    LogindShutdown shutdown;
    EXPECT_EQ(shutdown.shutDown(ShutdownKind::Reboot), std::nullopt);
    EXPECT_EQ(shutdown.shutDown(ShutdownKind::PowerOff), std::nullopt);
    EXPECT_EQ(logind.calls(), (Calls{"Reboot False", "PowerOff False"}));
}

TEST(LogindShutdownTest, ARefusedRebootGivesTheManagersReason) {
    test::FakeLogind logind;
    ASSERT_TRUE(logind.ownsTheSystemBus());
    logind.refuse("Reboot", "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                  "Interactive authentication required.");
    EXPECT_EQ(LogindShutdown().shutDown(ShutdownKind::Reboot), "Interactive authentication required.");
}

// sd-bus alone would wait 25 s for an answer, and 90 s for a bus that takes the connection but says nothing.
class LogindShutdownStallTest : public ::testing::TestWithParam<test::FakeLogind::Part> {};

TEST_P(LogindShutdownStallTest, NoAnswerIsARefusalAfterFiveSeconds) {
    test::FakeLogind logind;
    ASSERT_TRUE(logind.ownsTheSystemBus());
    logind.freeze(GetParam());
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = LogindShutdown().mayShutDown(ShutdownKind::Reboot);
    const auto waited = std::chrono::steady_clock::now() - start;
    logind.thaw();
    EXPECT_EQ(answer, "the login manager did not answer within 5 seconds");
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
    EXPECT_LT(waited, std::chrono::seconds(7));
}

INSTANTIATE_TEST_SUITE_P(Stalls, LogindShutdownStallTest,
                         ::testing::Values(test::FakeLogind::Part::Manager, test::FakeLogind::Part::Bus),
                         [](const auto& info) {
                             return std::string(info.param == test::FakeLogind::Part::Manager ? "Manager"
                                                                                              : "Bus");
                         });

TEST(LogindShutdownTest, WithoutASystemBusTheAnswerSaysWhy) {
    test::TempFolder empty;
    const std::string nowhere = "unix:path=" + empty.file("no_bus");
    test::EnvironmentOverride noBus("DBUS_SYSTEM_BUS_ADDRESS", nowhere);
    ASSERT_EQ(std::string(std::getenv("DBUS_SYSTEM_BUS_ADDRESS")), nowhere);
    const std::string answer = LogindShutdown().mayShutDown(ShutdownKind::Reboot);
    EXPECT_NE(answer, "yes");
    EXPECT_FALSE(answer.empty());
    EXPECT_TRUE(LogindShutdown().shutDown(ShutdownKind::Reboot).has_value());
}

} // namespace
} // namespace quietmon
