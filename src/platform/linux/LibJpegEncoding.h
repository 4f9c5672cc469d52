#pragma once

#include "platform/JpegEncoding.h"

namespace quietmon {

// libjpeg's encoder.
class LibJpegEncoder final : public JpegEncoder {
public:
    std::optional<std::string> encode(const ScreenImage& image, int quality) override;
};

} // namespace quietmon
