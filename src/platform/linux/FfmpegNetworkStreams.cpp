#include "platform/linux/FfmpegNetworkStreams.h"

#include "platform/linux/FfmpegAudioDecoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

namespace quietmon {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Network protocols only: a playlist that names a local file, a pipe or a concatenation is not read.
constexpr const char* allowedProtocols = "http,https,tls,tcp,hls,crypto,httpproxy";
constexpr auto connectTimeout = std::chrono::seconds(10);
constexpr const char* readTimeoutMicroseconds = "10000000";
constexpr auto deliveryTimeout = std::chrono::seconds(1);
// How long the burst of buffered audio a server sends on connect may take to arrive.
constexpr auto connectBurstWindow = std::chrono::seconds(3);
// Consecutive packets the decoder refuses before the stream counts as undecodable; a single corrupt
// frame is skipped.
constexpr int undecodablePacketLimit = 40;
// Buffers handed over at once, 375 ms of audio: the logic thread wakes once for them. A wake-up of the
// two threads costs more than measuring a buffer, and a stream is heard for months.
constexpr int buffersPerHandOver = 3;
// While the next hand-over's audio is queued (and, during the connect burst, once it has caught up with
// the stream), the reader leaves the network to gather packets until that hand-over rather than wake
// for each one. A read that waited this long had caught up.
constexpr auto caughtUpWait = std::chrono::milliseconds(2);
// The "now playing" title is looked for this often, not at every packet: looking costs a search through
// the connection's settings.
constexpr auto titleCheckInterval = std::chrono::seconds(1);
// How long the end of the program waits for the readers to leave FFmpeg.
constexpr auto shutdownDeadline = std::chrono::milliseconds(2000);

} // namespace

// Decoded interleaved samples waiting for a buffer, on the reader thread only. They are decoded onto its
// end and taken from its front without moving the rest each time; the space taken is given back once
// it is half of what is held.
class QueuedAudio {
public:
    std::size_t size() const { return m_samples.size() - m_front; }

    // Where decoded samples are appended.
    std::vector<std::int16_t>& appendable() {
        if (m_front > 0 && m_front >= m_samples.size() / 2) {
            m_samples.erase(m_samples.begin(), m_samples.begin() + static_cast<std::ptrdiff_t>(m_front));
            m_front = 0;
        }
        return m_samples;
    }

    // Fills `buffer` from the front; the caller has checked that enough is queued.
    void takeInto(std::span<std::uint8_t> buffer) {
        std::memcpy(buffer.data(), m_samples.data() + m_front, buffer.size());
        m_front += buffer.size() / sizeof(std::int16_t);
    }

    void keepNewest(std::size_t count) { m_front = m_samples.size() - std::min(count, size()); }

private:
    std::vector<std::int16_t> m_samples;
    std::size_t m_front = 0;
};

// What the device and its reader thread share; it outlives the device while the thread still runs.
struct FfmpegStreamState {
    FfmpegStreamState(EventLoop& logicLoop, std::string streamAddress, const CaptureFormat& captureFormat,
                      CaptureDriver::BufferDone bufferDone, StreamEvents streamEvents)
        : loop(logicLoop), address(std::move(streamAddress)), format(captureFormat),
          onBufferDone(std::move(bufferDone)), events(std::move(streamEvents)) {}

    // Runs `event` on the logic thread unless the device has been reset by then.
    void postEvent(std::function<void()> event) {
        std::lock_guard lock(mutex);
        if (stopped)
            return;
        loop.post([alive = alive, event = std::move(event)] {
            if (*alive)
                event();
        });
    }

    // The thread ends soon after: FFmpeg's interrupt callback asks for this.
    void stop() {
        std::lock_guard lock(mutex);
        stopped = true;
        wake.notify_all();
    }

    std::size_t samplesPerSecond() const {
        return static_cast<std::size_t>(format.framesPerSecond) * static_cast<std::size_t>(format.channels);
    }

