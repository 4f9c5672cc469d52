#include "platform/linux/PulseAudioEndpoints.h"

#include "platform/linux/PulseBlockingConnection.h"
#include "platform/linux/PulseContext.h"
#include "platform/linux/PulsePollingLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <pulse/pulseaudio.h>
#include <string>
#include <utility>

namespace quietmon {

namespace {

// One frame of peaks per 20 ms, so that whole frames make up the usual polling intervals; since the meter
// keeps the largest of them until it is read, no peak escapes however seldom the logic reads.
constexpr std::uint32_t peakRate = 50;
constexpr pa_usec_t reconnectInterval = 10 * PA_USEC_PER_SEC;
constexpr std::chrono::milliseconds firstDeliveryGrace{3000};

// PipeWire's PulseAudio server (0.3.65, Debian 12's) stops serving a peak-detecting stream after about two
// seconds while it stays connected, and at higher peak rates it has crashed; an ordinary record stream of
// the source's own rate is what every capture client reads, and it keeps coming.
bool servesPeakStreamsBadly(const char* serverName) {
    return serverName && std::strstr(serverName, "PipeWire") != nullptr;
}

struct SourceListing {
    std::vector<std::pair<std::uint32_t, AudioEndpoint>> sources;
    bool finished = false;
};

void onListedSource(pa_context*, const pa_source_info* info, int endOfList, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    if (info)
        listing->sources.push_back({info->index, AudioEndpoint{info->name ? info->name : "",
                                                               info->description ? info->description : ""}});
    if (endOfList != 0)
        listing->finished = true;
}

// A record stream that the server reduces to one frame per 20 ms, each sample the peak of its channel, and
// delivers in fragments of about one read interval. Where the server does that badly, a record stream of
// 16-bit samples at the source's own rate, whose peaks the meter finds itself: the same readings for about
// the cost of any capture client. A stream that stays connected but delivers nothing for two read
// intervals has stalled: it reads as lost (never as silence) and is made anew at once, then every 10 s
// while it goes on stalling. Its mainloop has no thread: each read dispatches what
// arrived since the previous one. A reader told of deliveries has the logic thread read the connection as
// soon as the server wrote, and hears of it once at least half a read interval of peaks came. A server
// that delivers in smaller pieces (another reader hurries the source) is not followed piece by piece: after
// a piece, the connection is read again only when the rest of the interval is due.
class PulsePeakMeter final : public EndpointPeakMeter {
public:
    PulsePeakMeter(std::string sourceName, int readIntervalMs)
        : m_sourceName(std::move(sourceName)), m_readIntervalMs(std::max(readIntervalMs, 1)) {}

    ~PulsePeakMeter() override {
        dropConnection();
        if (m_reconnectEvent)
            m_mainloop.api()->time_free(m_reconnectEvent);
    }

    PulsePeakMeter(const PulsePeakMeter&) = delete;
    PulsePeakMeter& operator=(const PulsePeakMeter&) = delete;

    // Makes the first connection; whether the stream runs within `timeout`.
    bool start(std::chrono::milliseconds timeout) {
        connect();
        return m_mainloop.runUntil(std::chrono::steady_clock::now() + timeout, [this] {
            return m_state != State::connecting;
        }) && m_state == State::streaming;
    }

    std::optional<std::vector<float>> readPeaks() override {
        m_mainloop.dispatchPending();
        endWaitingForARead();
        if (m_state != State::streaming)
            return std::nullopt;
        const auto now = std::chrono::steady_clock::now();
        if (m_delivered) {
            // The maxima start again from 0 after every read.
            m_delivered = false;
            m_framesSinceRead = 0;
            m_lastDelivery = now;
            m_lastPeaks = m_peaks;
            std::fill(m_peaks.begin(), m_peaks.end(), 0.0f);
            return m_lastPeaks;
        }
        // The server's fragments and the reads keep time apart: a fragment due by now may come a little
        // after the read, and a 0 in between would be a moment of silence that never was.
        // Nothing is known of a stream before its first data: no reading, not silence.
        if (now - m_lastDelivery < allowedQuiet())
            return m_deliveredSinceConnect ? std::optional(m_lastPeaks) : std::nullopt;
        restartStalledStream();
        return std::nullopt;
    }

