// The kill task with the real window and process services: X clients in processes the test starts, on
// the test environment's Xvfb (which has no window manager: a close request reaches the window itself).
#include "platform/linux/LinuxProcesses.h"
#include "platform/linux/X11DesktopWindows.h"
#include "support/PrivateXServer.h"
#include "tasks/kill/ApplicationKiller.h"

// Xlib's macros (None, Bool, Status) would break Google Test's own names, so it comes first.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
// clang-format on

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quietmon {
namespace {

using namespace std::chrono_literals;

// Waits last a tenth of what they are asked, so that real clients get real time to answer and the ten
// checks take a second.
class ShortWaitClock final : public Clock {
public:
    DateTime now() const override { return DateTime(); }
    void sleep(int ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms / 10));
        ++sleeps;
        if (onSleep)
            onSleep(sleeps);
    }

    int sleeps = 0;
    std::function<void(int)> onSleep;
};

// A process the test starts; killed, if it still runs, when the test ends.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, bool readWindow) {
        int output[2];
        int input[2];
        if (pipe2(output, O_CLOEXEC) != 0 || pipe2(input, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const int failed = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(output[1]);
        close(input[0]);
        m_input = input[1]; // held open: the client ends when it closes
        if (failed)
            throw std::runtime_error("cannot start " + arguments[0]);
        if (readWindow)
            window = readWindowLine(output[0]);
        close(output[0]);
    }
    ~ChildProcess() {
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_input);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    // The wait status once it has ended, within `timeout`; nothing while it runs.
    std::optional<int> endStatus(std::chrono::milliseconds timeout = 0ms) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_status) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
            else if (std::chrono::steady_clock::now() >= deadline)
                break;
            else
                std::this_thread::sleep_for(20ms);
        }
        return m_status;
    }
    bool endedByItself(std::chrono::milliseconds timeout = 5s) {
        const std::optional<int> status = endStatus(timeout);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }
    bool killed(std::chrono::milliseconds timeout = 5s) {
        const std::optional<int> status = endStatus(timeout);
        return status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL;
    }

    Window window = 0;

private:
    static Window readWindowLine(int fd) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd readable{fd, POLLIN, 0};
            if (poll(&readable, 1, 100) <= 0)
                continue;
            char buffer[64];
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(count));
        }
        if (line.rfind("window ", 0) != 0)
            throw std::runtime_error("the test client did not open its window");
        return std::stoul(line.substr(7));
    }

    pid_t m_pid = -1;
    int m_input = -1;
    std::optional<int> m_status;
};

// `options` as x11-test-client takes them.
std::unique_ptr<ChildProcess> startClient(const std::string& title, const std::string& windowClass,
                                          const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments{QUIETMON_X11_TEST_CLIENT, title, windowClass};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return std::make_unique<ChildProcess>(arguments, true);
}

class ApplicationKillerX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "DISPLAY is not set";
    }
    // Titles of this test's own, apart from whatever else the shared display shows.
    std::string title(const std::string& what) const { return what + " " + std::to_string(getpid()); }

    X11DesktopWindows windows;
    LinuxProcesses processes;
    ShortWaitClock clock;
    std::vector<std::string> logged;
    ApplicationKiller::Log log = [this](const std::string& line) { logged.push_back(line); };
    ApplicationKiller killer{windows, processes, clock, {}, log};
};

TEST_F(ApplicationKillerX11Test, AClientThatTakesTheRequestClosesItselfBeforeTheTenChecksEnd) {
    const auto client = startClient(title("Well behaved"), "KillTest");
    killer.killApplication(title("Well behaved"), "");
    EXPECT_TRUE(client->endedByItself());
    EXPECT_LT(clock.sleeps, ApplicationKiller::closeChecks);
}

TEST_F(ApplicationKillerX11Test, AClientThatIgnoresTheRequestIsKilledAfterTheTenChecks) {
    const auto client = startClient(title("Stubborn"), "KillTest", {"--ignore-close"});
    killer.killApplication("", "KillTest");
    EXPECT_TRUE(client->killed());
    EXPECT_EQ(clock.sleeps, ApplicationKiller::closeChecks);
    EXPECT_TRUE(logged.empty());
}

