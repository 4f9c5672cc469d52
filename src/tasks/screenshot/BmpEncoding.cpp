#include "tasks/screenshot/BmpEncoding.h"

#include <cstdint>

namespace quietmon {

namespace {

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string encodeBmp(const ScreenImage& image) {
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::uint32_t>(image.height);
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    constexpr std::uint32_t headersBytes = 14 + 40;
    const std::uint32_t pixelBytes = rowBytes * height;

    std::string out;
    out.reserve(headersBytes + pixelBytes);
    // File header: "BM", file size, two reserved words, offset of the pixels.
    out += "BM";
    appendLittleEndian(out, headersBytes + pixelBytes, 4);
    appendLittleEndian(out, 0, 4);
    appendLittleEndian(out, headersBytes, 4);
    // BITMAPINFOHEADER: its size, width, height (positive: bottom-up), one plane, 24 bits, no compression,
    // the pixels' size, 2835 pixels per metre (72 dpi) both ways, no palette.
    appendLittleEndian(out, 40, 4);
    appendLittleEndian(out, width, 4);
    appendLittleEndian(out, height, 4);
    appendLittleEndian(out, 1, 2);
    appendLittleEndian(out, 24, 2);
    appendLittleEndian(out, 0, 4);
    appendLittleEndian(out, pixelBytes, 4);
    appendLittleEndian(out, 2835, 4);
    appendLittleEndian(out, 2835, 4);
    appendLittleEndian(out, 0, 4);
    appendLittleEndian(out, 0, 4);

    const std::size_t padding = rowBytes - width * 3;
    for (std::uint32_t y = height; y-- > 0;) {
        const std::uint8_t* pixel = image.rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (std::uint32_t x = 0; x < width; ++x, pixel += 3) {
            out += static_cast<char>(pixel[2]); // blue, green, red
            out += static_cast<char>(pixel[1]);
            out += static_cast<char>(pixel[0]);
        }
        out.append(padding, '\0');
    }
    return out;
}

} // namespace quietmon
