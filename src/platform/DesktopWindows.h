#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// A top-level window of the desktop.
struct TopLevelWindow {
    std::uint64_t handle = 0;
    std::string title;     // UTF-8
    std::string className; // the class part of WM_CLASS
    bool visible = false;
    int processId = 0; // as windowProcessId tells it; 0 when unknown
};

// The desktop's top-level windows. Every call copes with windows that close while it looks at them.
class DesktopWindows {
public:
    virtual ~DesktopWindows() = default;
    // The first top-level window whose whole title (or, with `byClass`, class name) equals `text`, letters
    // compared without regard to case; nothing when there is none or no desktop answers.
    virtual std::optional<TopLevelWindow> findWindow(const std::string& text, bool byClass) = 0;
    // Every top-level window, in the desktop's order.
    virtual std::vector<TopLevelWindow> listWindows() = 0;
    // Whether the window still exists.
    virtual bool windowExists(std::uint64_t handle) = 0;
    // The first top-level window with both this title and this class name, each compared as findWindow
    // compares; an empty text stands for any. Both empty find nothing.
    virtual std::optional<TopLevelWindow> findWindowByTitleAndClass(const std::string& title,
                                                                    const std::string& className) = 0;
    // Asks the window's application to close the window, as its close button would; the application may
    // refuse or take its time. Waits at most `timeoutMs`, however the application behaves; returns whether
    // the request was delivered in that time.
    virtual bool requestWindowClose(std::uint64_t handle, int timeoutMs) = 0;
    // The local process that owns the window, as the display server itself knows its client; 0 when that
    // cannot be told for certain (the window is gone, it belongs to a program on another computer, or the
    // server keeps no such record). What a window says of itself never counts: any client may lie.
    virtual int windowProcessId(std::uint64_t handle) = 0;
};

} // namespace quietmon
