#include "platform/linux/PulseCapture.h"

#include <csignal>
#include <pthread.h>
#include <pulse/pulseaudio.h>

namespace quietmon {

namespace {

constexpr const char* clientName = "quietmon";

} // namespace

PulseCapture::PulseCapture(SoundServerSource source, const WaveInFormat& format, EventLoop& loop,
                           WaveInDriver::BufferDone onBufferDone)
    : m_source(std::move(source)), m_format(format), m_buffers(loop, std::move(onBufferDone)) {}

PulseCapture::~PulseCapture() {
    if (!m_mainloop)
        return;
    // Once the thread has ended, nothing else touches the stream and the context.
    pa_threaded_mainloop_stop(m_mainloop);
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
    pa_threaded_mainloop_free(m_mainloop);
}

PulseCapture::Connection PulseCapture::connect(std::chrono::milliseconds answerTimeout, std::string& error) {
    m_mainloop = pa_threaded_mainloop_new();
    if (m_mainloop)
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), clientName);
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
    // The mainloop thread inherits a full signal mask, so that the program's signal handlers only ever
    // interrupt its own threads.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const int started = pa_threaded_mainloop_start(m_mainloop);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (started < 0) {
        error = pa_strerror(PA_ERR_INTERNAL);
        return Connection::failed;
    }

    std::unique_lock lock(m_mutex);
    const bool answered =
        m_stateChanged.wait_for(lock, answerTimeout, [this] { return m_state != State::connecting; });
    const State state = m_state;
    lock.unlock();
    if (state == State::ready)
        return Connection::recording;
    pa_threaded_mainloop_lock(m_mainloop);
    error = answered ? lastError() : pa_strerror(PA_ERR_TIMEOUT);
    pa_threaded_mainloop_unlock(m_mainloop);
    return state == State::noServer ? Connection::noServer : Connection::failed;
}

bool PulseCapture::addBuffer(std::span<std::uint8_t> buffer, int tag, std::string&) {
    m_buffers.add(buffer, tag);
    return true;
}

bool PulseCapture::start(std::string& error) {
    pa_threaded_mainloop_lock(m_mainloop);
    const bool ready = m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY;
    if (ready) {
        m_recording = true;
        pause(false);
    } else {
        error = lastError();
    }
    pa_threaded_mainloop_unlock(m_mainloop);
    return ready;
}

void PulseCapture::reset() {
    if (m_mainloop) {
        pa_threaded_mainloop_lock(m_mainloop);
        m_recording = false;
        if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
            pause(true);
            // What the server recorded meanwhile belongs to no buffer.
            if (pa_operation* flush = pa_stream_flush(m_stream, nullptr, nullptr))
                pa_operation_unref(flush);
        }
        pa_threaded_mainloop_unlock(m_mainloop);
    }
    m_buffers.returnAll();
}

void PulseCapture::setState(State state) {
    {
        std::lock_guard lock(m_mutex);
        // Only the first outcome counts: a stream that failed to start is not "no server".
        if (m_state != State::connecting)
            return;
        m_state = state;
    }
    m_stateChanged.notify_all();
}

// Asks for the program's own format, which the server converts to from the source's, as ALSA's plugin
// would; one buffer per fragment, and no more buffers held than the program queues, so that a busy
// program loses the oldest audio rather than falling behind.
void PulseCapture::createStream() {
    const pa_sample_spec format{m_format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE,
                                static_cast<std::uint32_t>(m_format.framesPerSecond),
                                static_cast<std::uint8_t>(m_format.channels)};
    pa_channel_map channels;
    if (!pa_sample_spec_valid(&format) ||
        !pa_channel_map_init_extend(&channels, format.channels, PA_CHANNEL_MAP_ALSA)) {
        setState(State::failed);
        return;
    }
    m_stream = pa_stream_new(m_context, "Capture", &format, &channels);
    if (!m_stream) {
        setState(State::failed);
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
    // The source's latency follows the fragment, so that the server delivers about once per buffer.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(m_stream, m_source.source.empty() ? nullptr : m_source.source.c_str(),
                                 &buffer, flags) < 0)
        setState(State::failed);
}

void PulseCapture::pause(bool paused) {
    if (pa_operation* cork = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(cork);
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
        self->setState(self->m_stream ? State::failed : State::noServer);
        break;
    default:
        break;
    }
}

void PulseCapture::onStreamState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        self->setState(State::ready);
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        self->setState(State::failed);
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
