#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quietmon {

struct CommandLine {
    enum class Mode { Monitor, PrintConfig, Version };
    Mode mode = Mode::Monitor;
};

// Nothing for options the program does not know.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments);
std::string usageText();

// What the settings file would hold if the program started now and saved at once: both load steps, the
// start-up status and the settings applied at start-up. Writes nothing but may create the data folder,
// as a start does.
std::string startupSaveText();

} // namespace quietmon
