#include "runtime/ProcessEnvironment.h"

#include <cstdlib>
#include <limits.h>
#include <unistd.h>

namespace quietmon {

std::string executablePath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "./quietmon";
    return std::string(path, static_cast<std::size_t>(length));
}

std::string userDataBase() {
    // Relative values are invalid by the XDG rules and ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share";
    return {};
}

} // namespace quietmon
