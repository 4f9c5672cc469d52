#include "app/DisplayLossGuard.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <atomic>
#include <cstdlib>
#include <xcb/xcb.h>

namespace quietmon {

namespace {

std::atomic<DisplayLossGuard*> armedGuard{nullptr};

// Whether Qt talks to an X server and that connection has broken.
bool qtDisplayConnectionBroken() {
    auto* application = qGuiApp;
    if (!application)
        return false;
    auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection && xcb_connection_has_error(connection) != 0;
}

} // namespace

DisplayLossGuard::DisplayLossGuard(std::function<void()> onLost) : m_onLost(std::move(onLost)) {
    // atexit handlers cannot be taken back: one for the whole process, which looks for a living guard.
    static const bool registered = std::atexit(&DisplayLossGuard::onProcessExit) == 0;
    (void)registered;
    armedGuard = this;
}

DisplayLossGuard::~DisplayLossGuard() {
    DisplayLossGuard* self = this;
    armedGuard.compare_exchange_strong(self, nullptr);
}

void DisplayLossGuard::onProcessExit() {
    DisplayLossGuard* guard = armedGuard.exchange(nullptr);
    // exit() leaves the stack as it was, so the objects the guard's handler reaches still live; another
    // thread's exit would meet the logic thread half-way through its work.
    if (guard && std::this_thread::get_id() == guard->m_thread && qtDisplayConnectionBroken())
        guard->m_onLost();
}

} // namespace quietmon
