#include "platform/linux/X11DesktopWindows.h"

#include "support/PrivateXServer.h"

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
#include <cstring>
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
using test::displayNumberTaken;
using test::PrivateXServer;

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

TEST_F(X11DesktopWindowsTest, TitleAndClassTogetherFindTheFirstWindowThatHasBoth) {
    const Window playout = createPlayoutWindow(client());
    const Window editor = client().createWindow();
    client().setLegacyName(editor, "Playout - Studio 1");
    client().setClass(editor, "editor", "PlayoutEditor");

    const std::optional<TopLevelWindow> both =
        m_windows.findWindowByTitleAndClass("playout - studio 1", "PLAYOUTEDITOR");
    ASSERT_TRUE(both);
    EXPECT_EQ(both->handle, editor);
    EXPECT_EQ(m_windows.findWindowByTitleAndClass("", "playoutmain").value_or(TopLevelWindow{}).handle,
              playout);
    EXPECT_FALSE(m_windows.findWindowByTitleAndClass("Playout - Studio 2", "PlayoutMain"));
    EXPECT_FALSE(m_windows.findWindowByTitleAndClass("", ""));

    client().destroy(editor);
    client().destroy(playout);
}

TEST_F(X11DesktopWindowsTest, ACloseRequestGoesToAWindowThatTakesItElseToTheWindowManager) {
    Display* display = client().display();
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    const Atom closeWindow = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
    const Window takesIt = client().createWindow();
    XSetWMProtocols(display, takesIt, &deleteWindow, 1);
    const Window doesNot = client().createWindow();
    // Where a window manager would listen.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    EXPECT_TRUE(m_windows.requestWindowClose(takesIt, 3000));
    EXPECT_TRUE(m_windows.requestWindowClose(doesNot, 3000));

    std::vector<std::pair<Window, Atom>> requests; // the window, and what it was asked
    XSync(display, False);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != ClientMessage)
            continue;
        if (event.xclient.message_type == protocols)
            requests.emplace_back(event.xclient.window, static_cast<Atom>(event.xclient.data.l[0]));
        else if (event.xclient.message_type == closeWindow)
            requests.emplace_back(event.xclient.window, closeWindow);
    }
    EXPECT_EQ(requests,
              (std::vector<std::pair<Window, Atom>>{{takesIt, deleteWindow}, {doesNot, closeWindow}}));
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    client().destroy(doesNot);
    client().destroy(takesIt);
}

TEST_F(X11DesktopWindowsTest, RequestsAboutAWindowThatVanishedFailQuietly) {
    const Window window = createPlayoutWindow(client());
    const std::optional<TopLevelWindow> found = m_windows.findWindow("Playout - Studio 1", false);
    ASSERT_TRUE(found);
    client().destroy(window);

    EXPECT_FALSE(m_windows.requestWindowClose(found->handle, 3000));
    EXPECT_EQ(m_windows.windowProcessId(found->handle), 0);
    EXPECT_FALSE(m_windows.windowExists(found->handle));
    const Window other = createPlayoutWindow(client());
    EXPECT_EQ(m_windows.windowProcessId(other), getpid());
    client().destroy(other);
}

// A window may claim any process in _NET_WM_PID, with WM_CLIENT_MACHINE naming this computer: only the
// server's record of its client (X-Resource) names the process, and without that record none is known.
TEST(X11DesktopWindowsProcessId, OnlyTheServersRecordOfTheClientNamesTheProcess) {
    PrivateXServer withRecords;
    PrivateXServer withoutRecords({"-extension", "X-Resource"});
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    for (const auto& [server, expected] :
         {std::pair{&withRecords, static_cast<int>(getpid())}, std::pair{&withoutRecords, 0}}) {
        TestClient client(server->name());
        X11DesktopWindows windows(server->name());
        const Window window = client.createWindow();
        client.setPid(window, 4321);
        XChangeProperty(client.display(), window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(host), static_cast<int>(std::strlen(host)));
        XSync(client.display(), False);
        EXPECT_EQ(windows.windowProcessId(window), expected) << server->name();
    }
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
TEST(X11DesktopWindowsManaged, WithAWindowManagerItsClientsComeFirstInItsOrderThenTheTitledOnesItLetGo) {
    PrivateXServer server;
    TestClient client(server.name());
    const Window frame = client.createWindow();
    client.setLegacyName(frame, "Frame");
    client.map(frame);
    const Window framed = client.createChild(frame);
    client.setLegacyName(framed, "Framed client");
    client.markManaged(framed);
    client.map(framed);
    const Window unframed = client.createWindow();
    client.setLegacyName(unframed, "Unframed client");
    client.markManaged(unframed);
    client.map(unframed);
    // Hidden to the tray: withdrawn, so unmapped and no longer the manager's.
    const Window withdrawn = client.createWindow();
    client.setUtf8Name(withdrawn, "Playout - Studio 1");
    client.setClass(withdrawn, "playout", "PlayoutMain");
    const Window untitled = client.createWindow();
    client.map(untitled);
    X11DesktopWindows windows(server.name());

    EXPECT_EQ(handlesOf(windows.listWindows()), (std::vector<Window>{framed, unframed, withdrawn}));
    const std::optional<TopLevelWindow> found = windows.findWindow("framed client", false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->handle, framed);
    const std::optional<TopLevelWindow> hidden = windows.findWindow("PlayoutMain", true);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->handle, withdrawn);
    EXPECT_EQ(hidden->title, "Playout - Studio 1");
    EXPECT_FALSE(hidden->visible);
    EXPECT_FALSE(windows.findWindow("Frame", false));

    client.setClientList({unframed, framed});

    EXPECT_EQ(handlesOf(windows.listWindows()), (std::vector<Window>{unframed, framed, withdrawn}));
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