TEST_F(ApplicationKillerX11Test, OfTwoWindowsWithTheSameTitleOnlyTheFirstFoundIsHandled) {
    const auto one = startClient(title("Twin"), "KillTest");
    const auto other = startClient(title("Twin"), "KillTest");
    const std::optional<TopLevelWindow> first = windows.findWindow(title("Twin"), false);
    ASSERT_TRUE(first);
    ChildProcess& handled = first->handle == one->window ? *one : *other;
    ChildProcess& left = first->handle == one->window ? *other : *one;

    killer.killApplication(title("TWIN"), "");

    EXPECT_TRUE(handled.endedByItself());
    EXPECT_FALSE(left.endStatus(500ms));
}

TEST_F(ApplicationKillerX11Test, AClassWithATitleThatNoWindowOfThatClassHasFindsNothing) {
    const auto playout = startClient(title("Playout"), "KillTestPlayout");
    const auto news = startClient(title("News"), "KillTestNews");
    killer.killApplication(title("News"), "KillTestPlayout");
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_FALSE(playout->endStatus(500ms));
    EXPECT_FALSE(news->endStatus());
}

// A window may name any process in _NET_WM_PID; only the X server's record of its client counts. Without
// X-Resource the server keeps none, and nothing is signalled at all.
TEST_F(ApplicationKillerX11Test, OnlyTheServersRecordOfTheClientNamesTheProcessToEnd) {
    test::PrivateXServer withoutRecords({"-extension", "X-Resource"});
    const struct {
        const char* what;
        std::string display;
        bool ownerKilled;
    } cases[] = {{"with X-Resource", std::getenv("DISPLAY"), true},
                 {"without X-Resource", withoutRecords.name(), false}};
    for (const auto& c : cases) {
        ChildProcess decoy({"sleep", "30"}, false);
        const auto liar = startClient(
            title("Liar"), "KillTest",
            {"--ignore-close", "--claim-pid=" + std::to_string(decoy.pid()), "--display=" + c.display});
        X11DesktopWindows display(c.display);
        ShortWaitClock wait;
        ApplicationKiller liarKiller(display, processes, wait, {}, log);

        liarKiller.killApplication(title("Liar"), "");

        EXPECT_EQ(liar->killed(1s), c.ownerKilled) << c.what;
        EXPECT_FALSE(decoy.endStatus()) << c.what;
    }
    EXPECT_TRUE(logged.empty());
}

// The signal goes through a descriptor of the process, and only to one that runs and had started by the
// look-up: one started later only reuses the id of a process that has ended.
TEST(ApplicationKillerProcessEnd, OnlyAProcessThatStartedByTheLookUpAndStillRunsIsEnded) {
    LinuxProcesses processes;
    ChildProcess before({"sleep", "30"}, false);
    ChildProcess exited({"true"}, false);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(exited.pid()), &info, WEXITED | WNOWAIT), 0); // a zombie now
    const std::uint64_t lookUp = processes.processClockNow();
    std::this_thread::sleep_for(50ms); // a later tick of the process clock
    ChildProcess after({"sleep", "30"}, false);

    EXPECT_EQ(processes.forceEnd(after.pid(), lookUp), ProcessEnd::NoSuchProcess);
    EXPECT_EQ(processes.forceEnd(exited.pid(), lookUp), ProcessEnd::NoSuchProcess);
    EXPECT_EQ(processes.forceEnd(before.pid(), lookUp), ProcessEnd::Ended);
    EXPECT_TRUE(before.killed());
    EXPECT_EQ(processes.forceEnd(before.pid(), lookUp), ProcessEnd::NoSuchProcess); // reaped: the id is free
    EXPECT_FALSE(after.endStatus(200ms));
}

} // namespace
} // namespace quietmon
