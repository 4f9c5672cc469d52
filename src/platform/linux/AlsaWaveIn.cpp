#include "platform/linux/AlsaWaveIn.h"

#include "platform/linux/AlsaCaptureDevices.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace quietmon {

namespace {

// alsa-lib prints its errors on standard error; the program reports failures its own way.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsaLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsaErrors); });
}

class AlsaCapture final : public WaveInDevice {
public:
    static constexpr int wakeWithoutDataPauseMs = 10;

    AlsaCapture(snd_pcm_t* pcm, int bytesPerFrame, EventLoop& loop, WaveInDriver::BufferDone onBufferDone)
        : m_pcm(pcm), m_bytesPerFrame(bytesPerFrame), m_loop(loop), m_onBufferDone(std::move(onBufferDone)),
          m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    ~AlsaCapture() override {
        stopThread();
        snd_pcm_close(m_pcm);
        if (m_wake >= 0)
            ::close(m_wake);
    }

    bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string&) override {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({buffer, tag, 0});
        return true;
    }

    bool start(std::string& error) override {
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

    void reset() override {
        stopThread();
        snd_pcm_drop(m_pcm);
        std::deque<Queued> returned;
        {
            std::lock_guard lock(m_mutex);
            returned.swap(m_queue);
        }
        for (const Queued& buffer : returned)
            postDone(buffer.tag);
        snd_pcm_prepare(m_pcm);
    }

private:
    struct Queued {
        std::span<std::uint8_t> buffer;
        int tag;
        std::size_t filled;
    };

    void stopThread() {
        if (!m_thread.joinable())
            return;
        m_stop = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wake, &one, sizeof one);
        m_thread.join();
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t ignoredToo = ::read(m_wake, &drained, sizeof drained);
    }

    void postDone(int tag) {
        m_loop.post([done = m_onBufferDone, tag] { done(tag); });
    }

    // Where the next frames go: the first queued buffer, or a scratch area whose contents are dropped.
    std::span<std::uint8_t> destination() {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty())
            return {m_scratch.data(), m_scratch.size()};
        Queued& front = m_queue.front();
        return front.buffer.subspan(front.filled);
    }

    // Counts what was read into the first buffer and posts it once it is full.
    void consumed(std::size_t bytes) {
        std::unique_lock lock(m_mutex);
        if (m_queue.empty())
            return;
        Queued& front = m_queue.front();
        front.filled += bytes;
        if (front.filled < front.buffer.size())
            return;
        const int tag = front.tag;
        m_queue.pop_front();
        lock.unlock();
        postDone(tag);
    }

    // Reads what is available; false when the device is gone for good. `read` tells whether any frame came.
    bool readAvailable(bool& read) {
        read = false;
        for (;;) {
            const std::span<std::uint8_t> target = destination();
            const auto frames =
                static_cast<snd_pcm_uframes_t>(target.size() / static_cast<std::size_t>(m_bytesPerFrame));
            if (frames == 0) {
                consumed(0);
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
            consumed(static_cast<std::size_t>(got) * static_cast<std::size_t>(m_bytesPerFrame));
            read = read || got > 0;
        }
    }

    void capture() {
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
            if (snd_pcm_poll_descriptors_revents(m_pcm, fds.data() + 1, static_cast<unsigned>(count),
                                                 &events) < 0)
                return;
            if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
                snd_pcm_state(m_pcm) == SND_PCM_STATE_DISCONNECTED)
                return; // the device vanished: the program's watchdog takes over
            bool read = false;
            if (!readAvailable(read))
                return;
            // Some plugins (the PulseAudio one while its stream starts) report readable with nothing to
            // read: pause briefly instead of spinning. The queued buffers hold far more than the pause.
            if (!read && ::poll(fds.data(), 1, wakeWithoutDataPauseMs) > 0)
                return;
        }
    }

    snd_pcm_t* m_pcm;
    int m_bytesPerFrame;
    EventLoop& m_loop;
    WaveInDriver::BufferDone m_onBufferDone;
    int m_wake;
    std::mutex m_mutex;
    std::deque<Queued> m_queue;
    std::vector<std::uint8_t> m_scratch = std::vector<std::uint8_t>(16384);
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool configure(snd_pcm_t* pcm, const WaveInFormat& format, std::string& error) {
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

std::vector<std::string> listAlsaCaptureDevices() {
    silenceAlsaLibrary();
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return {};
    std::vector<AlsaDeviceHint> entries;
    for (void** hint = hints; *hint; ++hint) {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* direction = snd_device_name_get_hint(*hint, "IOID");
        if (name)
            entries.push_back({name, direction ? direction : ""});
        std::free(name);
        std::free(direction);
    }
    snd_device_name_free_hint(hints);
    return captureDeviceNames(entries);
}

AlsaWaveInDriver::AlsaWaveInDriver(EventLoop& loop) : m_loop(loop) {
    silenceAlsaLibrary();
}

std::vector<std::string> AlsaWaveInDriver::deviceNames() {
    m_names = listAlsaCaptureDevices();
    return m_names;
}

std::unique_ptr<WaveInDevice> AlsaWaveInDriver::open(int device, const WaveInFormat& format,
                                                     BufferDone onBufferDone, std::string& error) {
    if (device >= 0 && m_names.empty())
        m_names = listAlsaCaptureDevices();
    if (device < -1 || device >= static_cast<int>(m_names.size())) {
        error = "The specified device number is out of range.";
        return nullptr;
    }
    const std::string name =
        device == -1 ? std::string("default") : m_names[static_cast<std::size_t>(device)];
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
    return std::make_unique<AlsaCapture>(pcm, bytesPerFrame, m_loop, std::move(onBufferDone));
}

} // namespace quietmon
