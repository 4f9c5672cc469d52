#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// Opening a file the way the desktop opens it.
class Shell {
public:
    virtual ~Shell() = default;
    // A program (an ELF binary or a "#!" script with the execute bit, a relative name taken from the current
    // folder, or a bare name found on PATH) is started with `arguments` as they are: never through a command
    // interpreter, so nothing in them is expanded or run. Anything else, a document (executable or not), a
    // folder or a URL, goes to the desktop's opener and `arguments` are not used. Returns at once: nothing
    // when something was started, else why neither the program nor the opener could be started. The
    // started process runs on detached and is reaped when it ends.
    virtual std::optional<std::string> open(const std::string& file,
                                            const std::vector<std::string>& arguments) = 0;
};

} // namespace quietmon
