#include "platform/linux/X11DesktopWindows.h"

// Xlib's macros (None, Bool, Status) would break Google Test's own names, so it comes first.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quietmon {
namespace {

using namespace std::chrono_literals;

// The display the test environment started; the tests that need it are skipped without one.
std::optional<std::string> environmentDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return std::nullopt;
    return std::string(display);
}

// A client of the test's own on an X display: it creates the windows that the object under test looks for.
class TestClient {
public:
    explicit TestClient(const std::string& displayName) : m_display(XOpenDisplay(displayName.c_str())) {
        if (!m_display)
            throw std::runtime_error("cannot open display " + displayName);
    }
    ~TestClient() { XCloseDisplay(m_display); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    Display* display() const { return m_display; }

    Window createWindow() {
        const Window window =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 40, 30, 0, 0, 0);
        XSync(m_display, False);
        return window;
    }

    // WM_NAME as Latin-1 text.
    void setLegacyName(Window window, const std::string& latin1) {
        setProperty(window, XA_WM_NAME, XA_STRING, latin1);
    }
    void setUtf8Name(Window window, const std::string& utf8) {
        setProperty(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), utf8);
    }
    void setClass(Window window, const std::string& instance, const std::string& className) {
        setProperty(window, XA_WM_CLASS, XA_STRING, instance + '\0' + className + '\0');
    }
    void setPid(Window window, long pid) {
        XChangeProperty(m_display, window, atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        XSync(m_display, False);
    }
    // What a window manager puts on each window it manages.
    void markManaged(Window window) {
        const long state[] = {NormalState, None};
        XChangeProperty(m_display, window, atom("WM_STATE"), atom("WM_STATE"), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
        XSync(m_display, False);
    }
    void setClientList(const std::vector<Window>& windows) {
        const std::vector<long> ids(windows.begin(), windows.end());
        XChangeProperty(m_display, DefaultRootWindow(m_display), atom("_NET_CLIENT_LIST"), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(ids.data()),
                        static_cast<int>(ids.size()));
        XSync(m_display, False);
    }
    Window createChild(Window parent) {
        const Window window = XCreateSimpleWindow(m_display, parent, 0, 0, 20, 20, 0, 0, 0);
        XSync(m_display, False);
        return window;
    }
    void map(Window window) {
        XMapWindow(m_display, window);
        XSync(m_display, False);
    }
    void destroy(Window window) {
        XDestroyWindow(m_display, window);
        XSync(m_display, False);
    }

private:
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    void setProperty(Window window, Atom property, Atom type, const std::string& bytes) {
        XChangeProperty(m_display, window, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        XSync(m_display, False);
    }

    Display* m_display;
};

// A window "Playout - Studio 1" of class "PlayoutMain" (instance "playout"), mapped, with this process's id.
Window createPlayoutWindow(TestClient& client) {
    const Window window = client.createWindow();
    client.setLegacyName(window, "Playout - Studio 1");
    client.setUtf8Name(window, "Playout - Studio 1");
    client.setClass(window, "playout", "PlayoutMain");
    client.setPid(window, getpid());
    client.map(window);
    return window;
}

const TopLevelWindow* findHandle(const std::vector<TopLevelWindow>& windows, Window handle) {
    const auto found = std::find_if(windows.begin(), windows.end(), [handle](const TopLevelWindow& window) {
        return window.handle == handle;
    });
    return found == windows.end() ? nullptr : &*found;
}

bool displayNumberTaken(int number) {
    const std::string n = std::to_string(number);
    std::error_code error;
    return std::filesystem::exists("/tmp/.X" + n + "-lock", error) ||
           std::filesystem::exists("/tmp/.X11-unix/X" + n, error);
}

// An Xvfb of the test's own, which the test may kill as a crash would and start again on the same number.
class PrivateXServer {
public:
    PrivateXServer() {
        for (int number = 180; number < 260; ++number) {
            if (!displayNumberTaken(number) && start(number))
                return;
        }
        throw std::runtime_error("no free display number for a private Xvfb");
    }
    ~PrivateXServer() { stop(SIGTERM); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    std::string name() const { return ":" + std::to_string(m_number); }

    void crash() { stop(SIGKILL); }

    void restart() {
        if (!start(m_number))
            throw std::runtime_error("Xvfb did not start again on " + name());
    }

private:
    static constexpr int readyDescriptor = 3;

    // True once the server accepts connections: it writes its display number to -displayfd then.
    bool start(int number) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], readyDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string display = ":" + std::to_string(number);
        const std::string descriptor = std::to_string(readyDescriptor);
        const char* argv[] = {"Xvfb",       display.c_str(), "-nolisten",        "tcp",  "-screen", "0",
                              "320x240x24", "-displayfd",    descriptor.c_str(), nullptr};
        pid_t pid = -1;
        const int failed =
            posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        if (failed) {
            close(ready[0]);
            return false;
        }
        m_pid = pid;
        m_number = number;
        m_serving = waitUntilReady(ready[0]);
        close(ready[0]);
        if (!m_serving)
            stop(SIGKILL);
        return m_serving;
    }

    static bool waitUntilReady(int descriptor) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::string written;
        while (written.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left <= 0ms)
                return false;
            pollfd readable{descriptor, POLLIN, 0};
            const int polled = poll(&readable, 1, static_cast<int>(left.count()));
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                return false;
            char buffer[32];
            const ssize_t count = read(descriptor, buffer, sizeof buffer);
            if (count <= 0) // the server ended before it was ready
                return false;
            written.append(buffer, static_cast<std::size_t>(count));
        }
        return true;
    }

    void stop(int signal) {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, signal);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        // A killed server leaves its socket behind; one that was told to end has removed it already. One
        // that never served may have failed for a socket that another server owns.
        if (m_serving) {
            std::error_code ignored;
            std::filesystem::remove("/tmp/.X11-unix/X" + std::to_string(m_number), ignored);
        }
        m_serving = false;
    }

    int m_number = -1;
    pid_t m_pid = -1;
    bool m_serving = false;
};

