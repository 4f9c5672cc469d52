#pragma once

#include "platform/ScreenCapture.h"

#include <optional>
#include <string>

namespace quietmon {

// The picture as a baseline JPEG file of full colour at `quality` (1 to 100), encoded for the best
// picture rather than speed; nothing when the encoder refuses it (a picture too large for JPEG, say).
std::optional<std::string> encodeJpeg(const ScreenImage& image, int quality);

} // namespace quietmon
