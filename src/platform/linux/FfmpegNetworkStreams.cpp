#include "platform/linux/FfmpegNetworkStreams.h"

#include "platform/linux/FfmpegAudioDecoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
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
// Once it has caught up with the stream, and while this many seconds of audio are queued, the reader
// waits this long before it reads on. A read that waited this long had caught up.
constexpr double queueBeforeGathering = 0.35;
constexpr auto gatheringTime = std::chrono::milliseconds(250);
constexpr auto caughtUpWait = std::chrono::milliseconds(2);
// The "now playing" title is looked for this often, not at every packet: looking costs a search through
// the connection's settings.
constexpr auto titleCheckInterval = std::chrono::milliseconds(500);
// How long the end of the program waits for the readers to leave FFmpeg.
constexpr auto shutdownDeadline = std::chrono::milliseconds(2000);

} // namespace

// What the device and its two threads share; it outlives the device while a thread still runs.
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

    // The threads end soon after: FFmpeg's interrupt callback asks for this.
    void stop() {
        std::lock_guard lock(mutex);
        stopped = true;
        wake.notify_all();
        stopping.notify_all();
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
    // Wakes the pacer: a buffer to fill, enough audio for it, or the end.
    std::condition_variable wake;
    // Wakes the reader from gathering packets.
    std::condition_variable stopping;
    std::atomic<bool> stopped{false};
    bool readerDone = false;
    std::deque<std::pair<std::span<std::uint8_t>, int>> buffers;
    std::vector<std::int16_t> audio; // decoded, interleaved, not yet handed over
};

namespace {

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

// Connects, decodes and resamples on the reader thread; the audio goes to the shared state.
class StreamReader {
public:
    explicit StreamReader(std::shared_ptr<FfmpegStreamState> state)
        : m_state(std::move(state)), m_decoder(m_state->format.framesPerSecond, m_state->format.channels) {}
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
        for (;;) {
            const auto reading = SteadyClock::now();
            const int result = m_decoder.readPacket(*m_packet);
            if (result < 0)
                return result == AVERROR_EOF ? "the stream ended" : failureOf(result);
            const auto now = SteadyClock::now();
            // A read that had to wait for the network has caught up with the stream; one that did not
            // reads what is already there, such as the burst sent on connect.
            const bool caughtUp = now - reading >= caughtUpWait;
            extendDeliveryDeadline(now + deliveryTimeout);
            if (now >= m_nextTitleCheck) {
                m_nextTitleCheck = now + titleCheckInterval;
                noticeTitle();
            }
            m_converted.clear();
            refusedPackets = m_decoder.decode(*m_packet, m_converted) ? 0 : refusedPackets + 1;
            av_packet_unref(m_packet);
            if (!m_converted.empty() && handOver(m_converted) >= queueBeforeGathering && caughtUp)
                gatherPackets();
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

    // Hands the samples over; the seconds of audio now queued.
    double handOver(std::span<const std::int16_t> samples) {
        const auto outputChannels = static_cast<std::size_t>(m_state->format.channels);
        std::lock_guard lock(m_state->mutex);
        std::vector<std::int16_t>& audio = m_state->audio;
        const std::size_t before = audio.size();
        audio.insert(audio.end(), samples.begin(), samples.end());
        // A server sends seconds at once on connect: while they arrive the monitor keeps the newest half
        // second, so that it hears the stream's present. Later the audio comes at its own pace and is
        // kept whole; a stream that arrives in larger pieces (Ogg pages) runs dry once and then keeps
        // what it needs to play on without a gap.
        const bool connecting = SteadyClock::now() - m_connectedAt < connectBurstWindow;
        const std::size_t kept = m_state->samplesPerSecond() / 2 / outputChannels * outputChannels;
        const std::size_t most = connecting ? kept : m_state->samplesPerSecond() * 3;
        if (audio.size() > most)
            audio.erase(audio.begin(), audio.end() - static_cast<std::ptrdiff_t>(kept));
        const double queued =
            static_cast<double>(audio.size()) / static_cast<double>(m_state->samplesPerSecond());
        extendDeliveryDeadline(
            SteadyClock::now() +
            std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(queued)) +
            deliveryTimeout);
        // The pacer waits for audio only while less than its next buffer is there.
        const std::size_t needed = m_state->buffers.empty()
                                       ? std::numeric_limits<std::size_t>::max()
                                       : m_state->buffers.front().first.size() / sizeof(std::int16_t);
        if (before < needed && audio.size() >= needed)
            m_state->wake.notify_all();
        return queued;
    }

