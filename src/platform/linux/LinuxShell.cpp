#include "platform/linux/LinuxShell.h"

#include "platform/linux/ProcessControl.h"

#include <sys/stat.h>

namespace quietmon {

namespace {

std::optional<std::string> start(const std::string& program, const std::vector<std::string>& arguments) {
    std::string failure;
    if (startDetached(program, arguments, &failure))
        return std::nullopt;
    return failure;
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

std::optional<std::string> LinuxShell::open(const std::string& file,
                                            const std::vector<std::string>& arguments) {
    if (file.empty())
        return "no file name";
    // A file in the current folder comes before one of the same name on PATH, as on the desktop.
    const bool onPath = file.find('/') == std::string::npos && !pathExists(file);
    const std::string program = onPath ? findProgram(file) : file;
    if (!program.empty() && isProgramFile(program))
        return start(program, arguments);
    return openWithDesktopOpener(file);
}

std::optional<std::string> openWithDesktopOpener(const std::string& pathOrUrl) {
    const std::string opener = findProgram("xdg-open");
    if (opener.empty())
        return "xdg-open not found";
    // xdg-open would take a name that starts with "-" for one of its options.
    return start(opener, {pathOrUrl.starts_with('-') ? "./" + pathOrUrl : pathOrUrl});
}

} // namespace quietmon
