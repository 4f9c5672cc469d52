#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quietmon {

// Compresses a stretch of captured sound into a file a mail program plays.
class AudioClipEncoding {
public:
    virtual ~AudioClipEncoding() = default;
    // The file's extension and MIME type.
    virtual std::string extension() const = 0;
    virtual std::string contentType() const = 0;
    // `frames` is interleaved 16-bit stereo at `framesPerSecond`. The encoded file's bytes; empty, with the
    // reason in `failure`, when it could not be made.
    virtual std::string encode(std::span<const std::int16_t> frames, int framesPerSecond,
                               std::string& failure) = 0;
};

} // namespace quietmon
