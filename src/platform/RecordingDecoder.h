#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quietmon {

// A recording read as 16-bit little-endian stereo frames, Left then Right.
class RecordingReader {
public:
    virtual ~RecordingReader() = default;
    virtual int sampleRate() const = 0;
    // Up to `frames` frames appended to `out`; fewer only at the end. Returns the number read.
    virtual std::size_t readStereo(std::size_t frames, std::vector<std::uint8_t>& out) = 0;
};

// Opens recordings in the formats a decoding library knows.
class RecordingDecoder {
public:
    virtual ~RecordingDecoder() = default;
    // Nothing, with `error` saying why, for a file that holds no audio it can decode.
    virtual std::unique_ptr<RecordingReader> open(const std::string& path, std::string& error) = 0;
};

} // namespace quietmon
