#pragma once

#include "platform/ScreenCapture.h"

#include <optional>
#include <string>

namespace quietmon {

class JpegEncoder {
public:
    virtual ~JpegEncoder() = default;
    // The picture as a baseline JPEG file of full colour at `quality` (1 to 100), encoded for the best
    // picture rather than speed; nothing when the encoder refuses it (a picture too large for JPEG, say).
    virtual std::optional<std::string> encode(const ScreenImage& image, int quality) = 0;
};

} // namespace quietmon