    EventLoop& loop;
    const std::string address;
    const CaptureFormat format;
    const CaptureDriver::BufferDone onBufferDone;
    const StreamEvents events;
    // Read and written on the logic thread only.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    std::mutex mutex;
    // Wakes the reader from waiting for its next hand-over: the end.
    std::condition_variable wake;
    std::atomic<bool> stopped{false};
    std::deque<std::pair<std::span<std::uint8_t>, int>> buffers;
};

namespace {

// Hands the queued audio over a full buffer at a time, at the audio's own pace: a buffer falls due a
// buffer's duration after the one before, and audio that arrives early waits for its turn; after a gap
// longer than a buffer the pace starts again from the first one filled. The buffers due within the next
// hand-over's time go with the one due now.
class BufferPacer {
public:
    explicit BufferPacer(FfmpegStreamState& state)
        : m_state(state),
          m_bufferDuration(std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(
              static_cast<double>(state.format.framesPerBuffer) / state.format.framesPerSecond))) {}

    // Hands over what is due by `now`; when the next hand-over falls due, if a buffer and the audio
    // to fill it are there.
    std::optional<SteadyClock::time_point> handOverDue(SteadyClock::time_point now) {
        std::vector<int> handedOver;
        handedOver.reserve(buffersPerHandOver);
        std::optional<SteadyClock::time_point> next;
        {
            std::lock_guard lock(m_state.mutex);
            while (!m_state.stopped && fillable()) {
                if (!m_due || *m_due < now - m_bufferDuration)
                    m_due = now;
                if (*m_due > now + (buffersPerHandOver - 1) * m_bufferDuration) {
                    next = *m_due;
                    break;
                }
                const auto [buffer, tag] = m_state.buffers.front();
                m_state.buffers.pop_front();
                m_audio.takeInto(buffer);
                handedOver.push_back(tag);
                *m_due += m_bufferDuration;
            }
        }
        if (!handedOver.empty()) {
            // Filled buffers go back even after a reset: they belong to the driver.
            m_state.loop.post([done = m_state.onBufferDone, tags = std::move(handedOver)] {
                for (const int tag : tags)
                    done(tag);
            });
        }
        return next;
    }

    // Lets the reader sleep until the next hand-over, `next`; false once the device has been reset.
    bool waitForHandOver(SteadyClock::time_point next) {
        std::unique_lock lock(m_state.mutex);
        return !m_state.wake.wait_until(lock, next, [this] { return m_state.stopped.load(); });
    }

    QueuedAudio& audio() { return m_audio; }
    std::size_t handOverSamples() const {
        return static_cast<std::size_t>(buffersPerHandOver * m_state.format.framesPerBuffer *
                                        m_state.format.channels);
    }

    // After the stream has gone: what is still queued, at its pace, while buffers come back for it.
    void handOverTheRest() {
        while (const std::optional<SteadyClock::time_point> next = handOverDue(SteadyClock::now())) {
            if (!waitForHandOver(*next))
                return;
        }
    }

private:
    bool fillable() const {
        return !m_state.buffers.empty() &&
               m_audio.size() >= m_state.buffers.front().first.size() / sizeof(std::int16_t);
    }

    FfmpegStreamState& m_state;
    const SteadyClock::duration m_bufferDuration;
    QueuedAudio m_audio;
    std::optional<SteadyClock::time_point> m_due;
};

// The value of StreamTitle in an ICY metadata block: StreamTitle='Artist - Title';StreamUrl='';
std::optional<std::string> icyStreamTitle(const std::string& metadata) {
    static constexpr std::string_view key = "StreamTitle='";
    const std::size_t start = metadata.find(key);
    if (start == std::string::npos)
        return std::nullopt;
    const std::size_t from = start + key.size();
    std::size_t end = metadata.find("';", from);
    if (end == std::string::npos)
        end = std::max(metadata.rfind('\''), from);
    return metadata.substr(from, end - from);
}

