#pragma once

#include "platform/Shell.h"

namespace quietmon {

// Programs started with posix_spawn, everything else handed to xdg-open.
class LinuxShell final : public Shell {
public:
    std::optional<std::string> open(const std::string& file,
                                    const std::vector<std::string>& arguments) override;
};

// Hands a file, a folder or a URL to xdg-open, detached; nothing when it was started, else why not.
std::optional<std::string> openWithDesktopOpener(const std::string& pathOrUrl);

} // namespace quietmon
