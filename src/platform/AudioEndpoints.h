#pragma once

#include "runtime/EventLoop.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// An active audio endpoint of the sound server: a capture source, or the monitor of an output sink.
struct AudioEndpoint {
    std::string id;           // the server's name for it, stable across restarts
    std::string friendlyName; // what the operator sees
};

// The peak meter of one endpoint, read from the logic thread, which is the only thread it runs on.
class EndpointPeakMeter {
public:
    virtual ~EndpointPeakMeter() = default;
    // The largest linear peak (0.0 to 1.0) of each channel since the previous read, one value per channel
    // of the endpoint. A read with no new data gives the peaks of the last data again while the data due
    // now is merely late. Nothing when the server or the endpoint is lost, or when the endpoint has
    // delivered nothing for two read intervals though connected (a stalled stream, a source the server
    // stopped: a connected endpoint delivers silence as samples, never as nothing); the meter then
    // connects anew by itself, as it is read.
    virtual std::optional<std::vector<float>> readPeaks() = 0;
    // How often the meter is read from now on, so that it asks for data at that pace.
    virtual void setReadInterval(int ms) = 0;
    // From now on `loop` wakes as soon as the server delivered peaks, and calls `onDelivery`, so that the
    // reader may read right then. After a call the meter waits for a read before it tells of the next
    // delivery: a server that delivers more often than asked wakes the reader at most once per read.
    virtual void notifyDeliveries(EventLoop& loop, std::function<void()> onDelivery) = 0;
};

// The sound server's endpoints.
class AudioEndpoints {
public:
    virtual ~AudioEndpoints() = default;
    // Every active endpoint, capture sources and sink monitors alike, in the server's order; empty when no
    // server answers.
    virtual std::vector<AudioEndpoint> list() = 0;
    // The peak meter of the endpoint named `id`, to be read every `readIntervalMs`; nothing when it cannot
    // be opened now.
    virtual std::unique_ptr<EndpointPeakMeter> openMeter(const std::string& id, int readIntervalMs) = 0;
};

} // namespace quietmon
