#pragma once

#include <string>

namespace quietmon {

// The product's name, the prefix of the start-up log line and of a few defaults. The program holds it
// scrambled and unscrambles it at start-up.
std::string productName();

inline constexpr const char* productVersion = "1.4d";

} // namespace quietmon
