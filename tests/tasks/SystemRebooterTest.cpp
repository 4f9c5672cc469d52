#include "tasks/reboot/SystemRebooter.h"

#include "fakes/FakeShutdown.h"

#include <gtest/gtest.h>
#include <ostream>

namespace quietmon {
namespace {

using Strings = std::vector<std::string>;

struct RebootCase {
    const char* name;
    RebootAnswer answer;
    bool doReboot;
    std::string mayAnswer;
    std::optional<std::string> refusal;
    Strings events; // what the manager was asked, the marker saved, the program closed, in order
    Strings log;
};

void PrintTo(const RebootCase& reboot, std::ostream* out) {
    *out << reboot.name;
}

class SystemRebooterTest : public ::testing::TestWithParam<RebootCase> {};

TEST_P(SystemRebooterTest, ClosesTheProgramOnlyOnceTheSystemTookTheRequest) {
    Strings events;
    Strings log;
    test::FakeRebootPrompt prompt;
    prompt.answer = GetParam().answer;
    test::FakeSystemShutdown shutdown(events);
    shutdown.answer = GetParam().mayAnswer;
    shutdown.refusal = GetParam().refusal;
    SystemRebooter rebooter(
        prompt, shutdown, [&log](const std::string& text) { log.push_back(text); },
        [&events](bool rebooting) { events.push_back(rebooting ? "marker saved" : "marker cleared"); },
        [&events] { events.push_back("program closed"); });
    RebootSettings settings;
    settings.kind = GetParam().doReboot ? RebootKind::Reboot : RebootKind::Shutdown;
    rebooter.reboot(settings);
    EXPECT_EQ(events, GetParam().events);
    EXPECT_EQ(log, GetParam().log);
}

const Strings rebooted{"may Reboot", "marker saved", "shut down Reboot", "program closed"};

INSTANTIATE_TEST_SUITE_P(
    Answers, SystemRebooterTest,
    ::testing::Values(
        RebootCase{"countdownRanOut", RebootAnswer::CountdownEnded, true, "yes", {}, rebooted, {}},
        RebootCase{"yes", RebootAnswer::Yes, true, "yes", {}, rebooted, {}},
        RebootCase{"no", RebootAnswer::No, true, "yes", {}, {}, {"Reboot suppressed by user"}},
        RebootCase{"shutdown",
                   RebootAnswer::CountdownEnded,
                   false,
                   "yes",
                   {},
                   {"may PowerOff", "marker saved", "shut down PowerOff", "program closed"},
                   {}},
        RebootCase{"notAllowed",
                   RebootAnswer::CountdownEnded,
                   true,
                   "no",
                   {},
                   {"may Reboot"},
                   {"Reboot failed - no"}},
        RebootCase{"needsAPassword",
                   RebootAnswer::CountdownEnded,
                   true,
                   "challenge",
                   {},
                   {"may Reboot"},
                   {"Reboot failed - challenge"}},
        RebootCase{"refused",
                   RebootAnswer::CountdownEnded,
                   true,
                   "yes",
                   "Interactive authentication required.",
                   {"may Reboot", "marker saved", "shut down Reboot", "marker cleared"},
                   {"Reboot failed - Interactive authentication required."}}));

} // namespace
} // namespace quietmon
