#include "platform/linux/FfmpegNetworkStreams.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
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

// What the device and its two threads share; it outlives the device while a thread still runs.
struct StreamState {
    StreamState(EventLoop& logicLoop, std::string streamAddress, const CaptureFormat& captureFormat,
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
    std::condition_variable wake;
    std::atomic<bool> stopped{false};
    bool readerDone = false;
    std::deque<std::pair<std::span<std::uint8_t>, int>> buffers;
    std::vector<std::int16_t> audio; // decoded, interleaved, not yet handed over
};

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

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
    explicit StreamReader(std::shared_ptr<StreamState> state) : m_state(std::move(state)) {}
    ~StreamReader() {
        swr_free(&m_resampler);
        avcodec_free_context(&m_decoder);
        avformat_close_input(&m_context);
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
    }
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
        m_frame = av_frame_alloc();
        int refusedPackets = 0;
        for (;;) {
            const int result = av_read_frame(m_context, m_packet);
            if (result < 0)
                return result == AVERROR_EOF ? "the stream ended" : failureOf(result);
            extendDeliveryDeadline(SteadyClock::now() + deliveryTimeout);
            noticeTitle();
            if (m_packet->stream_index == m_streamIndex)
                refusedPackets = decode() ? 0 : refusedPackets + 1;
            av_packet_unref(m_packet);
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
        return code == AVERROR_EXIT && !m_interruption.empty() ? m_interruption : errorText(code);
    }

