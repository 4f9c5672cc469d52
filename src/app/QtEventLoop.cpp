#include "app/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <algorithm>
#include <glib.h>
#include <limits>
#include <stdexcept>

namespace quietmon {

namespace {

constexpr std::int64_t microsecondsPerMs = 1000;

} // namespace

// A source due when the loop's earliest tick is, or when a watched descriptor is readable: GLib asks it
// before each wait how long it may sleep and after it whether it is due, so moving the moment costs no
// more than a store (a GLib ready time would wake the context at every change). The descriptors are
// polled in the context's own wait.
struct QtEventLoop::WakeUpSource {
    GSource base;
    QtEventLoop* loop;

    static std::int64_t dueUs(GSource* source) {
        return reinterpret_cast<WakeUpSource*>(source)->loop->m_dueUs;
    }
    static gboolean prepare(GSource* source, gint* timeoutMs) {
        const std::int64_t due = dueUs(source);
        if (due < 0) {
            *timeoutMs = -1;
            return FALSE;
        }
        const std::int64_t left = due - g_source_get_time(source);
        *timeoutMs = static_cast<gint>(std::clamp<std::int64_t>(
            (left + microsecondsPerMs - 1) / microsecondsPerMs, 0, std::numeric_limits<gint>::max()));
        return left <= 0;
    }
    static gboolean check(GSource* source) {
        const std::int64_t due = dueUs(source);
        if (due >= 0 && due <= g_source_get_time(source))
            return TRUE;
        const QtEventLoop* loop = reinterpret_cast<WakeUpSource*>(source)->loop;
        return loop->m_watches.anyReady([loop](int, void* tag) { return loop->readable(tag); });
    }
    static gboolean onDue(GSource* source, GSourceFunc, gpointer) {
        reinterpret_cast<WakeUpSource*>(source)->loop->dispatchWakeUp();
        return G_SOURCE_CONTINUE;
    }
    static constexpr GSourceFuncs functions{&prepare, &check, &onDue, nullptr, nullptr, nullptr};
};

QtEventLoop::QtEventLoop(Liveness& liveness)
    : m_clock(liveness),
      m_wakeUp(g_source_new(const_cast<GSourceFuncs*>(&WakeUpSource::functions), sizeof(WakeUpSource))),
      m_scheduler({.monotonicMs = [] { return g_get_monotonic_time() / microsecondsPerMs; },
                   .scheduleChanged = [this] { rearm(); },
                   .eventPosted =
                       [this] {
                           // What a handler posts while the loop dispatches is run before dispatch()
                           // returns: another pass through Qt's loop would find nothing left.
                           if (std::this_thread::get_id() == m_loopThread && m_dispatching)
                               return;
                           QMetaObject::invokeMethod(
                               this, [this] { dispatch(); }, Qt::QueuedConnection);
                       }}),
      m_watches({.started = [this](int fd) { return g_source_add_unix_fd(m_wakeUp, fd, G_IO_IN); },
                 .ended = [this](void* tag) { g_source_remove_unix_fd(m_wakeUp, tag); }}) {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (dispatcher == nullptr || !dispatcher->inherits("QEventDispatcherGlib")) {
        g_source_unref(m_wakeUp);
        throw std::runtime_error("Qt's event loop on this thread does not run GLib's main context");
    }
    reinterpret_cast<WakeUpSource*>(m_wakeUp)->loop = this;
    // A tick's handler may run a dialog's loop; the ticks must go on inside it.
    g_source_set_can_recurse(m_wakeUp, TRUE);
    GMainContext* context = g_main_context_ref_thread_default();
    g_source_attach(m_wakeUp, context);
    g_main_context_unref(context);
}

QtEventLoop::~QtEventLoop() {
    g_source_destroy(m_wakeUp);
    g_source_unref(m_wakeUp);
}

std::unique_ptr<Timer> QtEventLoop::createTimer(std::function<void()> onTick) {
    return m_scheduler.createTimer(std::move(onTick));
}

void QtEventLoop::post(std::function<void()> event) {
    m_scheduler.post(std::move(event));
}

std::unique_ptr<DescriptorWatch> QtEventLoop::watchReadable(int fd, std::function<void()> onReadable) {
    return m_watches.add(fd, std::move(onReadable));
}

bool QtEventLoop::readable(void* watchTag) const {
    return g_source_query_unix_fd(m_wakeUp, watchTag) != 0;
}

void QtEventLoop::dispatchWakeUp() {
    // What the callbacks post runs in the same pass, below.
    const bool nested = m_dispatching;
    m_dispatching = true;
    m_watches.runReady(
        [this](int, void* tag) { return readable(tag); },
        [this](const std::function<void()>& onReadable) { m_scheduler.runGuarded(onReadable); });
    m_dispatching = nested;
    dispatch();
}

void QtEventLoop::dispatch() {
    // The due moment stays until the scheduler's next is known: a dialog's loop run by a handler finds the
    // loop due and dispatches again, which moves it on.
    // One tick at a time, so that painting and input get their turn between ticks.
    const bool nested = m_dispatching; // a handler may run a dialog's loop, which dispatches too
    m_dispatching = true;
    m_scheduler.runReady({.maxTicks = 1, .dueBy = {}});
    m_dispatching = nested;
    rearm();
}

void QtEventLoop::rearm() {
    if (m_scheduler.hasPostedEvents())
        m_dueUs = 0; // at once
    else if (const auto due = m_scheduler.nextDueMs())
        // The scheduler counts whole milliseconds from a moment inside one; waking at the end of the due
        // millisecond never ends an interval early.
        m_dueUs = (*due + 1) * microsecondsPerMs - 1;
    else
        m_dueUs = -1;
}

} // namespace quietmon
