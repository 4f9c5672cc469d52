#include "platform/linux/PulseBlockingConnection.h"

#include <algorithm>
#include <pulse/pulseaudio.h>

namespace quietmon {

PulseBlockingConnection::PulseBlockingConnection(std::chrono::milliseconds timeout, Liveness& liveness,
                                                 const std::string& server)
    : m_deadline(std::chrono::steady_clock::now() + timeout), m_liveness(liveness),
      m_mainloop(pa_mainloop_new()) {
    if (!m_mainloop)
        return;
    m_context = pa_context_new(pa_mainloop_get_api(m_mainloop), "quietmon");
    // A monitoring program must never start a sound server of its own.
    if (!m_context || pa_context_connect(m_context, server.empty() ? nullptr : server.c_str(),
                                         PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return;
    runUntil([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; });
}

PulseBlockingConnection::~PulseBlockingConnection() {
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_mainloop)
        pa_mainloop_free(m_mainloop);
}

bool PulseBlockingConnection::ready() const {
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseBlockingConnection::stillConnecting() const {
    return m_context && !ready() && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context));
}

void PulseBlockingConnection::setDeadline(std::chrono::milliseconds timeout) {
    m_deadline = std::chrono::steady_clock::now() + timeout;
}

bool PulseBlockingConnection::runUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                              m_deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        // An utterance plays for as long as it is: the waits for the server's requests report the thread
        // alive meanwhile.
        const int timeout = static_cast<int>(std::min<long long>(left, Liveness::waitSliceMs * 1000LL));
        const bool polled =
            pa_mainloop_prepare(m_mainloop, timeout) >= 0 && pa_mainloop_poll(m_mainloop) >= 0;
        m_liveness.stillAlive();
        if (!polled || pa_mainloop_dispatch(m_mainloop) < 0)
            return false;
    }
    return true;
}

bool PulseBlockingConnection::complete(pa_operation* operation, const std::function<bool()>& done) {
    if (!operation)
        return false;
    const bool finished = runUntil(done);
    if (!finished)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return finished;
}

} // namespace quietmon
