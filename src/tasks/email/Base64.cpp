#include "tasks/email/Base64.h"

namespace quietmon {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string encodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned value = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[value >> 18 & 63];
        out += alphabet[value >> 12 & 63];
        out += alphabet[value >> 6 & 63];
        out += alphabet[value & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[value >> 18 & 63];
        out += alphabet[value >> 12 & 63];
        out += rest == 2 ? alphabet[value >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string encodeBase64Lines(std::string_view bytes, std::size_t lineLength) {
    // Whole groups of four per line, so that every line decodes on its own.
    const std::size_t groups = lineLength < 4 ? 1 : lineLength / 4;
    const std::size_t chunk = groups * 3;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4 + (bytes.size() / chunk + 1) * 2);
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        out += encodeBase64(bytes.substr(at, chunk));
        out += "\r\n";
    }
    return out;
}

} // namespace quietmon