    void notifyDeliveries(EventLoop& loop, std::function<void()> onDelivery) override {
        m_onDelivery = std::move(onDelivery);
        m_mainloop.watchOn(
            loop, [this] { readWhatCame(); }, [this] { tellOfADelivery(); });
    }

    void setReadInterval(int ms) override {
        m_readIntervalMs = std::max(ms, 1);
        if (m_state != State::streaming || fragmentFrames() == m_requestedFrames)
            return;
        const pa_buffer_attr buffer = bufferAttributes();
        if (pa_operation* change =
                pa_stream_set_buffer_attr(m_stream, &buffer, &PulsePeakMeter::onBufferChanged, this))
            pa_operation_unref(change);
    }

private:
    enum class State { connecting, streaming, lost };

    void readWhatCame() {
        m_mainloop.dispatchPending();
        if (m_framesSinceRead == 0 || m_toldOfADelivery || enoughForARead()) {
            tellOfADelivery();
            return;
        }
        // A piece: the rest of the interval is read when it is due, with one frame to spare.
        const auto missing = static_cast<int>(m_requestedFrames) - static_cast<int>(m_framesSinceRead) + 1;
        m_mainloop.pauseWatching(static_cast<int>(std::max(missing, 1) * 1000LL / m_rate) + 1);
    }

    bool enoughForARead() const {
        return m_framesSinceRead * 2 >= std::max<std::uint32_t>(m_requestedFrames, 1);
    }

    void tellOfADelivery() {
        if (m_toldOfADelivery || !enoughForARead())
            return;
        // Set first: the reader usually reads inside the call, which clears it.
        m_toldOfADelivery = true;
        m_onDelivery();
        // Not read yet: further deliveries wait for the read.
        if (m_toldOfADelivery)
            m_mainloop.pauseWatching();
    }

    // A read takes whatever came: the meter watches the connection again.
    void endWaitingForARead() {
        if (!m_onDelivery)
            return;
        m_toldOfADelivery = false;
        m_mainloop.resumeWatching();
    }

    // How long the stream may deliver nothing before it counts as stalled: two read intervals once it has
    // delivered, and as long as a capture just opened has for its first input before.
    std::chrono::milliseconds allowedQuiet() const {
        const auto intervals = 2 * std::chrono::milliseconds(std::max(m_readIntervalMs, m_fragmentMs));
        return m_deliveredSinceConnect ? intervals : std::max(intervals, firstDeliveryGrace);
    }

    // The next attempt comes at once after a stream that delivered, 10 s after the previous one otherwise.
    // It runs from the loop's own timer, outside any of libpulse's callbacks.
    void restartStalledStream() {
        m_state = State::lost;
        if (!m_context)
            return;
        const pa_usec_t due = m_deliveredSinceConnect ? pa_rtclock_now() : m_lastAttempt + reconnectInterval;
        scheduleReconnect(due);
    }