// Connects, decodes and resamples on the reader thread, and hands the audio over through the pacer: at
// each hand-over it reads what the network gathered meanwhile, so that it wakes a few times a second
// rather than for every packet (an MP3 frame lasts 26 ms).
class StreamReader {
public:
    StreamReader(std::shared_ptr<FfmpegStreamState> state, BufferPacer& pacer)
        : m_state(std::move(state)), m_pacer(pacer),
          m_decoder(m_state->format.framesPerSecond, m_state->format.channels) {}
    ~StreamReader() { av_packet_free(&m_packet); }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // Reads until the stream fails or ends, or the device is reset; why it stopped.
    std::string read() {
        m_deadline = SteadyClock::now() + connectTimeout;
        if (std::string failure = connect(); !failure.empty())
            return failure;
        m_connected = true;
        m_connectedAt = SteadyClock::now();
        extendDeliveryDeadline(SteadyClock::now() + deliveryTimeout);
        m_packet = av_packet_alloc();
        int refusedPackets = 0;
        bool caughtUp = false;
        for (;;) {
            m_nextHandOver = m_pacer.handOverDue(SteadyClock::now());
            // While the burst sent on connect arrives, it is read at once, and only its newest part kept.
            const bool afterBurst = SteadyClock::now() - m_connectedAt >= connectBurstWindow;
            // Only with a hand-over ahead: while the logic thread holds every buffer (a task that blocks
            // it), the reader reads on and keeps the queue short, so that afterwards the monitor hears the
            // stream's present rather than what piled up meanwhile.
            if (m_nextHandOver && m_pacer.audio().size() >= m_pacer.handOverSamples() &&
                (caughtUp || afterBurst)) {
                if (!m_pacer.waitForHandOver(*m_nextHandOver))
                    return {};
                continue;
            }
            const auto reading = SteadyClock::now();
            const int result = m_decoder.readPacket(*m_packet);
            if (result < 0)
                return result == AVERROR_EOF ? "the stream ended" : failureOf(result);
            const auto now = SteadyClock::now();
            // A read that had to wait for the network has caught up with the stream; one that did not
            // reads what is already there.
            caughtUp = now - reading >= caughtUpWait;
            extendDeliveryDeadline(now + deliveryTimeout);
            if (now >= m_nextTitleCheck) {
                m_nextTitleCheck = now + titleCheckInterval;
                noticeTitle();
            }
            const std::size_t queuedBefore = m_pacer.audio().size();
            refusedPackets =
                m_decoder.decode(*m_packet, m_pacer.audio().appendable()) ? 0 : refusedPackets + 1;
            av_packet_unref(m_packet);
            if (m_pacer.audio().size() > queuedBefore)
                keepQueueShort();
            if (refusedPackets >= undecodablePacketLimit)
                return "undecodable data";
        }
    }

private:
    static int interrupted(void* reader) { return static_cast<StreamReader*>(reader)->interrupted() ? 1 : 0; }

    bool interrupted() {
        if (m_state->stopped)
            return true;
        const auto now = SteadyClock::now();
        // FFmpeg asks at least every 100 ms while it waits for the network: the queued audio is handed
        // over meanwhile, as if the reader were asleep.
        if (m_nextHandOver && now >= *m_nextHandOver)
            m_nextHandOver = m_pacer.handOverDue(now);
        if (!m_connected && now > m_deadline) {
            m_interruption = "no answer within 10 s";
            return true;
        }
        if (m_connected && now > SteadyClock::time_point(SteadyClock::duration(m_deliveryDeadline.load()))) {
            m_interruption = "no data for 1 s";
            return true;
        }
        return false;
    }

    // A stream stops delivering when nothing arrived for a second after the audio already received has
    // been heard: servers that send their audio in pages of a second (Ogg) are not lost between two.
    void extendDeliveryDeadline(SteadyClock::time_point deadline) {
        m_deliveryDeadline = std::max(m_deliveryDeadline.load(), deadline.time_since_epoch().count());
    }

