#include "config/Scramble.h"

namespace quietmon {

std::string scramble(std::string_view plain) {
    std::string scrambled;
    scrambled.reserve(plain.size() * 2);
    for (std::size_t i = 1; i <= plain.size(); ++i) {
        const auto b = static_cast<unsigned char>(plain[i - 1]);
        const auto m = static_cast<int>(i % 3);
        scrambled += static_cast<char>(b / 16 + m + 99);
        scrambled += static_cast<char>(b % 16 + m + 102);
    }
    return scrambled;
}

std::string unscramble(std::string_view scrambled) {
    std::string plain;
    const std::size_t pairs = scrambled.size() / 2;
    plain.reserve(pairs);
    for (std::size_t i = 1; i <= pairs; ++i) {
        const int a = static_cast<unsigned char>(scrambled[2 * i - 2]);
        const int c = static_cast<unsigned char>(scrambled[2 * i - 1]);
        const auto m = static_cast<int>(i % 3);
        plain += static_cast<char>(static_cast<unsigned>(a * 16 + c - 17 * m - 1686) & 0xFFu);
    }
    return plain;
}

} // namespace quietmon