    void connect() {
        m_lastAttempt = pa_rtclock_now();
        m_deliveredSinceConnect = false;
        m_context = newPulseContext(m_mainloop.api(), PulseTransfer::copied);
        if (!m_context) {
            // libpulse refuses only in a forked child, where no retry could succeed either.
            m_state = State::lost;
            return;
        }
        pa_context_set_state_callback(m_context, &PulsePeakMeter::onContextState, this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            loseConnection();
    }

    void dropConnection() {
        if (m_stream) {
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_set_read_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
        if (m_context) {
            // Disconnecting cancels a pending query, so its callback never sees a dropped context.
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
    }

    // The server, the connection or the source is gone: read nothing until a later attempt succeeds.
    // The dead objects stay until then, because a callback of theirs may be running now.
    void loseConnection() {
        m_state = State::lost;
        scheduleReconnect(pa_rtclock_now() + reconnectInterval);
    }

    void scheduleReconnect(pa_usec_t due) {
        if (m_reconnectPending || !m_context)
            return;
        m_reconnectPending = true;
        if (m_reconnectEvent)
            pa_context_rttime_restart(m_context, m_reconnectEvent, due);
        else
            m_reconnectEvent = pa_context_rttime_new(m_context, due, &PulsePeakMeter::onReconnectTime, this);
    }

    void cancelReconnect() {
        if (!m_reconnectPending)
            return;
        m_reconnectPending = false;
        pa_context_rttime_restart(m_context, m_reconnectEvent, PA_USEC_INVALID);
    }

    // The whole peak frames nearest to a read interval: the server delivers about once per read.
    std::uint32_t fragmentFrames() const {
        return static_cast<std::uint32_t>(
            std::max(1, (m_readIntervalMs * static_cast<int>(m_rate) + 500) / 1000));
    }

    pa_buffer_attr bufferAttributes() {
        m_requestedFrames = fragmentFrames();
        pa_buffer_attr buffer{};
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength = static_cast<std::uint32_t>(-1);
        buffer.prebuf = static_cast<std::uint32_t>(-1);
        buffer.minreq = static_cast<std::uint32_t>(-1);
        buffer.fragsize = m_requestedFrames * static_cast<std::uint32_t>(m_channels * sampleBytes());
        return buffer;
    }

    // The fragment the server settled on, which the source's latency may have made longer than asked.
    void takeGrantedFragment() {
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(m_stream);
        if (granted && m_channels > 0)
            m_fragmentMs = static_cast<int>(granted->fragsize / (m_channels * sampleBytes()) * 1000 / m_rate);
    }

    std::size_t sampleBytes() const { return m_readsSamples ? sizeof(std::int16_t) : sizeof(float); }

    void createStream(const pa_source_info& source) {
        m_rate = m_readsSamples ? source.sample_spec.rate : peakRate;
        const pa_sample_spec format{m_readsSamples ? PA_SAMPLE_S16NE : PA_SAMPLE_FLOAT32NE, m_rate,
                                    source.channel_map.channels};
        m_stream = pa_stream_new(m_context, "Peak meter", &format, &source.channel_map);
        if (!m_stream) {
            loseConnection();
            return;
        }
        m_channels = format.channels;
        pa_stream_set_state_callback(m_stream, &PulsePeakMeter::onStreamState, this);
        pa_stream_set_read_callback(m_stream, &PulsePeakMeter::onStreamRead, this);
        const pa_buffer_attr buffer = bufferAttributes();
        // The source's latency follows the fragment. No PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND: a capture
        // source that the server suspended would read as silence while its input carries sound.
        // PA_STREAM_DONT_MOVE: when the source goes, the meter must not quietly measure some other source.
        const auto flags = static_cast<pa_stream_flags_t>((m_readsSamples ? 0 : PA_STREAM_PEAK_DETECT) |
                                                          PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        if (pa_stream_connect_record(m_stream, m_sourceName.c_str(), &buffer, flags) < 0)
            loseConnection();
    }

    void startStreaming() {
        cancelReconnect();
        takeGrantedFragment();
        m_state = State::streaming;
        m_peaks.assign(m_channels, 0.0f);
        m_lastPeaks.assign(m_channels, 0.0f);
        m_delivered = false;
        m_framesSinceRead = 0;
        // The first fragment has its two read intervals to come, as every later one has.
        m_lastDelivery = std::chrono::steady_clock::now();
        // The interval may have changed while the stream was being set up.
        setReadInterval(m_readIntervalMs);
    }

    void addSamples(const void* data, std::size_t bytes) {
        const std::size_t frames = bytes / (m_channels * sampleBytes());
        if (m_peaks.size() != m_channels || frames == 0)
            return;
        m_delivered = true;
        m_deliveredSinceConnect = true;
        m_framesSinceRead += static_cast<std::uint32_t>(frames);
        if (m_readsSamples)
            addPeaksOf<std::int16_t>(data, frames, 1.0f / 32768.0f);
        else
            addPeaksOf<float>(data, frames, 1.0f);
    }

    template <typename Sample> void addPeaksOf(const void* data, std::size_t frames, float scale) {
        const auto* bytePointer = static_cast<const unsigned char*>(data);
        for (std::size_t frame = 0; frame < frames; ++frame) {
            for (std::size_t channel = 0; channel < m_channels; ++channel) {
                Sample sample{};
                std::memcpy(&sample, bytePointer + (frame * m_channels + channel) * sizeof(Sample),
                            sizeof sample);
                // Float sources may go beyond full scale; the meter's scale ends there.
                const float peak = std::min(std::fabs(static_cast<float>(sample) * scale), 1.0f);
                m_peaks[channel] = std::max(m_peaks[channel], peak);
            }
        }
    }

    static void onContextState(pa_context* context, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            // Which server it is decides how the peaks are read.
            if (pa_operation* query =
                    pa_context_get_server_info(context, &PulsePeakMeter::onServerInfo, self))
                pa_operation_unref(query);
            else
                self->loseConnection();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->loseConnection();
            break;
        default:
            break;
        }
    }

    static void onServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        if (!info) {
            self->loseConnection();
            return;
        }
        self->m_readsSamples = servesPeakStreamsBadly(info->server_name);
        // The source's own channels and rate, which may have changed since the previous connection.
        if (pa_operation* query = pa_context_get_source_info_by_name(context, self->m_sourceName.c_str(),
                                                                     &PulsePeakMeter::onSourceInfo, self))
            pa_operation_unref(query);
        else
            self->loseConnection();
    }

    static void onSourceInfo(pa_context*, const pa_source_info* info, int endOfList, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        if (info && !self->m_stream)
            self->createStream(*info);
        else if (endOfList != 0 && !self->m_stream)
            self->loseConnection(); // no source of that name
    }

    static void onStreamState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            self->startStreaming();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            self->loseConnection();
            break;
        default:
            break;
        }
    }

