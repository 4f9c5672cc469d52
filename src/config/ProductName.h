#pragma once

#include "config/ProductIdentity.h"

#include <string>

namespace quietmon {

// The product's name: the window's default title, the prefix of the start-up log line and of a few
// defaults, the HTTP task's user agent.
inline std::string productName() {
    return productNameText;
}

} // namespace quietmon
