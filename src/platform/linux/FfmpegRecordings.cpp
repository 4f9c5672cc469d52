#include "platform/linux/FfmpegRecordings.h"

#include "platform/linux/FfmpegAudioDecoder.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <thread>

namespace quietmon {

namespace {

constexpr int outputRate = 44100;
constexpr int outputChannels = 2;
// Decoded in pieces of about this length.
constexpr double pieceSeconds = 10.0;
// Packets of unknown length are counted instead.
constexpr std::size_t mostPacketsPerPiece = 1000;
// The lead-in: at least this many packets holding at least this many bytes. An MPEG audio frame reaches
// back at most 511 bytes for its bit reservoir and overlaps only the frame before; FLAC and PCM frames
// need nothing before them.
constexpr std::size_t leadInPackets = 8;
constexpr int leadInBytes = 4096;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ParametersDeleter {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Parameters = std::unique_ptr<AVCodecParameters, ParametersDeleter>;

// Codecs whose decoder state after a few packets no longer depends on what came before.
bool decodesInPieces(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_FLAC:
        return true;
    default:
        return codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT; // the PCM codecs
    }
}

struct Piece {
    std::vector<Packet> leadIn;
    std::vector<Packet> packets;
};

// A piece's audio: converted where the conversion keeps no state from piece to piece, else the frames
// for the one resampler.
struct DecodedPiece {
    std::vector<std::int16_t> samples;
    std::vector<Frame> frames;
};

// `memory` is the samples of a piece already handed on, whose memory is used again: fresh memory for
// every piece costs more in page faults than the conversion itself.
DecodedPiece decodePiece(const AVCodecParameters& parameters, const Piece& piece,
                         std::vector<std::int16_t> memory) {
    DecodedPiece decoded;
    decoded.samples = std::move(memory);
    decoded.samples.clear();
    FfmpegPacketDecoder decoder;
    if (!decoder.open(parameters))
        return decoded;
    for (const Packet& packet : piece.leadIn)
        decoder.decode(*packet, [](AVFrame&) { return true; });
    // At the output rate the resampler only converts the sample format and channels, sample by sample.
    FfmpegResampler converter(outputRate, outputChannels);
    for (const Packet& packet : piece.packets)
        decoder.decode(*packet, [&decoded, &converter](AVFrame& frame) {
            if (frame.sample_rate == outputRate && decoded.frames.empty())
                return converter.convert(frame, decoded.samples);
            decoded.frames.emplace_back(av_frame_clone(&frame));
            return decoded.frames.back() != nullptr;
        });
    return decoded;
}

class FfmpegRecording final : public RecordingReader {
public:
    explicit FfmpegRecording(int decodingThreads)
        : m_decoder(outputRate, outputChannels), m_decodingThreads(decodingThreads) {}
    ~FfmpegRecording() override = default;
    FfmpegRecording(const FfmpegRecording&) = delete;
    FfmpegRecording& operator=(const FfmpegRecording&) = delete;

    std::string open(const std::string& path) {
        FfmpegAudioDecoder::Options options;
        options.protocols = "file";
        // Named through the file protocol: a colon in a file name is not a protocol.
        const std::string failure = m_decoder.open("file:" + path, options, ffmpegFailure);
        if (!failure.empty())
            return failure;
        m_parameters.reset(avcodec_parameters_alloc());
        if (!m_parameters || avcodec_parameters_copy(m_parameters.get(), &m_decoder.parameters()) < 0)
            return ffmpegErrorText(AVERROR(ENOMEM));
        if (!decodesInPieces(m_parameters->codec_id))
            m_decodingThreads = 1;
        m_timeBase = av_q2d(m_decoder.stream().time_base);
        return {};
    }

    int sampleRate() const override { return outputRate; }

