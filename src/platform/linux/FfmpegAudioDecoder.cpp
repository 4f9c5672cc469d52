#include "platform/linux/FfmpegAudioDecoder.h"

#include "platform/linux/Mpg123FrameDecoder.h"

#include <algorithm>
#include <cstdarg>

namespace quietmon {

namespace {

thread_local std::string lastReportedError;

void keepError(void*, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_ERROR)
        return;
    char line[512];
    int prefix = 0; // without the "[tls @ 0x…]" of the reporting context
    av_log_format_line2(nullptr, level, format, arguments, line, sizeof line, &prefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!text.empty())
        lastReportedError = text;
}

} // namespace

std::string ffmpegErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void keepFfmpegQuiet() {
    av_log_set_level(AV_LOG_ERROR);
    av_log_set_callback(keepError);
}

std::string ffmpegFailure(int code) {
    std::string text = ffmpegErrorText(code);
    if (!lastReportedError.empty())
        text += " (" + lastReportedError + ")";
    lastReportedError.clear();
    return text;
}

FfmpegPacketDecoder::~FfmpegPacketDecoder() {
    avcodec_free_context(&m_context);
    av_frame_free(&m_frame);
}

bool FfmpegPacketDecoder::open(const AVCodecParameters& parameters) {
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (!codec)
        return false;
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    return m_context && m_frame && avcodec_parameters_to_context(m_context, &parameters) >= 0 &&
           avcodec_open2(m_context, codec, nullptr) >= 0;
}

bool FfmpegPacketDecoder::decode(const AVPacket& packet, const std::function<bool(AVFrame& frame)>& onFrame) {
    if (avcodec_send_packet(m_context, &packet) < 0)
        return false;
    int result = 0;
    while ((result = avcodec_receive_frame(m_context, m_frame)) >= 0) {
        const bool taken = onFrame(*m_frame);
        av_frame_unref(m_frame);
        if (!taken)
            return false;
    }
    return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
}

FfmpegResampler::~FfmpegResampler() {
    swr_free(&m_resampler);
    av_channel_layout_uninit(&m_inputLayout);
}

