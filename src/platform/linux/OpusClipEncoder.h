#pragma once

#include "platform/AudioClipEncoding.h"

namespace quietmon {

// Ogg Opus at about 64 kbit/s through libopusenc.
class OpusClipEncoder final : public AudioClipEncoding {
public:
    static constexpr int bitsPerSecond = 64'000;

    std::string extension() const override { return "opus"; }
    std::string contentType() const override { return "audio/ogg"; }
    std::string encode(std::span<const std::int16_t> frames, int framesPerSecond,
                       std::string& failure) override;
};

} // namespace quietmon
