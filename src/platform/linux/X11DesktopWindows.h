#pragma once

#include "platform/DesktopWindows.h"

#include <functional>
#include <memory>
#include <string>

struct _XDisplay; // Xlib's Display, without Xlib's macros in every file that includes this one

namespace quietmon {

// The top-level windows of an X11 display, seen through a connection of our own (Qt's stays untouched).
// The connection opens on the first call and again after the server went away, so a display that restarts
// is found again; while there is none, every call finds nothing.
//
// Xlib's default handlers end the process when a request fails or the connection breaks. From the first
// call on, process-wide handlers are in place that only note what happened on this class's connections and
// pass everything on other displays to the handlers that were there before.
//
// Not thread-safe: each object is used from one thread.
class X11DesktopWindows final : public DesktopWindows {
public:
    // `displayName` as XOpenDisplay takes it; empty for $DISPLAY.
    explicit X11DesktopWindows(std::string displayName = {});
    ~X11DesktopWindows() override;
    X11DesktopWindows(const X11DesktopWindows&) = delete;
    X11DesktopWindows& operator=(const X11DesktopWindows&) = delete;

    // With a window manager, its client windows (as _NET_CLIENT_LIST orders them, or in stacking order),
    // then the titled children of the root that it does not manage, mapped or not (a window hidden to the
    // tray is withdrawn from the manager); without one, every child of the root window in stacking order.
    std::optional<TopLevelWindow> findWindow(const std::string& text, bool byClass) override;
    std::vector<TopLevelWindow> listWindows() override;
    bool windowExists(std::uint64_t handle) override;
    std::optional<TopLevelWindow> findWindowByTitleAndClass(const std::string& title,
                                                            const std::string& className) override;
    bool requestWindowClose(std::uint64_t handle, int timeoutMs) override;
    // The server's word on the window's client (X-Resource), and nothing else: _NET_WM_PID is the client's
    // own claim. 0 without the extension, and for a client that is not local.
    int windowProcessId(std::uint64_t handle) override;

    // Whether a display answers now; the connection it opens stays for the calls that follow.
    bool displayAnswers();

    // Lends this object's connection to another X11 service of the program (the screen capture), under
    // the same handlers: a failed request shows only in its return value. Returns false, without calling
    // `use`, when no display answers, and also when the connection broke meanwhile.
    bool useDisplay(const std::function<void(_XDisplay*)>& use);

private:
    class Connection;
    class Call;

    std::string m_displayName;
    std::unique_ptr<Connection> m_connection;
};

} // namespace quietmon