    std::string failureOf(int code) const {
        return code == AVERROR_EXIT && !m_interruption.empty() ? m_interruption : ffmpegErrorText(code);
    }

    std::string connect() {
        FfmpegAudioDecoder::Options options;
        options.protocols = allowedProtocols;
        options.interrupt = {&StreamReader::interrupted, this};
        options.mp3ByMpg123 = true;
        // A dropped connection must be seen: the monitor connects again on its own schedule.
        options.settings = {{"rw_timeout", readTimeoutMicroseconds},
                            {"icy", "1"},
                            {"reconnect", "0"},
                            {"reconnect_streamed", "0"}};
        // FFmpeg accepts any certificate unless told otherwise, on the address and on a playlist's
        // segments alike.
        options.everyConnection = {{"tls_verify", "1"}};
        // The authorities the rest of the program trusts: the system's, or those SSL_CERT_FILE names.
        if (const char* authorities = std::getenv("SSL_CERT_FILE"); authorities && *authorities)
            options.everyConnection.emplace_back("ca_file", authorities);
        if (std::string failure = m_decoder.open(
                m_state->address, options,
                [this](int code) { return code == AVERROR_EXIT ? failureOf(code) : ffmpegFailure(code); });
            !failure.empty())
            return failure;
        const AVCodecParameters& parameters = m_decoder.parameters();
        m_state->postEvent([state = m_state, codecName = m_decoder.codecName(), rate = parameters.sample_rate,
                            channels = parameters.ch_layout.nb_channels] {
            state->events.connected(codecName, rate, channels);
        });
        return {};
    }

    void noticeTitle() {
        std::uint8_t* value = nullptr;
        if (av_opt_get(m_decoder.container().pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &value) < 0 ||
            !value)
            return;
        const std::string metadata(reinterpret_cast<const char*>(value));
        av_free(value);
        const std::optional<std::string> title = icyStreamTitle(metadata);
        if (!title || *title == m_title)
            return;
        m_title = *title;
        m_state->postEvent([state = m_state, title = *title] { state->events.title(title); });
    }

    void keepQueueShort() {
        const auto outputChannels = static_cast<std::size_t>(m_state->format.channels);
        QueuedAudio& audio = m_pacer.audio();
        // A server sends seconds at once on connect: while they arrive the monitor keeps the newest half
        // second, so that it hears the stream's present. Later the audio comes at its own pace and is
        // kept whole; a stream that arrives in larger pieces (Ogg pages) runs dry once and then keeps
        // what it needs to play on without a gap.
        const bool connecting = SteadyClock::now() - m_connectedAt < connectBurstWindow;
        const std::size_t kept = m_state->samplesPerSecond() / 2 / outputChannels * outputChannels;
        const std::size_t most = connecting ? kept : m_state->samplesPerSecond() * 3;
        if (audio.size() > most)
            audio.keepNewest(kept);
        extendDeliveryDeadline(SteadyClock::now() +
                               std::chrono::duration_cast<SteadyClock::duration>(
                                   std::chrono::duration<double>(queuedSeconds())) +
                               deliveryTimeout);
    }

    double queuedSeconds() {
        return static_cast<double>(m_pacer.audio().size()) / static_cast<double>(m_state->samplesPerSecond());
    }

    std::shared_ptr<FfmpegStreamState> m_state;
    BufferPacer& m_pacer;
    std::optional<SteadyClock::time_point> m_nextHandOver;
    FfmpegAudioDecoder m_decoder;
    AVPacket* m_packet = nullptr;
    std::string m_title;
    SteadyClock::time_point m_deadline;
    SteadyClock::time_point m_connectedAt;
    SteadyClock::time_point m_nextTitleCheck;
    std::atomic<bool> m_connected{false};
    std::atomic<SteadyClock::rep> m_deliveryDeadline{0};
    std::string m_interruption;
};

