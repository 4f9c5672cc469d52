#pragma once

#include "platform/linux/PulseBlockingConnection.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

struct pa_stream;

namespace quietmon {

// A mono 16-bit playback stream to the default sink, on a connection of its own: a sound server that
// restarted since the last one is simply found again. Every wait is bounded by the answer timeout, so a
// server that stops answering holds the caller no longer than that.
class PulsePlayback {
public:
    PulsePlayback(std::uint32_t sampleRate, std::chrono::milliseconds answerTimeout, Liveness& liveness);
    ~PulsePlayback();
    PulsePlayback(const PulsePlayback&) = delete;
    PulsePlayback& operator=(const PulsePlayback&) = delete;

    // Whether the stream runs.
    bool ready() const;
    // Hands the samples over as the server asks for them; false once it stopped taking them.
    bool write(const std::int16_t* samples, std::size_t count);
    // Returns when everything written has been played, or the server has stopped answering.
    void drain();

private:
    bool streamRunning() const;

    std::chrono::milliseconds m_answerTimeout;
    PulseBlockingConnection m_connection;
    pa_stream* m_stream = nullptr;
};

} // namespace quietmon
