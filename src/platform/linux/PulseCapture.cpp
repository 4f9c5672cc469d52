#include "platform/linux/PulseCapture.h"

#include "platform/linux/PulseContext.h"

#include <algorithm>
#include <pulse/pulseaudio.h>

namespace quietmon {

PulseCapture::PulseCapture(SoundServerSource source, const CaptureFormat& format, EventLoop& loop,
                           CaptureDriver::BufferDone onBufferDone)
    : m_source(std::move(source)), m_format(format), m_buffers(loop, std::move(onBufferDone)) {
    m_mainloop.watchOn(loop, [this] { readWhatCame(); });
}

PulseCapture::~PulseCapture() {
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_read_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
}

PulseCapture::Connection PulseCapture::connect(std::chrono::milliseconds answerTimeout, std::string& error) {
    m_context = newPulseContext(m_mainloop.api(), PulseTransfer::sharedMemory);
    if (!m_context) {
        // libpulse refuses only in a forked child, where no retry could succeed either.
        error = pa_strerror(PA_ERR_INTERNAL);
        return Connection::failed;
    }
    pa_context_set_state_callback(m_context, &PulseCapture::onContextState, this);
    // A monitoring program must never start a sound server of its own.
    if (pa_context_connect(m_context, m_source.server.empty() ? nullptr : m_source.server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = lastError();
        return Connection::noServer;
    }
    const bool answered = m_mainloop.runUntil(std::chrono::steady_clock::now() + answerTimeout,
                                              [this] { return m_state != State::connecting; });
    switch (m_state) {
    case State::ready:
        return Connection::recording;
    case State::noServer:
        error = lastError();
        return Connection::noServer;
    default:
        error = answered ? lastError() : pa_strerror(PA_ERR_TIMEOUT);
        return Connection::failed;
    }
}

bool PulseCapture::addBuffer(std::span<std::uint8_t> buffer, int tag, std::string&) {
    m_buffers.add(buffer, tag);
    return true;
}

bool PulseCapture::start(std::string& error) {
    if (!m_stream || pa_stream_get_state(m_stream) != PA_STREAM_READY) {
        error = lastError();
        return false;
    }
    m_recording = true;
    pause(false);
    return true;
}

void PulseCapture::reset() {
    m_recording = false;
    if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        pause(true);
        // What the server recorded meanwhile belongs to no buffer.
        if (pa_operation* flush = pa_stream_flush(m_stream, nullptr, nullptr))
            pa_operation_unref(flush);
        m_mainloop.dispatchPending();
    }
    m_mainloop.resumeWatching();
    m_buffers.returnAll();
}

void PulseCapture::readWhatCame() {
    const std::uint64_t filledBefore = m_buffers.filledCount();
    m_mainloop.dispatchPending();
    if (m_recording && m_buffers.filledCount() == filledBefore)
        waitForTheRestOfTheBuffer();
}

void PulseCapture::waitForTheRestOfTheBuffer() {
    const long long frameBytes = std::max(m_format.channels, 1) * std::max(m_format.bitsPerSample / 8, 1);
    const long long rate = std::max(m_format.framesPerSecond, 1);
    const auto unfilled = static_cast<long long>(m_buffers.unfilledBytes());
    // With no buffer queued, what comes is dropped for a buffer's length. An eighth of a buffer more lets
    // the pieces due by then arrive, so that the next read completes the buffer.
    const long long frames =
        (unfilled > 0 ? (unfilled + frameBytes - 1) / frameBytes : m_format.framesPerBuffer) +
        m_format.framesPerBuffer / 8;
    m_mainloop.pauseWatching(static_cast<int>((frames * 1000 + rate - 1) / rate));
}

void PulseCapture::fail(State state) {
    // Only the first outcome counts: a stream that failed to start is not "no server".
    if (m_state == State::connecting)
        m_state = state;
}

// Asks for the program's own format, which the server converts to from the source's, as ALSA's plugin
// would; one buffer per fragment, and no more buffers held than the program queues, so that a busy
// program loses the newest audio rather than falling ever further behind.
void PulseCapture::createStream() {
    const pa_sample_spec format{m_format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE,
                                static_cast<std::uint32_t>(m_format.framesPerSecond),
                                static_cast<std::uint8_t>(m_format.channels)};
    pa_channel_map channels;
    if (!pa_sample_spec_valid(&format) ||
        !pa_channel_map_init_extend(&channels, format.channels, PA_CHANNEL_MAP_ALSA)) {
        fail(State::failed);
        return;
    }
    m_stream = pa_stream_new(m_context, "Capture", &format, &channels);
    if (!m_stream) {
        fail(State::failed);
        return;
    }
    pa_stream_set_state_callback(m_stream, &PulseCapture::onStreamState, this);
    pa_stream_set_read_callback(m_stream, &PulseCapture::onStreamRead, this);
    const auto bufferBytes = static_cast<std::uint32_t>(m_format.framesPerBuffer) *
                             static_cast<std::uint32_t>(pa_frame_size(&format));
    pa_buffer_attr buffer{};
    buffer.maxlength = bufferBytes * static_cast<std::uint32_t>(m_format.buffers);
    buffer.tlength = static_cast<std::uint32_t>(-1);
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = bufferBytes;
    // The source's latency follows the fragment: a source that nothing else hurries delivers once per
    // buffer.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(m_stream, m_source.source.empty() ? nullptr : m_source.source.c_str(),
                                 &buffer, flags) < 0)
        fail(State::failed);
}

void PulseCapture::pause(bool paused) {
    if (pa_operation* cork = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(cork);
    // Sent now: nothing else turns the connection before the server writes.
    m_mainloop.dispatchPending();
}

std::string PulseCapture::lastError() const {
    return pa_strerror(m_context ? pa_context_errno(m_context) : PA_ERR_INTERNAL);
}

void PulseCapture::onContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (!self->m_stream)
            self->createStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // Before the stream was there, no server took the connection; after, the server went away.
        self->fail(self->m_stream ? State::failed : State::noServer);
        break;
    default:
        break;
    }
}

void PulseCapture::onStreamState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        if (self->m_state == State::connecting)
            self->m_state = State::ready;
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        self->fail(State::failed);
        break;
    default:
        break;
    }
}

void PulseCapture::onStreamRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        // No data with a length is a hole in the stream: nothing was recorded there.
        if (data && self->m_recording)
            self->m_buffers.write({static_cast<const std::uint8_t*>(data), bytes});
        pa_stream_drop(stream);
    }
}

} // namespace quietmon
