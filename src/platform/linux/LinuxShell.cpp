#include "platform/linux/LinuxShell.h"

#include "platform/ProcessControl.h"

namespace quietmon {

bool LinuxShell::open(const std::string& file, const std::vector<std::string>& arguments) {
    if (file.empty())
        return false;
    // A file in the current folder comes before one of the same name on PATH, as on the desktop.
    if (isExecutableFile(file))
        return startDetached(file, arguments);
    if (file.find('/') == std::string::npos) {
        if (const std::string program = findProgram(file); !program.empty())
            return startDetached(program, arguments);
    }
    const std::string opener = findProgram("xdg-open");
    if (opener.empty())
        return false;
    // xdg-open would take a name that starts with "-" for one of its options.
    return startDetached(opener, {file.starts_with('-') ? "./" + file : file});
}

} // namespace quietmon
