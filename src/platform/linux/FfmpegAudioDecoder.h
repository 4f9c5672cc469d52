#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace quietmon {

class Mpg123FrameDecoder;

// The text FFmpeg gives for one of its error codes.
std::string ffmpegErrorText(int code);

// FFmpeg prints nothing; the last error it reported on the calling thread is kept for ffmpegFailure().
void keepFfmpegQuiet();
// The text of an error code, with the reason FFmpeg last reported on this thread when there is one
// ("Input/output error (Peer certificate failed verification)").
std::string ffmpegFailure(int code);

// One audio stream's codec: packets in, frames out in the codec's own sample format.
class FfmpegPacketDecoder {
public:
    FfmpegPacketDecoder() = default;
    ~FfmpegPacketDecoder();
    FfmpegPacketDecoder(const FfmpegPacketDecoder&) = delete;
    FfmpegPacketDecoder& operator=(const FfmpegPacketDecoder&) = delete;

    bool open(const AVCodecParameters& parameters);
    // Sends the packet and hands each frame it yields to `onFrame`; false when the codec refused it.
    bool decode(const AVPacket& packet, const std::function<bool(AVFrame& frame)>& onFrame);

private:
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
};

// Turns decoded frames into 16-bit interleaved samples at a fixed rate and channel count. A source
// that changes its rate, sample format or channels midway is followed; a mono source is resampled as
// mono and copied to every channel, since a mix would lower its level.
class FfmpegResampler {
public:
    FfmpegResampler(int outputRate, int outputChannels)
        : m_outputRate(outputRate), m_outputChannels(outputChannels) {}
    ~FfmpegResampler();
    FfmpegResampler(const FfmpegResampler&) = delete;
    FfmpegResampler& operator=(const FfmpegResampler&) = delete;

    // Appends the frame's samples to `out`; false when they cannot be converted.
    bool convert(const AVFrame& frame, std::vector<std::int16_t>& out);
    // Forgets the samples it holds back for the filter, as a change of the input format does.
    void restart() { swr_free(&m_resampler); }

private:
    bool follow(const AVFrame& frame);

    const int m_outputRate;
    const int m_outputChannels;
    SwrContext* m_resampler = nullptr;
    AVChannelLayout m_inputLayout{};
    int m_inputRate = 0;
    int m_inputFormat = -1;
    bool m_duplicateMono = false;
    std::vector<std::int16_t> m_converted;
};

// Audio that libavformat opens, a network stream or a local file: its best audio stream, decoded and
// converted to 16-bit interleaved samples at the output rate and channel count.
class FfmpegAudioDecoder {
public:
    struct Options {
        // Comma-separated: the only protocols the input and anything it names may use.
        std::string protocols;
        std::vector<std::pair<std::string, std::string>> settings;
        // Also given to every further connection the input opens itself (a playlist's segments).
        std::vector<std::pair<std::string, std::string>> everyConnection;
        AVIOInterruptCB interrupt{};
        // MP3 decoded by libmpg123 where it can be loaded: cheaper than libavcodec, for what is decoded
        // without end. A recording is left to libavcodec, whose decoding its parallel scan is built on.
        bool mp3ByMpg123 = false;
    };

    FfmpegAudioDecoder(int outputRate, int outputChannels);
    ~FfmpegAudioDecoder();
    FfmpegAudioDecoder(const FfmpegAudioDecoder&) = delete;
    FfmpegAudioDecoder& operator=(const FfmpegAudioDecoder&) = delete;

    // Empty when the input is open with an audio stream that decodes; else why not, FFmpeg's error codes
    // told by `describe`.
    std::string open(const std::string& address, const Options& options,
                     const std::function<std::string(int code)>& describe);

    const std::string& codecName() const { return m_codecName; }
    const AVStream& stream() const { return *m_container->streams[m_streamIndex]; }
    const AVCodecParameters& parameters() const { return *stream().codecpar; }
    AVFormatContext& container() { return *m_container; }
    FfmpegResampler& resampler() { return m_resampler; }

    // The next packet of the audio stream: 0, or FFmpeg's error code (AVERROR_EOF at the end).
    int readPacket(AVPacket& packet);
    // Decodes the packet and appends its converted samples to `out`; false when it cannot be decoded.
    bool decode(const AVPacket& packet, std::vector<std::int16_t>& out);

private:
    static int openConnection(AVFormatContext* container, AVIOContext** connection, const char* address,
                              int flags, AVDictionary** settings);

    AVFormatContext* m_container = nullptr;
    std::vector<std::pair<std::string, std::string>> m_everyConnection;
    int (*m_openDefault)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
    int m_streamIndex = -1;
    std::string m_codecName;
    FfmpegPacketDecoder m_decoder;
    std::unique_ptr<Mpg123FrameDecoder> m_mp3Decoder;
    FfmpegResampler m_resampler;
};

} // namespace quietmon
