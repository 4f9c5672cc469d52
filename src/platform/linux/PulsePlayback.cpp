#include "platform/linux/PulsePlayback.h"

#include <algorithm>
#include <pulse/pulseaudio.h>

namespace quietmon {

PulsePlayback::PulsePlayback(std::uint32_t sampleRate, std::chrono::milliseconds answerTimeout,
                             Liveness& liveness)
    : m_answerTimeout(answerTimeout), m_connection(answerTimeout, liveness) {
    if (!m_connection.ready())
        return;
    const pa_sample_spec format{PA_SAMPLE_S16NE, sampleRate, 1};
    m_stream = pa_stream_new(m_connection.context(), "Speech", &format, nullptr);
    if (!m_stream ||
        pa_stream_connect_playback(m_stream, nullptr, nullptr, PA_STREAM_NOFLAGS, nullptr, nullptr) < 0)
        return;
    m_connection.setDeadline(m_answerTimeout);
    m_connection.runUntil([this] { return pa_stream_get_state(m_stream) != PA_STREAM_CREATING; });
}

PulsePlayback::~PulsePlayback() {
    if (m_stream) {
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
}

bool PulsePlayback::streamRunning() const {
    return m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY;
}

bool PulsePlayback::ready() const {
    return m_connection.ready() && streamRunning();
}

bool PulsePlayback::write(const std::int16_t* samples, std::size_t count) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples);
    std::size_t left = count * sizeof(std::int16_t);
    while (left > 0) {
        // The server takes a buffer's worth at once, then as fast as it plays: each wait is for the
        // next request, never for the whole utterance.
        m_connection.setDeadline(m_answerTimeout);
        if (!m_connection.runUntil(
                [this] { return !streamRunning() || pa_stream_writable_size(m_stream) > 0; }) ||
            !streamRunning())
            return false;
        const std::size_t chunk = std::min(left, pa_stream_writable_size(m_stream));
        if (pa_stream_write(m_stream, bytes, chunk, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;
        bytes += chunk;
        left -= chunk;
    }
    return true;
}

void PulsePlayback::drain() {
    if (!streamRunning())
        return;
    // What is still queued plays first: at most the stream's target length.
    const pa_buffer_attr* buffer = pa_stream_get_buffer_attr(m_stream);
    const pa_usec_t queued =
        buffer ? pa_bytes_to_usec(buffer->tlength, pa_stream_get_sample_spec(m_stream)) : 0;
    m_connection.setDeadline(m_answerTimeout + std::chrono::milliseconds(queued / 1000));
    bool drained = false;
    m_connection.complete(
        pa_stream_drain(
            m_stream, [](pa_stream*, int, void* done) { *static_cast<bool*>(done) = true; }, &drained),
        [&drained] { return drained; });
}

} // namespace quietmon
