#pragma once

#include "app/RecordingScan.h"
#include "platform/AudioEndpoints.h"
#include "platform/WaveIn.h"

#include <string>
#include <variant>
#include <vector>

namespace quietmon {

struct CommandLine {
    enum class Mode { Monitor, Help, PrintConfig, ListDevices, Scan, Version };
    Mode mode = Mode::Monitor;
    ScanOptions scan; // for Mode::Scan
};

// What is wrong with a command line, in words for the person who typed it ("unknown option: --x").
struct CommandLineError {
    std::string message;
};

std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& arguments);
std::string usageText();

// What the settings file would hold if the program started now and saved at once: both load steps, the
// start-up status and the settings applied at start-up. Writes nothing but may create the data folder,
// as a start does.
std::string startupSaveText(WaveInDriver& waveIn, AudioEndpoints& endpoints);

// The device selector's lines, as the Setup dialog will show them.
std::string deviceSelectorText(WaveInDriver& waveIn, AudioEndpoints& endpoints);

} // namespace quietmon