void readStream(const std::shared_ptr<FfmpegStreamState>& state) {
    BufferPacer pacer(*state);
    std::string reason;
    {
        StreamReader reader(state, pacer);
        reason = reader.read();
    }
    if (!state->stopped)
        state->postEvent([state, reason] { state->events.lost(reason); });
    pacer.handOverTheRest();
}

class FfmpegStreamDevice final : public CaptureDevice {
public:
    FfmpegStreamDevice(std::shared_ptr<FfmpegStreamState> state, StreamThreads& threads)
        : m_state(std::move(state)), m_threads(threads) {}
    ~FfmpegStreamDevice() override { reset(); }
    FfmpegStreamDevice(const FfmpegStreamDevice&) = delete;
    FfmpegStreamDevice& operator=(const FfmpegStreamDevice&) = delete;

    bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string& error) override {
        if (buffer.size() % (sizeof(std::int16_t) * static_cast<std::size_t>(m_state->format.channels)) !=
            0) {
            error = "The buffer does not hold whole frames.";
            return false;
        }
        std::lock_guard lock(m_state->mutex);
        m_state->buffers.emplace_back(buffer, tag);
        return true;
    }

    bool start(std::string&) override {
        if (m_started)
            return true;
        m_started = true;
        // The reader is not waited for here: the logic thread must never wait on the network. Once reset,
        // it touches no buffer and posts nothing, and its FFmpeg calls are interrupted.
        m_threads.run([state = m_state] { readStream(state); });
        return true;
    }

    void reset() override {
        *m_state->alive = false;
        std::deque<std::pair<std::span<std::uint8_t>, int>> returned;
        {
            std::lock_guard lock(m_state->mutex);
            returned.swap(m_state->buffers);
        }
        m_state->stop();
        for (const auto& [buffer, tag] : returned)
            m_state->loop.post([done = m_state->onBufferDone, tag = tag] { done(tag); });
    }

private:
    std::shared_ptr<FfmpegStreamState> m_state;
    StreamThreads& m_threads;
    bool m_started = false;
};

} // namespace

void StreamThreads::run(std::function<void()> work) {
    {
        std::lock_guard lock(m_count->mutex);
        ++m_count->running;
    }
    std::thread([count = m_count, work = std::move(work)] {
        work();
        std::lock_guard lock(count->mutex);
        --count->running;
        count->finished.notify_all();
    }).detach();
}

bool StreamThreads::waitUntilFinished(std::chrono::milliseconds deadline) {
    std::unique_lock lock(m_count->mutex);
    return m_count->finished.wait_for(lock, deadline, [this] { return m_count->running == 0; });
}

FfmpegNetworkStreams::FfmpegNetworkStreams(EventLoop& loop) : m_loop(loop) {
    keepFfmpegQuiet();
    avformat_network_init();
}

FfmpegNetworkStreams::~FfmpegNetworkStreams() {
    for (const std::weak_ptr<FfmpegStreamState>& opened : m_opened)
        if (const std::shared_ptr<FfmpegStreamState> state = opened.lock())
            state->stop();
    // A reader stuck in a name lookup, which nothing interrupts, is left behind rather than holding up
    // the end of the program.
    m_threads.waitUntilFinished(shutdownDeadline);
}

std::unique_ptr<CaptureDevice> FfmpegNetworkStreams::open(const std::string& address,
                                                          const CaptureFormat& format,
                                                          CaptureDriver::BufferDone onBufferDone,
                                                          StreamEvents events, std::string& error) {
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2) {
        error = "A stream is read as 16-bit mono or stereo only.";
        return nullptr;
    }
    auto state = std::make_shared<FfmpegStreamState>(m_loop, address, format, std::move(onBufferDone),
                                                     std::move(events));
    std::erase_if(m_opened, [](const std::weak_ptr<FfmpegStreamState>& opened) { return opened.expired(); });
    m_opened.push_back(state);
    return std::make_unique<FfmpegStreamDevice>(std::move(state), m_threads);
}

} // namespace quietmon
