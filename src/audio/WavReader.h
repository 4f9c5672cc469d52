#pragma once

#include "platform/RecordingDecoder.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// Reads 16-bit PCM WAV files, mono or stereo, at any sample rate, frame by frame as stereo: a mono
// file's samples stand for both channels.
class WavReader final : public RecordingReader {
public:
    ~WavReader() override;
    WavReader() = default;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Opens the file; on failure `error` says what is wrong with it.
    bool open(const std::string& path, std::string& error);
    // Reads from an open stream, which the reader then owns; `name` is what messages call it.
    bool open(std::FILE* stream, const std::string& name, std::string& error);
    int sampleRate() const override { return m_sampleRate; }
    int channels() const { return m_channels; }
    std::uint64_t frames() const { return m_frames; }
    // Up to `frames` stereo frames, 16-bit little-endian Left then Right, appended to `out`; fewer at the
    // end of the data. Returns the number of frames read.
    std::size_t readStereo(std::size_t frames, std::vector<std::uint8_t>& out) override;

private:
    std::FILE* m_file = nullptr;
    int m_sampleRate = 0;
    int m_channels = 0;
    std::uint64_t m_frames = 0;
    std::uint64_t m_framesLeft = 0;
    std::vector<std::uint8_t> m_raw;
};

} // namespace quietmon
