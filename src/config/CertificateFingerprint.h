#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quietmon {

// The SHA-256 digest of a certificate, as "TrustedCertificate" stores the one certificate a mail server
// may present instead of one the system's trust store vouches for.
using CertificateFingerprint = std::array<std::uint8_t, 32>;

// 64 hexadecimal digits in either case, colons (and spaces) between them ignored, as
// `openssl x509 -noout -fingerprint -sha256` prints it with or without its "sha256 Fingerprint=" prefix.
// Nothing when the text is empty or is no such digest.
std::optional<CertificateFingerprint> parseCertificateFingerprint(std::string_view text);

// "AB:CD:...": upper-case pairs joined by colons, as openssl prints it, so the two can be compared by eye.
std::string formatCertificateFingerprint(const CertificateFingerprint& fingerprint);

} // namespace quietmon
