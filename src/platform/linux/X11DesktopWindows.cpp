#include "platform/linux/X11DesktopWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <string_view>
#include <utility>

namespace quietmon {

namespace {

// What the process-wide handlers noted about one of our connections.
struct ConnectionState {
    std::atomic<bool> lost{false};
    std::atomic<unsigned> failedRequests{0};
};

// Xlib's error handlers are process-wide, so the ones we install must keep serving every other Xlib
// connection in the process exactly as before: Qt opens its own display connection through Xlib too.
struct HandlerRegistry {
    std::mutex mutex;
    std::vector<std::pair<Display*, ConnectionState*>> connections;
    XErrorHandler previousErrorHandler = nullptr;
    XIOErrorHandler previousIOErrorHandler = nullptr;
};

HandlerRegistry& registry() {
    // Never destroyed: a handler may still run on another thread while static objects are torn down.
    static auto* instance = new HandlerRegistry;
    return *instance;
}

ConnectionState* stateOf(Display* display) {
    HandlerRegistry& handlers = registry();
    std::lock_guard lock(handlers.mutex);
    const auto found = std::find_if(handlers.connections.begin(), handlers.connections.end(),
                                    [display](const auto& entry) { return entry.first == display; });
    return found == handlers.connections.end() ? nullptr : found->second;
}

// A failed request on our connection is an ordinary event here (mostly a window that closed while we
// looked at it); the call that made it sees the failure in its return value.
int onError(Display* display, XErrorEvent* event) {
    if (ConnectionState* state = stateOf(display)) {
        ++state->failedRequests;
        return 0;
    }
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(registry().mutex);
        previous = registry().previousErrorHandler;
    }
    return previous ? previous(display, event) : 0;
}

// Xlib goes on to the connection's exit handler only when this returns, and the default one would end
// the process before that.
int onIOError(Display* display) {
    if (ConnectionState* state = stateOf(display)) {
        state->lost = true;
        return 0;
    }
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(registry().mutex);
        previous = registry().previousIOErrorHandler;
    }
    return previous ? previous(display) : 0;
}

// Returning from here, instead of exiting as Xlib's default does, leaves a broken connection behind that
// fails every later request; the call that met the break closes it, and the next one opens a new one.
void onIOErrorExit(Display*, void* userData) {
    static_cast<ConnectionState*>(userData)->lost = true;
}

// Called on every use rather than once: a library that sets up its own Xlib connection later (Qt's xcb
// plugin does) replaces the handlers, and its IO error handler exits.
void installHandlers() {
    HandlerRegistry& handlers = registry();
    std::lock_guard lock(handlers.mutex);
    if (const XErrorHandler replaced = XSetErrorHandler(onError); replaced != onError)
        handlers.previousErrorHandler = replaced;
    if (const XIOErrorHandler replaced = XSetIOErrorHandler(onIOError); replaced != onIOError)
        handlers.previousIOErrorHandler = replaced;
}

void registerConnection(Display* display, ConnectionState* state) {
    HandlerRegistry& handlers = registry();
    std::lock_guard lock(handlers.mutex);
    handlers.connections.emplace_back(display, state);
}

void unregisterConnection(Display* display) {
    HandlerRegistry& handlers = registry();
    std::lock_guard lock(handlers.mutex);
    std::erase_if(handlers.connections, [display](const auto& entry) { return entry.first == display; });
}

// Writing to a connection whose server died raises SIGPIPE, which would end the process. xcb mostly reads
// the hang-up before it writes, but a server that dies between the two leaves the write to fail. The
// signal is held back on this thread while Xlib works, and one that arrived meanwhile is taken off before
// it is let through.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        // A SIGPIPE already pending belongs to someone else's write: leave it alone.
        m_alreadyPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        m_active = pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous) == 0;
    }
    ~SigpipeBlock() {
        if (!m_active)
            return;
        if (!m_alreadyPending) {
            sigset_t pending;
            sigemptyset(&pending);
            if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
                const timespec noWait{0, 0};
                sigtimedwait(&m_pipe, nullptr, &noWait);
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t m_pipe{};
    sigset_t m_previous{};
    bool m_alreadyPending = false;
    bool m_active = false;
};

// Far beyond any title or window list; it only bounds what a broken client could make us read.
constexpr long maxPropertyLength = 1L << 20; // in 32-bit units

// Window ids travel as 29-bit values; anything larger would be cut short on the way to the server and
// name some other window.
constexpr std::uint64_t windowIdMask = 0x1FFFFFFF;

struct PropertyValue {
    Atom type = None;
    int format = 0;
    std::string bytes;                // format 8
    std::vector<unsigned long> items; // format 16 and 32, as Xlib hands them over
};

std::string latin1ToUtf8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

// Some clients count a terminating NUL into their text properties.
std::string_view untilNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b) { return foldAscii(a) == foldAscii(b); });
}

} // namespace

