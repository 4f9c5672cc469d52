#pragma once

#include "platform/Shell.h"

namespace quietmon {

// Programs started with posix_spawn, everything else handed to xdg-open.
class LinuxShell final : public Shell {
public:
    bool open(const std::string& file, const std::vector<std::string>& arguments) override;
};

} // namespace quietmon
