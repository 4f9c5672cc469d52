#pragma once

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

// The peak meter of one endpoint, read from the logic thread.
class EndpointPeakMeter {
public:
    virtual ~EndpointPeakMeter() = default;
    // The largest linear peak (0.0 to 1.0) of each channel since the previous read, one value per channel
    // of the endpoint. A read with no new data since the previous one gives 0 for every channel: a
    // suspended or idle endpoint delivers nothing, and that is silence. Nothing when the server or the
    // endpoint is lost; the meter then reconnects by itself.
    virtual std::optional<std::vector<float>> readPeaks() = 0;
};

// The sound server's endpoints.
class AudioEndpoints {
public:
    virtual ~AudioEndpoints() = default;
    // Every active endpoint, capture sources and sink monitors alike, in the server's order; empty when no
    // server answers.
    virtual std::vector<AudioEndpoint> list() = 0;
    // The peak meter of the endpoint named `id`; nothing when it cannot be opened now.
    virtual std::unique_ptr<EndpointPeakMeter> openMeter(const std::string& id) = 0;
};

} // namespace quietmon