class X11DesktopWindows::Connection {
public:
    // Null when the display does not answer.
    static std::unique_ptr<Connection> open(const std::string& displayName) {
        Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
        if (!display)
            return nullptr;
        return std::unique_ptr<Connection>(new Connection(display));
    }

    ~Connection() {
        // Closing a broken connection runs into the IO error again, so it stays registered until closed.
        XCloseDisplay(m_display);
        unregisterConnection(m_display);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool lost() const { return m_state.lost; }

    // Nothing when the connection broke meanwhile.
    std::optional<std::vector<Window>> topLevelWindows() {
        const Window root = DefaultRootWindow(m_display);
        std::optional<std::vector<Window>> children = childrenOf(root);
        if (!children || lost())
            return std::nullopt;
        ManagedWindows managed = managedWindows(root, *children);
        if (lost())
            return std::nullopt;
        if (managed.clients.empty() && XGetSelectionOwner(m_display, m_atoms.windowManagerSelection) == None)
            return lost() ? std::nullopt : std::optional(*children);

        // A window the manager does not manage counts when it has a title: above all the window of a program
        // hidden to the tray, which the manager let go (withdrawn) and put back under the root. The managed
        // ones come first, so that a look-up by name prefers a window the manager can close; the frames
        // and the untitled helpers are no windows of an application.
        std::vector<Window> windows = managed.clients;
        for (const Window child : *children) {
            if (lost())
                return std::nullopt;
            const bool holdsClient =
                std::find(managed.holders.begin(), managed.holders.end(), child) != managed.holders.end();
            if (!holdsClient && !title(child).empty())
                windows.push_back(child);
        }
        if (lost())
            return std::nullopt;
        return windows;
    }

    std::string title(Window window) {
        if (std::optional<PropertyValue> name = property(window, m_atoms.netWmName);
            name && name->type == m_atoms.utf8String && name->format == 8)
            return std::string(untilNul(name->bytes));
        if (std::optional<PropertyValue> name = property(window, XA_WM_NAME))
            return text(*name);
        return {};
    }

    std::string className(Window window) {
        std::optional<PropertyValue> value = property(window, XA_WM_CLASS);
        if (!value || value->format != 8)
            return {};
        // The instance name, a NUL, then the class name.
        const std::string_view bytes = value->bytes;
        const std::size_t separator = bytes.find('\0');
        if (separator == std::string_view::npos)
            return {};
        const std::string_view name = untilNul(bytes.substr(separator + 1));
        return value->type == m_atoms.utf8String ? std::string(name) : latin1ToUtf8(name);
    }

    // Nothing when the window is gone.
    std::optional<bool> visible(Window window) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, window, &attributes))
            return std::nullopt;
        return attributes.map_state == IsViewable;
    }

    int processId(Window window) {
        // The server took the process of a local client from the socket when the client connected; the
        // window's _NET_WM_PID is only what the client says, and any client may name any process there.
        if (!m_hasClientIds)
            return 0;
        XResClientIdSpec spec{window, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* ids = nullptr;
        if (XResQueryClientIds(m_display, 1, &spec, &count, &ids) != Success)
            return 0;
        pid_t pid = -1;
        for (long i = 0; i < count && pid <= 0; ++i)
            pid = XResGetClientPid(&ids[i]);
        XResClientIdsDestroy(count, ids);
        return pid > 0 ? pid : 0;
    }

    // The close button's request: WM_DELETE_WINDOW to a window that takes it, else _NET_CLOSE_WINDOW to
    // the window manager, which decides how to close it. The server queues the request whatever state
    // the application is in, so this never waits for the application. False when the window is gone.
    bool requestClose(Window window) {
        const unsigned failedBefore = m_state.failedRequests;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.format = 32;
        if (takesDeleteWindow(window)) {
            event.xclient.message_type = m_atoms.wmProtocols;
            event.xclient.data.l[0] = static_cast<long>(m_atoms.wmDeleteWindow);
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(m_display, window, False, NoEventMask, &event);
        } else {
            event.xclient.message_type = m_atoms.netCloseWindow;
            event.xclient.data.l[0] = CurrentTime;
            event.xclient.data.l[1] = 2; // on the user's behalf, as a pager asks
            XSendEvent(m_display, DefaultRootWindow(m_display), False,
                       SubstructureRedirectMask | SubstructureNotifyMask, &event);
        }
        XSync(m_display, False);
        return m_state.failedRequests == failedBefore && !lost();
    }

    Display* display() const { return m_display; }

    bool exists(Window window) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(m_display, window, &attributes) != 0 && !lost();
    }