class X11DesktopWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<std::string> display = environmentDisplay();
        if (!display)
            GTEST_SKIP() << "DISPLAY is not set";
        m_client.emplace(*display);
    }

    TestClient& client() { return *m_client; }

    X11DesktopWindows m_windows;
    std::optional<TestClient> m_client;
};

TEST_F(X11DesktopWindowsTest, AWindowIsFoundByItsWholeTitleOrClassNameInAnyLetterCase) {
    const Window window = createPlayoutWindow(client());

    const std::optional<TopLevelWindow> byTitle = m_windows.findWindow("Playout - Studio 1", false);
    ASSERT_TRUE(byTitle);
    EXPECT_EQ(byTitle->handle, window);
    EXPECT_EQ(byTitle->title, "Playout - Studio 1");
    EXPECT_EQ(byTitle->className, "PlayoutMain");
    EXPECT_TRUE(byTitle->visible);
    EXPECT_EQ(byTitle->processId, getpid());

    const std::optional<TopLevelWindow> byTitleInCapitals = m_windows.findWindow("PLAYOUT - studio 1", false);
    ASSERT_TRUE(byTitleInCapitals);
    EXPECT_EQ(byTitleInCapitals->handle, window);

    const std::optional<TopLevelWindow> byClass = m_windows.findWindow("playoutMAIN", true);
    ASSERT_TRUE(byClass);
    EXPECT_EQ(byClass->handle, window);
    EXPECT_EQ(byClass->title, "Playout - Studio 1");
    EXPECT_EQ(byClass->processId, getpid());

    client().destroy(window);
}

TEST_F(X11DesktopWindowsTest, PartOfATitleTheInstanceNameOrATitleAsClassDoNotMatch) {
    const Window window = createPlayoutWindow(client());

    for (const auto& [text, byClass] :
         {std::pair{"Playout", false}, std::pair{"Playout - Studio", false}, std::pair{"playout", true},
          std::pair{"Playout - Studio 1", true}, std::pair{"PlayoutMain", false}}) {
        const std::optional<TopLevelWindow> found = m_windows.findWindow(text, byClass);
        EXPECT_TRUE(!found || found->handle != window) << text << (byClass ? " as class" : " as title");
    }
    EXPECT_FALSE(m_windows.findWindow("", false));
    EXPECT_FALSE(m_windows.findWindow("", true));

    client().destroy(window);
}

TEST_F(X11DesktopWindowsTest, TheListingShowsEachWindowWithItsVisibility) {
    const Window shown = createPlayoutWindow(client());
    const Window hidden = client().createWindow();
    client().setLegacyName(hidden, "Hidden helper");

    const std::vector<TopLevelWindow> windows = m_windows.listWindows();
    const TopLevelWindow* playout = findHandle(windows, shown);
    ASSERT_NE(playout, nullptr);
    EXPECT_EQ(playout->title, "Playout - Studio 1");
    EXPECT_EQ(playout->className, "PlayoutMain");
    EXPECT_TRUE(playout->visible);
    EXPECT_EQ(playout->processId, getpid());
    const TopLevelWindow* helper = findHandle(windows, hidden);
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(helper->title, "Hidden helper");
    EXPECT_EQ(helper->className, "");
    EXPECT_FALSE(helper->visible);
    EXPECT_TRUE(m_windows.windowExists(shown));

    client().destroy(hidden);
    client().destroy(shown);
}

