#include "platform/linux/AlsaPcmCapture.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace quietmon {

namespace {

bool configure(snd_pcm_t* pcm, const CaptureFormat& format, std::string& error) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = static_cast<unsigned>(format.framesPerSecond);
    // Asked near the program's buffer: cards round periods, and the capture gathers reads into whole
    // buffers whatever the period is. Room for as many periods as the program queues buffers.
    snd_pcm_uframes_t period = static_cast<snd_pcm_uframes_t>(std::max(format.framesPerBuffer, 64));
    snd_pcm_uframes_t bufferFrames = period * static_cast<snd_pcm_uframes_t>(std::max(format.buffers, 2));
    int result = snd_pcm_hw_params_any(pcm, hw);
    if (result >= 0)
        result = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (result >= 0)
        result = snd_pcm_hw_params_set_format(
            pcm, hw, format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE);
    if (result >= 0)
        result = snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned>(format.channels));
    if (result >= 0)
        result = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if (result >= 0)
        result = snd_pcm_hw_params_set_rate(pcm, hw, rate, 0);
    if (result >= 0)
        snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
    if (result >= 0)
        snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &bufferFrames);
    if (result >= 0)
        result = snd_pcm_hw_params(pcm, hw);
    if (result < 0) {
        error = snd_strerror(result);
        return false;
    }
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_avail_min(pcm, sw, period);
    snd_pcm_sw_params(pcm, sw);
    result = snd_pcm_prepare(pcm);
    if (result < 0) {
        error = snd_strerror(result);
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<AlsaPcmCapture> AlsaPcmCapture::open(const std::string& name, const CaptureFormat& format,
                                                     EventLoop& loop, CaptureDriver::BufferDone onBufferDone,
                                                     std::string& error) {
    snd_pcm_t* pcm = nullptr;
    if (const int result = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
        result < 0) {
        error = snd_strerror(result);
        return nullptr;
    }
    if (!configure(pcm, format, error)) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    const int bytesPerFrame = format.channels * (format.bitsPerSample == 8 ? 1 : 2);
    return std::make_unique<AlsaPcmCapture>(pcm, bytesPerFrame, loop, std::move(onBufferDone));
}

AlsaPcmCapture::AlsaPcmCapture(snd_pcm_t* pcm, int bytesPerFrame, EventLoop& loop,
                               CaptureDriver::BufferDone onBufferDone)
    : m_pcm(pcm), m_bytesPerFrame(bytesPerFrame), m_buffers(loop, std::move(onBufferDone)),
      m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

AlsaPcmCapture::~AlsaPcmCapture() {
    stopThread();
    snd_pcm_close(m_pcm);
    if (m_wake >= 0)
        ::close(m_wake);
}

bool AlsaPcmCapture::addBuffer(std::span<std::uint8_t> buffer, int tag, std::string&) {
    m_buffers.add(buffer, tag);
    return true;
}

bool AlsaPcmCapture::start(std::string& error) {
    if (m_wake < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (const int result = snd_pcm_start(m_pcm); result < 0) {
        error = snd_strerror(result);
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { capture(); });
    return true;
}

void AlsaPcmCapture::reset() {
    stopThread();
    snd_pcm_drop(m_pcm);
    m_buffers.returnAll();
    snd_pcm_prepare(m_pcm);
}

void AlsaPcmCapture::stopThread() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    std::uint64_t drained = 0;
    [[maybe_unused]] const ssize_t ignoredToo = ::read(m_wake, &drained, sizeof drained);
}

// Reads what is available; false when the device is gone for good. `read` tells whether any frame came.
bool AlsaPcmCapture::readAvailable(bool& read) {
    read = false;
    for (;;) {
        const std::span<std::uint8_t> target = m_buffers.destination();
        const auto frames =
            static_cast<snd_pcm_uframes_t>(target.size() / static_cast<std::size_t>(m_bytesPerFrame));
        if (frames == 0) {
            m_buffers.consumed(0);
            continue;
        }
        const snd_pcm_sframes_t got = snd_pcm_readi(m_pcm, target.data(), frames);
        if (got == -EAGAIN)
            return true;
        if (got < 0) {
            // An overrun (-EPIPE) or a suspend (-ESTRPIPE) is recovered; anything else ends the capture.
            if (snd_pcm_recover(m_pcm, static_cast<int>(got), 1) < 0 || snd_pcm_start(m_pcm) < 0)
                return snd_pcm_state(m_pcm) == SND_PCM_STATE_RUNNING;
            continue;
        }
        m_buffers.consumed(static_cast<std::size_t>(got) * static_cast<std::size_t>(m_bytesPerFrame));
        read = read || got > 0;
    }
}

void AlsaPcmCapture::capture() {
    const int count = snd_pcm_poll_descriptors_count(m_pcm);
    if (count <= 0)
        return;
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    fds[0] = {m_wake, POLLIN, 0};
    snd_pcm_poll_descriptors(m_pcm, fds.data() + 1, static_cast<unsigned>(count));
    while (!m_stop) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        unsigned short events = 0;
        if (snd_pcm_poll_descriptors_revents(m_pcm, fds.data() + 1, static_cast<unsigned>(count), &events) <
            0)
            return;
        if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            snd_pcm_state(m_pcm) == SND_PCM_STATE_DISCONNECTED)
            return; // the device vanished: the program's watchdog takes over
        bool read = false;
        if (!readAvailable(read))
            return;
        // Some plugins report readable with nothing to read: pause briefly instead of spinning. The queued
        // buffers hold far more than the pause.
        if (!read && ::poll(fds.data(), 1, wakeWithoutDataPauseMs) > 0)
            return;
    }
}

} // namespace quietmon