bool FfmpegResampler::follow(const AVFrame& frame) {
    const bool same = m_resampler && m_inputRate == frame.sample_rate && m_inputFormat == frame.format &&
                      av_channel_layout_compare(&m_inputLayout, &frame.ch_layout) == 0;
    if (same)
        return true;
    swr_free(&m_resampler);
    av_channel_layout_uninit(&m_inputLayout);
    if (av_channel_layout_copy(&m_inputLayout, &frame.ch_layout) < 0)
        return false;
    m_inputRate = frame.sample_rate;
    m_inputFormat = frame.format;
    m_duplicateMono = frame.ch_layout.nb_channels == 1;
    AVChannelLayout output;
    av_channel_layout_default(&output, m_duplicateMono ? 1 : m_outputChannels);
    const int result =
        swr_alloc_set_opts2(&m_resampler, &output, AV_SAMPLE_FMT_S16, m_outputRate, &m_inputLayout,
                            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    return result >= 0 && swr_init(m_resampler) >= 0;
}

bool FfmpegResampler::convert(const AVFrame& frame, std::vector<std::int16_t>& out) {
    // Samples already in the output's form are taken as they are, until a change of form makes a
    // resampler, which then takes everything (it may hold samples back).
    if (!m_resampler && frame.format == AV_SAMPLE_FMT_S16 && frame.sample_rate == m_outputRate &&
        frame.ch_layout.nb_channels == m_outputChannels) {
        const auto* samples = reinterpret_cast<const std::int16_t*>(frame.data[0]);
        out.insert(out.end(), samples,
                   samples + static_cast<std::ptrdiff_t>(frame.nb_samples) * m_outputChannels);
        return true;
    }
    if (!follow(frame))
        return false;
    const int capacity = swr_get_out_samples(m_resampler, frame.nb_samples);
    const int channels = m_duplicateMono ? 1 : m_outputChannels;
    m_converted.resize(static_cast<std::size_t>(std::max(capacity, 0) * channels));
    auto* output = reinterpret_cast<std::uint8_t*>(m_converted.data());
    const int frames = swr_convert(m_resampler, &output, capacity,
                                   const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (frames < 0)
        return false;
    const auto samples = static_cast<std::size_t>(frames * channels);
    if (m_duplicateMono) {
        out.reserve(out.size() + samples * static_cast<std::size_t>(m_outputChannels));
        for (std::size_t i = 0; i < samples; ++i)
            out.insert(out.end(), static_cast<std::size_t>(m_outputChannels), m_converted[i]);
    } else {
        out.insert(out.end(), m_converted.begin(),
                   m_converted.begin() + static_cast<std::ptrdiff_t>(samples));
    }
    return true;
}

FfmpegAudioDecoder::FfmpegAudioDecoder(int outputRate, int outputChannels)
    : m_resampler(outputRate, outputChannels) {}

FfmpegAudioDecoder::~FfmpegAudioDecoder() {
    avformat_close_input(&m_container);
}

std::string FfmpegAudioDecoder::open(const std::string& address, const Options& options,
                                     const std::function<std::string(int code)>& describe) {
    lastReportedError.clear();
    m_container = avformat_alloc_context();
    if (!m_container)
        return describe(AVERROR(ENOMEM));
    m_container->interrupt_callback = options.interrupt;
    m_everyConnection = options.everyConnection;
    m_openDefault = m_container->io_open;
    m_container->opaque = this;
    m_container->io_open = &FfmpegAudioDecoder::openConnection;
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "protocol_whitelist", options.protocols.c_str(), 0);
    for (const auto& [key, value] : options.settings)
        av_dict_set(&settings, key.c_str(), value.c_str(), 0);
    int result = avformat_open_input(&m_container, address.c_str(), nullptr, &settings);
    av_dict_free(&settings);
    if (result < 0)
        return describe(result);
    if ((result = avformat_find_stream_info(m_container, nullptr)) < 0)
        return describe(result);
    const AVCodec* codec = nullptr;
    m_streamIndex = av_find_best_stream(m_container, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_streamIndex < 0 || !codec)
        return "no audio in the stream";
    if (options.mp3ByMpg123 && parameters().codec_id == AV_CODEC_ID_MP3)
        m_mp3Decoder = Mpg123FrameDecoder::create();
    if (!m_mp3Decoder && !m_decoder.open(parameters()))
        return "the stream's codec cannot be decoded";
    m_codecName = avcodec_get_name(parameters().codec_id);
    return {};
}

// Demuxers that open connections of their own (HLS: playlists and segments) pass on only some of the
// input's settings; the ones that must hold for every connection are added here.
int FfmpegAudioDecoder::openConnection(AVFormatContext* container, AVIOContext** connection,
                                       const char* address, int flags, AVDictionary** settings) {
    const auto* decoder = static_cast<const FfmpegAudioDecoder*>(container->opaque);
    AVDictionary* ownSettings = nullptr;
    AVDictionary** used = settings ? settings : &ownSettings;
    for (const auto& [key, value] : decoder->m_everyConnection)
        av_dict_set(used, key.c_str(), value.c_str(), 0);
    const int result = decoder->m_openDefault(container, connection, address, flags, used);
    av_dict_free(&ownSettings);
    return result;
}

int FfmpegAudioDecoder::readPacket(AVPacket& packet) {
    for (;;) {
        const int result = av_read_frame(m_container, &packet);
        if (result < 0 || packet.stream_index == m_streamIndex)
            return result;
        av_packet_unref(&packet);
    }
}

bool FfmpegAudioDecoder::decode(const AVPacket& packet, std::vector<std::int16_t>& out) {
    const auto convert = [this, &out](AVFrame& frame) { return m_resampler.convert(frame, out); };
    if (m_mp3Decoder)
        return m_mp3Decoder->decode({packet.data, static_cast<std::size_t>(packet.size)}, convert);
    return m_decoder.decode(packet, convert);
}

} // namespace quietmon