    // Waking for every packet that arrives (an MP3 frame lasts 26 ms) costs more than decoding it: while
    // enough is queued, the reader lets the network gather a few packets before it reads on.
    void gatherPackets() {
        std::unique_lock lock(m_state->mutex);
        m_state->stopping.wait_for(lock, gatheringTime, [this] { return m_state->stopped.load(); });
    }

    std::shared_ptr<FfmpegStreamState> m_state;
    FfmpegAudioDecoder m_decoder;
    AVPacket* m_packet = nullptr;
    std::vector<std::int16_t> m_converted;
    std::string m_title;
    SteadyClock::time_point m_deadline;
    SteadyClock::time_point m_connectedAt;
    SteadyClock::time_point m_nextTitleCheck;
    std::atomic<bool> m_connected{false};
    std::atomic<SteadyClock::rep> m_deliveryDeadline{0};
    std::string m_interruption;
};

void readStream(const std::shared_ptr<FfmpegStreamState>& state) {
    std::string reason;
    {
        StreamReader reader(state);
        reason = reader.read();
    }
    if (!state->stopped)
        state->postEvent([state, reason] { state->events.lost(reason); });
    std::lock_guard lock(state->mutex);
    state->readerDone = true;
    state->wake.notify_all();
}

// Hands a full buffer over every buffer's duration while audio is there; audio that arrives early waits
// for its turn, and after a gap longer than a buffer the pace starts again from the first one filled.
void paceBuffers(const std::shared_ptr<FfmpegStreamState>& state) {
    const auto bufferDuration =
        std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(
            static_cast<double>(state->format.framesPerBuffer) / state->format.framesPerSecond));
    std::optional<SteadyClock::time_point> due;
    std::unique_lock lock(state->mutex);
    while (!state->stopped) {
        const std::size_t samples =
            state->buffers.empty() ? 0 : state->buffers.front().first.size() / sizeof(std::int16_t);
        if (state->buffers.empty() || state->audio.size() < samples) {
            if (state->readerDone)
                return;
            state->wake.wait(lock);
            continue;
        }
        const auto now = SteadyClock::now();
        if (!due || *due < now - bufferDuration)
            due = now;
        if (now < *due) {
            state->wake.wait_until(lock, *due);
            continue;
        }
        const auto [buffer, tag] = state->buffers.front();
        state->buffers.pop_front();
        std::memcpy(buffer.data(), state->audio.data(), buffer.size());
        state->audio.erase(state->audio.begin(), state->audio.begin() + static_cast<std::ptrdiff_t>(samples));
        state->loop.post([done = state->onBufferDone, tag = tag] { done(tag); });
        *due += bufferDuration;
    }
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
        // The pacer waits for a buffer only while it has none.
        if (m_state->buffers.size() == 1)
            m_state->wake.notify_all();
        return true;
    }

    bool start(std::string&) override {
        if (m_started)
            return true;
        m_started = true;
        // Neither thread is waited for here: the logic thread must never wait on the network. Once reset,
        // they touch no buffer and post nothing, and the reader's FFmpeg calls are interrupted.
        m_threads.run([state = m_state] { readStream(state); });
        m_threads.run([state = m_state] { paceBuffers(state); });
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