private:
    struct Atoms {
        Atom netClientList = None;
        Atom netWmName = None;
        Atom utf8String = None;
        Atom compoundText = None;
        Atom wmState = None;
        Atom windowManagerSelection = None;
        Atom wmProtocols = None;
        Atom wmDeleteWindow = None;
        Atom netCloseWindow = None;
    };

    explicit Connection(Display* display) : m_display(display) {
        registerConnection(m_display, &m_state);
        XSetIOErrorExitHandler(m_display, onIOErrorExit, &m_state);

        const std::string selection = "WM_S" + std::to_string(DefaultScreen(m_display));
        const char* names[] = {"_NET_CLIENT_LIST", "_NET_WM_NAME",     "UTF8_STRING",
                               "COMPOUND_TEXT",    "WM_STATE",         selection.c_str(),
                               "WM_PROTOCOLS",     "WM_DELETE_WINDOW", "_NET_CLOSE_WINDOW"};
        Atom atoms[std::size(names)] = {};
        if (XInternAtoms(m_display, const_cast<char**>(names), static_cast<int>(std::size(names)), False,
                         atoms)) {
            m_atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],
                       atoms[5], atoms[6], atoms[7], atoms[8]};
        }

        int eventBase = 0;
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        // Client ids came with version 1.2 of the extension.
        m_hasClientIds = XResQueryExtension(m_display, &eventBase, &errorBase) &&
                         XResQueryVersion(m_display, &major, &minor) &&
                         (major > 1 || (major == 1 && minor >= 2));
    }

    // The windows a window manager manages (as _NET_CLIENT_LIST orders them, else in stacking order),
    // and the children of the root that hold them: the manager's frames, or the clients themselves.
    struct ManagedWindows {
        std::vector<Window> clients;
        std::vector<Window> holders;
    };

    ManagedWindows managedWindows(Window root, const std::vector<Window>& rootChildren) {
        ManagedWindows managed;
        if (std::optional<PropertyValue> clients = property(root, m_atoms.netClientList);
            clients && clients->type == XA_WINDOW && clients->format == 32) {
            managed.clients = toWindows(clients->items);
            // A manager may nest a client deeper than one frame.
            for (const Window client : managed.clients) {
                if (lost())
                    break;
                if (const std::optional<Window> top = rootChildHolding(client, root))
                    managed.holders.push_back(*top);
            }
            return managed;
        }
        // A window manager marks each window it manages with WM_STATE; a reparenting one puts the client
        // inside a frame of its own.
        for (const Window child : rootChildren) {
            if (lost())
                break;
            if (hasProperty(child, m_atoms.wmState)) {
                managed.clients.push_back(child);
                managed.holders.push_back(child);
                continue;
            }
            if (std::optional<std::vector<Window>> grandchildren = childrenOf(child)) {
                const auto client =
                    std::find_if(grandchildren->begin(), grandchildren->end(),
                                 [this](Window window) { return hasProperty(window, m_atoms.wmState); });
                if (client != grandchildren->end()) {
                    managed.clients.push_back(*client);
                    managed.holders.push_back(child);
                }
            }
        }
        return managed;
    }

    // The child of the root that `window` is, or lies within; nothing when it is gone.
    std::optional<Window> rootChildHolding(Window window, Window root) {
        // Deeper than any manager nests; it only bounds what a broken tree could make us walk.
        constexpr int maxDepth = 16;
        for (int depth = 0; depth < maxDepth; ++depth) {
            const std::optional<TreeNode> node = treeNode(window);
            if (!node)
                return std::nullopt;
            if (node->parent == root || node->parent == None)
                return window;
            window = node->parent;
        }
        return std::nullopt;
    }

    std::optional<PropertyValue> property(Window window, Atom name) {
        if (name == None)
            return std::nullopt;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long bytesAfter = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(m_display, window, name, 0, maxPropertyLength, False,
                                              AnyPropertyType, &type, &format, &count, &bytesAfter, &data);
        if (status != Success) {
            // Xlib leaves the data alone on failure.
            return std::nullopt;
        }
        std::optional<PropertyValue> value;
        if (type != None) {
            value.emplace();
            value->type = type;
            value->format = format;
            if (format == 8) {
                value->bytes.assign(reinterpret_cast<const char*>(data), count);
            } else if (format == 16) {
                const auto* shorts = reinterpret_cast<const unsigned short*>(data);
                value->items.assign(shorts, shorts + count);
            } else if (format == 32) {
                const auto* longs = reinterpret_cast<const unsigned long*>(data);
                value->items.assign(longs, longs + count);
            }
        }
        if (data)
            XFree(data);
        return value;
    }

    bool hasProperty(Window window, Atom name) {
        if (name == None)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long bytesAfter = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(m_display, window, name, 0, 0, False, AnyPropertyType, &type,
                                              &format, &count, &bytesAfter, &data);
        if (status != Success)
            return false;
        if (data)
            XFree(data);
        return type != None;
    }

    struct TreeNode {
        Window parent = None;
        std::vector<Window> children; // in stacking order, lowest first
    };

    // Nothing when the window is gone.
    std::optional<TreeNode> treeNode(Window window) {
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
            return std::nullopt;
        TreeNode node{parent, std::vector<Window>(children, children + count)};
        if (children)
            XFree(children);
        return node;
    }

    std::optional<std::vector<Window>> childrenOf(Window window) {
        std::optional<TreeNode> node = treeNode(window);
        if (!node)
            return std::nullopt;
        return std::move(node->children);
    }

    // The text of a WM_NAME-like property in UTF-8; empty for types that carry no text.
    std::string text(const PropertyValue& value) {
        if (value.format != 8)
            return {};
        if (value.type == m_atoms.utf8String)
            return std::string(untilNul(value.bytes));
        if (value.type == XA_STRING)
            return latin1ToUtf8(untilNul(value.bytes));
        if (value.type == m_atoms.compoundText) {
            XTextProperty encoded{reinterpret_cast<unsigned char*>(const_cast<char*>(value.bytes.data())),
                                  value.type, 8, value.bytes.size()};
            char** list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(m_display, &encoded, &list, &count) >= Success && list) {
                std::string decoded = count > 0 && list[0] ? list[0] : "";
                XFreeStringList(list);
                return decoded;
            }
            // Compound text without escape sequences is Latin-1.
            return latin1ToUtf8(untilNul(value.bytes));
        }
        return {};
    }

    static std::vector<Window> toWindows(const std::vector<unsigned long>& items) {
        return std::vector<Window>(items.begin(), items.end());
    }

    bool takesDeleteWindow(Window window) {
        const std::optional<PropertyValue> protocols = property(window, m_atoms.wmProtocols);
        return protocols && protocols->type == XA_ATOM && protocols->format == 32 &&
               std::find(protocols->items.begin(), protocols->items.end(), m_atoms.wmDeleteWindow) !=
                   protocols->items.end();
    }

    Display* m_display;
    ConnectionState m_state;
    Atoms m_atoms;
    bool m_hasClientIds = false;
};

