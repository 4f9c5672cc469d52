// The kill task's steps in virtual time, over a fake desktop and fake processes.
#include "tasks/kill/ApplicationKiller.h"

#include "fakes/FakeDesktopWindows.h"
#include "fakes/FakeProcesses.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

class ApplicationKillerTest : public ::testing::Test {
protected:
    ApplicationKillerTest() {
        windows.loop = &loop;
        processes.loop = &loop;
    }

    VirtualEventLoop loop;
    test::FakeDesktopWindows windows;
    test::FakeProcesses processes;
    std::vector<std::int64_t> repaintsAtMs;
    std::vector<std::string> logged;
    ApplicationKiller killer{windows, processes, loop.clock(),
                             [this] { repaintsAtMs.push_back(loop.elapsedMs()); },
                             [this](const std::string& line) { logged.push_back(line); }};
};

TEST_F(ApplicationKillerTest, TheFirstWindowWithTheTitleTheClassOrBothIsTheOneAskedToClose) {
    const std::uint64_t playoutMain = windows.open("Playout", "PlayoutMain");
    const std::uint64_t playoutEditor = windows.open("Playout", "Editor");
    windows.open("News", "PlayoutMain");
    struct Case {
        const char* title;
        const char* windowClass;
        std::uint64_t asked; // 0: none
    };
    for (const Case& c :
         {Case{"PLAYOUT", "", playoutMain}, Case{"", "editor", playoutEditor},
          Case{"playout", "EDITOR", playoutEditor}, Case{"News", "Editor", 0}, Case{"Playou", "", 0}}) {
        windows.closeRequests.clear();
        killer.killApplication(c.title, c.windowClass);
        if (c.asked == 0) {
            EXPECT_TRUE(windows.closeRequests.empty()) << c.title << "/" << c.windowClass;
        } else {
            ASSERT_EQ(windows.closeRequests.size(), 1u) << c.title << "/" << c.windowClass;
            EXPECT_EQ(windows.closeRequests[0].handle, c.asked) << c.title << "/" << c.windowClass;
        }
    }
}

TEST_F(ApplicationKillerTest, ATargetWithNeitherTitleNorClassIsNotLookedForAndTakesNoTime) {
    windows.open("", "");
    killer.killApplication("", "");
    EXPECT_EQ(windows.searches, 0);
    EXPECT_EQ(loop.elapsedMs(), 0);
    EXPECT_TRUE(repaintsAtMs.empty());
}

TEST_F(ApplicationKillerTest, NoMatchingWindowMeansNoRepaintNoRequestAndNoTime) {
    windows.open("Playout", "PlayoutMain");
    killer.killApplication("Playout 2", "");
    EXPECT_EQ(loop.elapsedMs(), 0);
    EXPECT_TRUE(repaintsAtMs.empty());
    EXPECT_TRUE(windows.closeRequests.empty());
}

TEST_F(ApplicationKillerTest, TheWindowIsCheckedOnceASecondForTenSecondsBeforeItsProcessIsEnded) {
    struct Case {
        const char* what;
        test::FakeDesktopWindows::CloseBehaviour behaviour;
        std::int64_t requestReturnsAfterMs;
        std::int64_t returnsAfterMs;
        bool ended;
    };
    // The first check comes straight after the request, the tenth nine seconds later; the process is
    // ended a second after the tenth. A hung application holds the request for its whole 3 s.
    for (const Case& c :
         {Case{"gone at the first check", {0, false}, 0, 0, false},
          Case{"gone 4.5 s after the request", {4500, false}, 0, 5000, false},
          Case{"never gone", {-1, false}, 0, 10'000, true}, Case{"hung", {-1, true}, 3000, 13'000, true}}) {
        const std::uint64_t window = windows.open(c.what, "Target");
        windows.closeBehaviours[window] = c.behaviour;
        processes.ended.clear();
        const std::int64_t start = loop.elapsedMs();

        killer.killApplication(c.what, "");

        ASSERT_FALSE(repaintsAtMs.empty()) << c.what;
        EXPECT_EQ(repaintsAtMs.back(), start) << c.what;
        ASSERT_FALSE(windows.closeRequests.empty()) << c.what;
        EXPECT_EQ(windows.closeRequests.back().atMs - start, c.requestReturnsAfterMs) << c.what;
        EXPECT_EQ(loop.elapsedMs() - start, c.returnsAfterMs) << c.what;
        EXPECT_EQ(processes.ended.size(), c.ended ? 1u : 0u) << c.what;
        std::erase_if(windows.windows, [window](const TopLevelWindow& w) { return w.handle == window; });
    }
}

// The window's process is the one the window service names; whether it still is the one that had the id
// at the look-up is the process service's to check, against the moment before the look-up.
TEST_F(ApplicationKillerTest, OnlyAProcessThatCanBeTiedToTheWindowIsEnded) {
    struct Case {
        const char* what;
        int pid;
        bool ended;
    };
    for (const Case& c : {Case{"the owner", 5000, true}, Case{"no process id", 0, false},
                          Case{"the kernel's init", 1, false}, Case{"this program", 777, false}}) {
        windows.windows.clear();
        windows.open("Stuck", "Target", c.pid);
        processes.ended.clear();
        const std::uint64_t lookUp = processes.processClockNow();

        killer.killApplication("Stuck", "");

        using Ends = std::vector<test::FakeProcesses::EndRequest>;
        const Ends expected = c.ended ? Ends{{c.pid, lookUp}} : Ends{};
        EXPECT_EQ(processes.ended, expected) << c.what;
    }
    EXPECT_TRUE(logged.empty());
}

TEST_F(ApplicationKillerTest, WithoutPidfdNothingIsSignalledAndTheLogSaysSo) {
    processes.pidfdSupported = false;
    windows.open("Stuck", "Target", 5000);
    killer.killApplication("Stuck", "");
    EXPECT_TRUE(processes.ended.empty());
    EXPECT_EQ(logged,
              std::vector<std::string>{
                  "Kill application failed - this system cannot end a process safely (no pidfd support)"});
}

} // namespace
} // namespace quietmon
