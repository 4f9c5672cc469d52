#pragma once

#include "runtime/Liveness.h"

#include <chrono>
#include <functional>
#include <string>

struct pa_context;
struct pa_mainloop;
struct pa_operation;

namespace quietmon {

// One connection to the sound server on a mainloop that the calling thread runs itself, so that every
// wait has a deadline: a server that accepts connections but never answers must not hold the caller.
// Never starts a server of its own.
class PulseBlockingConnection {
public:
    // Connects to `server` (empty: the one libpulse finds through the environment), waiting at most
    // `timeout`; ready() tells whether it worked. `liveness` hears from every wait of the connection.
    explicit PulseBlockingConnection(std::chrono::milliseconds timeout, Liveness& liveness = unwatched(),
                                     const std::string& server = {});
    ~PulseBlockingConnection();
    PulseBlockingConnection(const PulseBlockingConnection&) = delete;
    PulseBlockingConnection& operator=(const PulseBlockingConnection&) = delete;

    pa_context* context() const { return m_context; }
    bool ready() const;
    // A server took the connection but has not answered yet.
    bool stillConnecting() const;

    // The waits that follow end at the latest `timeout` from now.
    void setDeadline(std::chrono::milliseconds timeout);
    // Runs the mainloop until `done` holds; false when the connection failed or the deadline passed first.
    bool runUntil(const std::function<bool()>& done);
    // Runs `operation` to its end; false when it could not finish in time. A late reply must not reach
    // state that the caller is about to destroy, so an unfinished operation is cancelled.
    bool complete(pa_operation* operation, const std::function<bool()>& done);

private:
    std::chrono::steady_clock::time_point m_deadline;
    Liveness& m_liveness;
    pa_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
};

} // namespace quietmon