X11DesktopWindows::X11DesktopWindows(std::string displayName) : m_displayName(std::move(displayName)) {}

X11DesktopWindows::~X11DesktopWindows() {
    const SigpipeBlock block;
    m_connection.reset();
}

// The span of one public call. A connection that broke is closed before the call returns, on the thread
// that saw it break: Xlib leaves a broken display locked to that thread, so closing it from any other
// thread (the destructor's, say) would wait for ever.
class X11DesktopWindows::Call {
public:
    explicit Call(X11DesktopWindows& owner) : m_owner(owner) {
        installHandlers();
        if (!m_owner.m_connection)
            m_owner.m_connection = Connection::open(m_owner.m_displayName);
    }
    ~Call() {
        if (m_owner.m_connection && m_owner.m_connection->lost())
            m_owner.m_connection.reset();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // Null when no display answers.
    Connection* connection() const { return m_owner.m_connection.get(); }

private:
    const SigpipeBlock m_block; // first in, last out: it covers the closing too
    X11DesktopWindows& m_owner;
};

std::optional<TopLevelWindow> X11DesktopWindows::findWindow(const std::string& text, bool byClass) {
    return byClass ? findWindowByTitleAndClass({}, text) : findWindowByTitleAndClass(text, {});
}

std::optional<TopLevelWindow> X11DesktopWindows::findWindowByTitleAndClass(const std::string& title,
                                                                           const std::string& className) {
    if (title.empty() && className.empty())
        return std::nullopt;
    const Call call(*this);
    Connection* x = call.connection();
    if (!x)
        return std::nullopt;
    const std::optional<std::vector<Window>> windows = x->topLevelWindows();
    if (!windows)
        return std::nullopt;
    for (const Window window : *windows) {
        if (x->lost())
            return std::nullopt;
        // Only the names asked for are read: most windows fail the first test. A name read here is kept,
        // since the window may close before it could be read again.
        std::optional<std::string> windowClass;
        if (!className.empty()) {
            windowClass = x->className(window);
            if (!equalsIgnoringAsciiCase(*windowClass, className))
                continue;
        }
        std::optional<std::string> windowTitle;
        if (!title.empty()) {
            windowTitle = x->title(window);
            if (!equalsIgnoringAsciiCase(*windowTitle, title))
                continue;
        }
        const std::optional<bool> visible = x->visible(window);
        if (!visible)
            continue; // closed since we read its name
        TopLevelWindow found;
        found.handle = window;
        found.title = windowTitle ? std::move(*windowTitle) : x->title(window);
        found.className = windowClass ? std::move(*windowClass) : x->className(window);
        found.visible = *visible;
        found.processId = x->processId(window);
        if (x->lost())
            return std::nullopt;
        return found;
    }
    return std::nullopt;
}

std::vector<TopLevelWindow> X11DesktopWindows::listWindows() {
    const Call call(*this);
    Connection* x = call.connection();
    if (!x)
        return {};
    const std::optional<std::vector<Window>> windows = x->topLevelWindows();
    if (!windows)
        return {};
    std::vector<TopLevelWindow> result;
    result.reserve(windows->size());
    for (const Window window : *windows) {
        const std::optional<bool> visible = x->visible(window);
        if (x->lost())
            return {};
        if (!visible)
            continue; // closed since the listing
        TopLevelWindow entry;
        entry.handle = window;
        entry.visible = *visible;
        entry.title = x->title(window);
        entry.className = x->className(window);
        entry.processId = x->processId(window);
        result.push_back(std::move(entry));
    }
    if (x->lost())
        return {};
    return result;
}

bool X11DesktopWindows::windowExists(std::uint64_t handle) {
    if (handle == 0 || (handle & ~windowIdMask) != 0)
        return false;
    const Call call(*this);
    Connection* x = call.connection();
    return x && x->exists(static_cast<Window>(handle));
}

bool X11DesktopWindows::requestWindowClose(std::uint64_t handle, int /*timeoutMs*/) {
    if (handle == 0 || (handle & ~windowIdMask) != 0)
        return false;
    const Call call(*this);
    Connection* x = call.connection();
    return x && x->requestClose(static_cast<Window>(handle));
}

int X11DesktopWindows::windowProcessId(std::uint64_t handle) {
    if (handle == 0 || (handle & ~windowIdMask) != 0)
        return 0;
    const Call call(*this);
    Connection* x = call.connection();
    if (!x || !x->exists(static_cast<Window>(handle)))
        return 0;
    const int pid = x->processId(static_cast<Window>(handle));
    return x->lost() ? 0 : pid;
}

bool X11DesktopWindows::displayAnswers() {
    const Call call(*this);
    return call.connection() != nullptr;
}

bool X11DesktopWindows::useDisplay(const std::function<void(_XDisplay*)>& use) {
    const Call call(*this);
    Connection* x = call.connection();
    if (!x)
        return false;
    use(x->display());
    return !x->lost();
}

} // namespace quietmon