TEST_F(X11DesktopWindowsTest, ADestroyedWindowIsNoLongerFoundAndNoLongerExists) {
    const Window window = createPlayoutWindow(client());
    ASSERT_TRUE(m_windows.windowExists(window));

    client().destroy(window);

    const std::optional<TopLevelWindow> found = m_windows.findWindow("Playout - Studio 1", false);
    EXPECT_TRUE(!found || found->handle != window);
    EXPECT_FALSE(m_windows.windowExists(window));
    EXPECT_EQ(findHandle(m_windows.listWindows(), window), nullptr);
}

TEST_F(X11DesktopWindowsTest, TheUtf8TitleWinsOverTheLegacyOneAndOnlyAsciiLettersFoldCase) {
    const Window window = client().createWindow();
    client().setLegacyName(window, "Studio (legacy)");
    client().setUtf8Name(window, "Studio \xC3\x9C 2"); // "Studio Ü 2"

    const std::optional<TopLevelWindow> found = m_windows.findWindow("studio \xC3\x9C 2", false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->handle, window);
    EXPECT_EQ(found->title, "Studio \xC3\x9C 2");
    const std::optional<TopLevelWindow> otherCaseU = m_windows.findWindow("Studio \xC3\xBC 2", false);
    EXPECT_TRUE(!otherCaseU || otherCaseU->handle != window);
    const std::optional<TopLevelWindow> legacy = m_windows.findWindow("Studio (legacy)", false);
    EXPECT_TRUE(!legacy || legacy->handle != window);

    client().destroy(window);
}

TEST_F(X11DesktopWindowsTest, ALatin1LegacyTitleReadsAsUtf8) {
    const Window window = client().createWindow();
    client().setLegacyName(window, "Caf\xE9 Radio"); // Latin-1

    const std::optional<TopLevelWindow> found = m_windows.findWindow("caf\xC3\xA9 radio", false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->handle, window);
    EXPECT_EQ(found->title, "Caf\xC3\xA9 Radio");

    client().destroy(window);
}

TEST_F(X11DesktopWindowsTest, WindowsClosingWhileTheyAreLookedAtNeverTakeTheProcessDown) {
    const Window anchor = createPlayoutWindow(client());
    const std::string displayName = DisplayString(client().display());

    // A second client that keeps opening and closing windows, so that some close between the listing and
    // the questions about them.
    std::jthread churn([displayName](std::stop_token stop) {
        TestClient churner(displayName);
        Display* display = churner.display();
        std::vector<Window> open;
        for (unsigned round = 0; !stop.stop_requested(); ++round) {
            const Window window =
                XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 5, 5, 0, 0, 0);
            XStoreName(display, window, "Churn");
            XMapWindow(display, window);
            open.push_back(window);
            if (open.size() > 6) {
                XDestroyWindow(display, open.front());
                open.erase(open.begin());
            }
            if (round % 16 == 0)
                XSync(display, False);
            else
                XFlush(display);
        }
        for (const Window window : open)
            XDestroyWindow(display, window);
        XSync(display, False);
    });

    for (int round = 0; round < 300; ++round) {
        const std::vector<TopLevelWindow> windows = m_windows.listWindows();
        const TopLevelWindow* listed = findHandle(windows, anchor);
        ASSERT_NE(listed, nullptr) << "round " << round;
        EXPECT_EQ(listed->title, "Playout - Studio 1");
        for (const TopLevelWindow& window : windows)
            EXPECT_NE(window.handle, 0u);

        const std::optional<TopLevelWindow> found = m_windows.findWindow("Playout - Studio 1", false);
        ASSERT_TRUE(found) << "round " << round;
        EXPECT_EQ(found->handle, anchor);
        if (const std::optional<TopLevelWindow> churned = m_windows.findWindow("CHURN", false))
            EXPECT_EQ(churned->title, "Churn");
        EXPECT_TRUE(m_windows.windowExists(anchor));
    }
    churn.request_stop();
    churn.join();

    client().destroy(anchor);
}

TEST_F(X11DesktopWindowsTest, AHandleThatNeverNamedAWindowDoesNotExist) {
    std::mt19937 random(std::random_device{}());
    // The last client slots of the server's id space, which nothing here uses.
    std::uniform_int_distribution<std::uint64_t> unused(0x1F000000, 0x1FFFFFFF);
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(m_windows.windowExists(unused(random)));
    EXPECT_FALSE(m_windows.windowExists(0));
    // Too wide for an X id: it must not be cut down to one that exists.
    const Window window = client().createWindow();
    EXPECT_TRUE(m_windows.windowExists(window));
    EXPECT_FALSE(m_windows.windowExists((std::uint64_t{1} << 32) | window));
    client().destroy(window);
}