    std::size_t readStereo(std::size_t frames, std::vector<std::uint8_t>& out) override {
        const std::size_t wanted = frames * outputChannels;
        std::size_t copied = 0;
        while (copied < wanted) {
            if (m_read == m_samples.size()) {
                m_read = 0;
                if (!decodeMore())
                    break;
                continue;
            }
            const std::size_t samples = std::min(wanted - copied, m_samples.size() - m_read);
            const std::size_t start = out.size();
            out.resize(start + samples * sizeof(std::int16_t));
            std::memcpy(out.data() + start, m_samples.data() + m_read, samples * sizeof(std::int16_t));
            m_read += samples;
            copied += samples;
        }
        return copied / outputChannels;
    }

private:
    // Replaces the samples read by the next ones; false at the end.
    bool decodeMore() {
        m_samples.clear();
        if (m_decodingThreads <= 1) {
            Packet packet(av_packet_alloc());
            while (m_samples.empty()) {
                if (!packet || m_decoder.readPacket(*packet) < 0)
                    return false;
                m_decoder.decode(*packet, m_samples); // a corrupt frame is skipped
                av_packet_unref(packet.get());
            }
            return true;
        }
        // One piece more than threads, so that a thread finding its piece done starts the next one.
        while (!m_demuxed && m_decoding.size() <= static_cast<std::size_t>(m_decodingThreads)) {
            Piece piece = cutPiece();
            if (piece.packets.empty())
                break;
            std::vector<std::int16_t> memory;
            if (!m_spareMemory.empty()) {
                memory = std::move(m_spareMemory.back());
                m_spareMemory.pop_back();
            }
            m_decoding.push_back(
                std::async(std::launch::async, [parameters = m_parameters.get(), piece = std::move(piece),
                                                memory = std::move(memory)]() mutable {
                    return decodePiece(*parameters, piece, std::move(memory));
                }));
        }
        if (m_decoding.empty())
            return false;
        DecodedPiece piece = m_decoding.front().get();
        m_decoding.pop_front();
        m_spareMemory.push_back(std::move(m_samples));
        m_samples = std::move(piece.samples);
        // As one resampler would: a run of frames at the output rate ends the state of the one before.
        if (!m_samples.empty())
            m_decoder.resampler().restart();
        for (const Frame& frame : piece.frames)
            m_decoder.resampler().convert(*frame, m_samples);
        return true;
    }

    // The next piece of packets, led in by the last ones of the piece before.
    Piece cutPiece() {
        Piece piece;
        int bytes = 0;
        for (auto packet = m_recent.rbegin(); packet != m_recent.rend(); ++packet) {
            if (piece.leadIn.size() >= leadInPackets && bytes >= leadInBytes)
                break;
            piece.leadIn.emplace(piece.leadIn.begin(), av_packet_clone(packet->get()));
            bytes += (*packet)->size;
        }
        double seconds = 0.0;
        while (seconds < pieceSeconds && piece.packets.size() < mostPacketsPerPiece) {
            Packet packet(av_packet_alloc());
            if (!packet || m_decoder.readPacket(*packet) < 0) {
                m_demuxed = true;
                break;
            }
            seconds += static_cast<double>(packet->duration) * m_timeBase;
            piece.packets.push_back(std::move(packet));
        }
        // The lead-in of the next piece.
        m_recent.clear();
        const std::size_t kept = std::min(piece.packets.size(), leadInPackets * 8);
        for (auto packet = piece.packets.end() - static_cast<std::ptrdiff_t>(kept);
             packet != piece.packets.end(); ++packet)
            m_recent.emplace_back(av_packet_clone(packet->get()));
        return piece;
    }

    FfmpegAudioDecoder m_decoder;
    int m_decodingThreads;
    Parameters m_parameters;
    double m_timeBase = 0.0;
    // Destroyed first, waiting for the pieces still decoding with the parameters.
    std::deque<std::future<DecodedPiece>> m_decoding;
    std::deque<Packet> m_recent;
    std::vector<std::vector<std::int16_t>> m_spareMemory;
    bool m_demuxed = false;
    std::vector<std::int16_t> m_samples;
    std::size_t m_read = 0;
};

} // namespace

FfmpegRecordings::FfmpegRecordings(int decodingThreads) : m_decodingThreads(std::max(decodingThreads, 1)) {
    keepFfmpegQuiet();
}

int FfmpegRecordings::processorCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

std::unique_ptr<RecordingReader> FfmpegRecordings::open(const std::string& path, std::string& error) {
    auto recording = std::make_unique<FfmpegRecording>(m_decodingThreads);
    error = recording->open(path);
    if (!error.empty())
        return nullptr;
    return recording;
}

} // namespace quietmon
