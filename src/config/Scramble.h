#pragma once

#include <string>
#include <string_view>

namespace quietmon {

// Keeps stored passwords from being read at a glance; this is no encryption. Each byte becomes two
// lowercase letters that depend on the byte's position.
std::string Zasifruj(std::string_view plain);
// The inverse of Zasifruj; a trailing odd character is ignored and text not made by Zasifruj gives
// whatever the formula yields, taken to eight bits.
std::string Odsifruj(std::string_view scrambled);

} // namespace quietmon
