#pragma once

#include <functional>
#include <thread>

namespace quietmon {

// Qt's X11 plugin, and Xlib beneath it, end the process with exit(1) of their own accord when the
// connection to the X server breaks, from inside the event loop and without a word to the program. While
// a guard lives, such an exit runs `onLost` first (on the thread that made the guard, the logic thread,
// when Qt's X connection is the one that broke), and the process still ends with exit's failure status,
// which a service manager takes as a reason to start it again. A guard that is gone runs nothing: a
// normal exit goes its own way.
class DisplayLossGuard final {
public:
    explicit DisplayLossGuard(std::function<void()> onLost);
    ~DisplayLossGuard();
    DisplayLossGuard(const DisplayLossGuard&) = delete;
    DisplayLossGuard& operator=(const DisplayLossGuard&) = delete;

private:
    static void onProcessExit();

    std::function<void()> m_onLost;
    std::thread::id m_thread = std::this_thread::get_id();
};

} // namespace quietmon
