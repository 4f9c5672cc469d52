#pragma once

#include "platform/ScreenCapture.h"

#include <string>

namespace quietmon {

// The picture as a Windows bitmap file: 24 bits per pixel, uncompressed, rows from the bottom up, each
// padded to a multiple of four bytes.
std::string encodeBmp(const ScreenImage& image);

} // namespace quietmon