    static void onBufferChanged(pa_stream* stream, int success, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        if (success && stream == self->m_stream)
            self->takeGrantedFragment();
    }

    static void onStreamRead(pa_stream* stream, std::size_t, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
            // No data with a length is a hole in the stream, which carries no peak.
            if (data)
                self->addSamples(data, bytes);
            pa_stream_drop(stream);
        }
    }

    static void onReconnectTime(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* self = static_cast<PulsePeakMeter*>(userdata);
        self->m_reconnectPending = false;
        self->dropConnection();
        self->connect();
        // A server that accepts the connection and then never answers would hold this attempt forever;
        // unless it streams by then, the next one starts after the same interval.
        self->scheduleReconnect(pa_rtclock_now() + reconnectInterval);
    }

    const std::string m_sourceName;
    int m_readIntervalMs;
    PulsePollingLoop m_mainloop;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_reconnectEvent = nullptr;
    bool m_reconnectPending = false;
    State m_state = State::connecting;
    bool m_readsSamples = false;          // the server's peak streams are not to be relied on
    std::uint32_t m_rate = peakRate;      // frames per second of the stream
    pa_usec_t m_lastAttempt = 0;          // of a connection, on libpulse's clock
    bool m_deliveredSinceConnect = false; // the stream of that attempt delivered once at least
    std::size_t m_channels = 0;
    std::uint32_t m_requestedFrames = 0;
    int m_fragmentMs = 0;

    std::function<void()> m_onDelivery;
    bool m_toldOfADelivery = false; // and not read since
    std::uint32_t m_framesSinceRead = 0;

    std::vector<float> m_peaks; // the largest since the previous read
    bool m_delivered = false;   // whether any data came since the previous read
    std::vector<float> m_lastPeaks;
    std::chrono::steady_clock::time_point m_lastDelivery; // the read that last found data
};

} // namespace

PulseAudioEndpoints::PulseAudioEndpoints(std::chrono::milliseconds answerTimeout)
    : m_answerTimeout(answerTimeout) {}

std::vector<AudioEndpoint> PulseAudioEndpoints::list() {
    PulseBlockingConnection connection(m_answerTimeout);
    if (!connection.ready())
        return {};
    SourceListing listing;
    if (!connection.complete(pa_context_get_source_info_list(connection.context(), &onListedSource, &listing),
                             [&listing] { return listing.finished; }))
        return {};
    std::stable_sort(listing.sources.begin(), listing.sources.end(),
                     [](const auto& left, const auto& right) { return left.first < right.first; });
    std::vector<AudioEndpoint> endpoints;
    endpoints.reserve(listing.sources.size());
    for (auto& [index, endpoint] : listing.sources)
        endpoints.push_back(std::move(endpoint));
    return endpoints;
}

std::unique_ptr<EndpointPeakMeter> PulseAudioEndpoints::openMeter(const std::string& id, int readIntervalMs) {
    auto meter = std::make_unique<PulsePeakMeter>(id, readIntervalMs);
    if (!meter->start(m_answerTimeout))
        return nullptr;
    return meter;
}

} // namespace quietmon