    std::string connect() {
        m_context = avformat_alloc_context();
        m_context->interrupt_callback = {&StreamReader::interrupted, this};
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", allowedProtocols, 0);
        av_dict_set(&options, "rw_timeout", readTimeoutMicroseconds, 0);
        av_dict_set(&options, "icy", "1", 0);
        // A dropped connection must be seen: the monitor connects again on its own schedule.
        av_dict_set(&options, "reconnect", "0", 0);
        av_dict_set(&options, "reconnect_streamed", "0", 0);
        int result = avformat_open_input(&m_context, m_state->address.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (result < 0)
            return failureOf(result);
        if ((result = avformat_find_stream_info(m_context, nullptr)) < 0)
            return failureOf(result);
        const AVCodec* codec = nullptr;
        m_streamIndex = av_find_best_stream(m_context, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (m_streamIndex < 0 || !codec)
            return "no audio in the stream";
        const AVCodecParameters* parameters = m_context->streams[m_streamIndex]->codecpar;
        m_decoder = avcodec_alloc_context3(codec);
        if (!m_decoder || avcodec_parameters_to_context(m_decoder, parameters) < 0 ||
            (result = avcodec_open2(m_decoder, codec, nullptr)) < 0)
            return "the stream's codec cannot be decoded";
        const std::string codecName = avcodec_get_name(parameters->codec_id);
        const int rate = parameters->sample_rate;
        const int channels = parameters->ch_layout.nb_channels;
        m_state->postEvent([state = m_state, codecName, rate, channels] {
            state->events.connected(codecName, rate, channels);
        });
        return {};
    }

    void noticeTitle() {
        std::uint8_t* value = nullptr;
        if (av_opt_get(m_context->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value)
            return;
        const std::string metadata(reinterpret_cast<const char*>(value));
        av_free(value);
        const std::optional<std::string> title = icyStreamTitle(metadata);
        if (!title || *title == m_title)
            return;
        m_title = *title;
        m_state->postEvent([state = m_state, title = *title] { state->events.title(title); });
    }

    // False when the decoder refused the packet.
    bool decode() {
        if (avcodec_send_packet(m_decoder, m_packet) < 0)
            return false;
        int result = 0;
        while ((result = avcodec_receive_frame(m_decoder, m_frame)) >= 0) {
            const bool converted = convert();
            av_frame_unref(m_frame);
            if (!converted)
                return false;
        }
        return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
    }

    // A stream may change its rate or channels midway: the resampler follows.
    bool prepareResampler() {
        const bool same = m_resampler && m_inputRate == m_frame->sample_rate &&
                          m_inputFormat == m_frame->format &&
                          av_channel_layout_compare(&m_inputLayout, &m_frame->ch_layout) == 0;
        if (same)
            return true;
        swr_free(&m_resampler);
        av_channel_layout_uninit(&m_inputLayout);
        if (av_channel_layout_copy(&m_inputLayout, &m_frame->ch_layout) < 0)
            return false;
        m_inputRate = m_frame->sample_rate;
        m_inputFormat = m_frame->format;
        // Mono is resampled as mono and copied to every channel: a mix would lower its level.
        m_duplicateMono = m_frame->ch_layout.nb_channels == 1;
        AVChannelLayout output;
        av_channel_layout_default(&output, m_duplicateMono ? 1 : m_state->format.channels);
        const int result = swr_alloc_set_opts2(
            &m_resampler, &output, AV_SAMPLE_FMT_S16, m_state->format.framesPerSecond, &m_frame->ch_layout,
            static_cast<AVSampleFormat>(m_frame->format), m_frame->sample_rate, 0, nullptr);
        return result >= 0 && swr_init(m_resampler) >= 0;
    }

    bool convert() {
        if (!prepareResampler())
            return false;
        const int capacity = swr_get_out_samples(m_resampler, m_frame->nb_samples);
        const int channels = m_duplicateMono ? 1 : m_state->format.channels;
        m_converted.resize(static_cast<std::size_t>(std::max(capacity, 0) * channels));
        auto* output = reinterpret_cast<std::uint8_t*>(m_converted.data());
        const int frames =
            swr_convert(m_resampler, &output, capacity,
                        const_cast<const std::uint8_t**>(m_frame->extended_data), m_frame->nb_samples);
        if (frames < 0)
            return false;
        handOver(std::span(m_converted.data(), static_cast<std::size_t>(frames * channels)));
        return true;
    }

    void handOver(std::span<const std::int16_t> samples) {
        const auto outputChannels = static_cast<std::size_t>(m_state->format.channels);
        std::lock_guard lock(m_state->mutex);
        std::vector<std::int16_t>& audio = m_state->audio;
        if (m_duplicateMono) {
            for (const std::int16_t sample : samples)
                audio.insert(audio.end(), outputChannels, sample);
        } else {
            audio.insert(audio.end(), samples.begin(), samples.end());
        }
        // A server sends seconds at once on connect: while they arrive the monitor keeps the newest half
        // second, so that it hears the stream's present. Later the audio comes at its own pace and is
        // kept whole; a stream that arrives in larger pieces (Ogg pages) runs dry once and then keeps
        // what it needs to play on without a gap.
        const bool connecting = SteadyClock::now() - m_connectedAt < connectBurstWindow;
        const std::size_t kept = m_state->samplesPerSecond() / 2 / outputChannels * outputChannels;
        const std::size_t most = connecting ? kept : m_state->samplesPerSecond() * 3;
        if (audio.size() > most)
            audio.erase(audio.begin(), audio.end() - static_cast<std::ptrdiff_t>(kept));
        const auto queued = std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(
            static_cast<double>(audio.size()) / static_cast<double>(m_state->samplesPerSecond())));
        extendDeliveryDeadline(SteadyClock::now() + queued + deliveryTimeout);
        m_state->wake.notify_all();
    }

    std::shared_ptr<StreamState> m_state;
    AVFormatContext* m_context = nullptr;
    AVCodecContext* m_decoder = nullptr;
    SwrContext* m_resampler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    AVChannelLayout m_inputLayout{};
    int m_inputRate = 0;
    int m_inputFormat = -1;
    bool m_duplicateMono = false;
    std::vector<std::int16_t> m_converted;
    int m_streamIndex = -1;
    std::string m_title;
    SteadyClock::time_point m_deadline;
    SteadyClock::time_point m_connectedAt;
    std::atomic<bool> m_connected{false};
    std::atomic<SteadyClock::rep> m_deliveryDeadline{0};
    std::string m_interruption;
};

void readStream(const std::shared_ptr<StreamState>& state) {
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
void paceBuffers(const std::shared_ptr<StreamState>& state) {
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
    explicit FfmpegStreamDevice(std::shared_ptr<StreamState> state) : m_state(std::move(state)) {}
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
        m_state->wake.notify_all();
        return true;
    }

    bool start(std::string&) override {
        if (m_started)
            return true;
        m_started = true;
        // Neither thread is waited for: a name lookup cannot be cut short, and the logic thread must never
        // wait on the network. Once reset, they touch no buffer and post nothing.
        std::thread([state = m_state] { readStream(state); }).detach();
        std::thread([state = m_state] { paceBuffers(state); }).detach();
        return true;
    }

    void reset() override {
        *m_state->alive = false;
        std::deque<std::pair<std::span<std::uint8_t>, int>> returned;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->stopped = true;
            returned.swap(m_state->buffers);
            m_state->wake.notify_all();
        }
        for (const auto& [buffer, tag] : returned)
            m_state->loop.post([done = m_state->onBufferDone, tag = tag] { done(tag); });
    }

private:
    std::shared_ptr<StreamState> m_state;
    bool m_started = false;
};

} // namespace

FfmpegNetworkStreams::FfmpegNetworkStreams(EventLoop& loop) : m_loop(loop) {
    av_log_set_level(AV_LOG_QUIET);
    avformat_network_init();
}

std::unique_ptr<CaptureDevice> FfmpegNetworkStreams::open(const std::string& address,
                                                          const CaptureFormat& format,
                                                          CaptureDriver::BufferDone onBufferDone,
                                                          StreamEvents events, std::string& error) {
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2) {
        error = "A stream is read as 16-bit mono or stereo only.";
        return nullptr;
    }
    return std::make_unique<FfmpegStreamDevice>(
        std::make_shared<StreamState>(m_loop, address, format, std::move(onBufferDone), std::move(events)));
}

} // namespace quietmon
