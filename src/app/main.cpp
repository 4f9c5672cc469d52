#include "app/CommandLine.h"
#include "config/ProductName.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace quietmon;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto commandLine = parseCommandLine(arguments);
    if (!commandLine) {
        std::cerr << usageText();
        return 2;
    }
    switch (commandLine->mode) {
    case CommandLine::Mode::Version:
        std::cout << productName() << " " << productVersion << "\n";
        return 0;
    case CommandLine::Mode::PrintConfig:
        std::cout << startupSaveText();
        return 0;
    case CommandLine::Mode::Monitor:
        break;
    }
    std::cerr << "quietmon: the monitor window is not built yet; use --print-config or --version\n";
    return 1;
}
