#include "config/CertificateFingerprint.h"

#include "config/IniValues.h"

namespace quietmon {

std::optional<CertificateFingerprint> parseCertificateFingerprint(std::string_view text) {
    if (const std::size_t equals = text.find('='); equals != std::string_view::npos)
        text.remove_prefix(equals + 1);
    CertificateFingerprint fingerprint{};
    std::size_t digits = 0;
    for (const char c : text) {
        if (c == ':' || c == ' ' || c == '\t')
            continue;
        const int value = hexDigitValue(c);
        if (value < 0 || digits == fingerprint.size() * 2)
            return std::nullopt;
        fingerprint[digits / 2] = static_cast<std::uint8_t>(fingerprint[digits / 2] << 4 | value);
        ++digits;
    }
    if (digits != fingerprint.size() * 2)
        return std::nullopt;
    return fingerprint;
}

std::string formatCertificateFingerprint(const CertificateFingerprint& fingerprint) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(fingerprint.size() * 3);
    for (const std::uint8_t byte : fingerprint) {
        if (!text.empty())
            text += ':';
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

} // namespace quietmon