TEST(X11DesktopWindowsServerLoss, AServerThatDiesIsSeenAsNoDesktopAndOneThatReturnsIsFoundAgain) {
    PrivateXServer server;
    X11DesktopWindows windows(server.name());
    Window window = None;
    {
        TestClient client(server.name());
        // The window outlives the client, so that it is there until the server dies.
        XSetCloseDownMode(client.display(), RetainPermanent);
        window = client.createWindow();
        client.setLegacyName(window, "Private Studio");
        client.map(window);
    }
    const std::optional<TopLevelWindow> before = windows.findWindow("private studio", false);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->handle, window);
    EXPECT_TRUE(windows.windowExists(window));

    server.crash();

    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(windows.listWindows().empty());
        EXPECT_FALSE(windows.findWindow("Private Studio", false));
        EXPECT_FALSE(windows.findWindow("Private Studio", true));
        EXPECT_FALSE(windows.windowExists(window));
    }

    server.restart();
    TestClient client(server.name());
    const Window again = client.createWindow();
    client.setLegacyName(again, "Private Studio");
    client.map(again);

    const std::optional<TopLevelWindow> after = windows.findWindow("Private Studio", false);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->handle, again);
    EXPECT_TRUE(after->visible);
    EXPECT_EQ(after->processId, getpid());
    EXPECT_TRUE(windows.windowExists(again));
    EXPECT_NE(findHandle(windows.listWindows(), again), nullptr);
}

TEST(X11DesktopWindowsServerLoss, AnObjectWhoseServerDiedClosesQuietly) {
    std::optional<PrivateXServer> server(std::in_place);
    {
        X11DesktopWindows windows(server->name());
        EXPECT_TRUE(windows.listWindows().empty()); // a fresh server has no top-level windows
        server->crash();
        server.reset();
    }
    SUCCEED();
}

TEST(X11DesktopWindowsServerLoss, AnObjectThatSawItsServerDieOnAnotherThreadIsDestroyedWithoutWaiting) {
    PrivateXServer server;
    auto windows = std::make_unique<X11DesktopWindows>(server.name());
    EXPECT_TRUE(windows->listWindows().empty());
    server.crash();

    // The thread that sees the server die stays alive while another destroys the object, so that the two
    // can never share a thread id.
    std::promise<void> seen;
    auto destroyed = std::make_shared<std::promise<void>>();
    std::shared_future<void> done = destroyed->get_future().share();
    std::thread user([&windows, &seen, done] {
        EXPECT_TRUE(windows->listWindows().empty());
        seen.set_value();
        done.wait_for(10s);
    });
    seen.get_future().wait();
    std::thread destroyer([windows = std::move(windows), destroyed]() mutable {
        windows.reset();
        destroyed->set_value();
    });
    const bool finished = done.wait_for(10s) == std::future_status::ready;
    user.join();
    if (!finished) {
        destroyer.detach();
        FAIL() << "the destructor is still waiting";
    }
    destroyer.join();
}

std::vector<Window> handlesOf(const std::vector<TopLevelWindow>& windows) {
    std::vector<Window> handles;
    for (const TopLevelWindow& window : windows)
        handles.push_back(window.handle);
    return handles;
}

// A server of its own, since the test plays the window manager on it.
TEST(X11DesktopWindowsManaged, WithAWindowManagerOnlyItsClientWindowsAreListedInItsOrder) {
    PrivateXServer server;
    TestClient client(server.name());
    const Window frame = client.createWindow();
    const Window framed = client.createChild(frame);
    client.setLegacyName(framed, "Framed client");
    client.markManaged(framed);
    const Window unframed = client.createWindow();
    client.setLegacyName(unframed, "Unframed client");
    client.markManaged(unframed);
    const Window helper = client.createWindow();
    client.setLegacyName(helper, "Helper");
    X11DesktopWindows windows(server.name());

    EXPECT_EQ(handlesOf(windows.listWindows()), (std::vector<Window>{framed, unframed}));
    const std::optional<TopLevelWindow> found = windows.findWindow("framed client", false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->handle, framed);
    EXPECT_FALSE(windows.findWindow("Helper", false));

    client.setClientList({unframed, framed});

    EXPECT_EQ(handlesOf(windows.listWindows()), (std::vector<Window>{unframed, framed}));
}

TEST(X11DesktopWindowsNoDisplay, WithoutADisplayNothingIsFound) {
    int number = 987;
    while (displayNumberTaken(number))
        ++number;
    X11DesktopWindows windows(":" + std::to_string(number));

    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(windows.listWindows().empty());
        EXPECT_FALSE(windows.findWindow("Playout - Studio 1", false));
        EXPECT_FALSE(windows.findWindow("PlayoutMain", true));
        EXPECT_FALSE(windows.windowExists(0x200001));
    }
}

} // namespace
} // namespace quietmon
