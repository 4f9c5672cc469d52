#pragma once

#include <string>
#include <string_view>

namespace quietmon {

// Keeps stored passwords from being read at a glance; this is no encryption. Each byte becomes two
// lowercase letters that depend on the byte's position.
std::string scramble(std::string_view plain);
// The inverse of scramble; a trailing odd character is ignored and text not made by scramble gives
// whatever the formula yields, taken to eight bits.
std::string unscramble(std::string_view scrambled);

} // namespace quietmon
