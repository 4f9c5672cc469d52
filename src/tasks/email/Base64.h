#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quietmon {

// Base64 of RFC 2045 with padding, on one line.
std::string encodeBase64(std::string_view bytes);

// Base64 broken into lines of at most `lineLength` characters, each ending in CR LF, as a MIME body
// part carries it. Nothing at all for no bytes.
std::string encodeBase64Lines(std::string_view bytes, std::size_t lineLength = 76);

} // namespace quietmon
