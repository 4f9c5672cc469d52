#pragma once

#include <string>

namespace quietmon {

// Where the program lives and where its settings file and log are kept. Both end with "/".
struct Folders {
    std::string programFolder;
    std::string dataFolder;
    // A settings file named on the command line instead of the data folder's.
    std::string settingsFileOverride = {};
    // The name of a named monitor (`--instance NAME`); empty for the unnamed one.
    std::string instanceName = {};

    std::string settingsFile() const {
        return settingsFileOverride.empty() ? dataFolder + "quietmon.ini" : settingsFileOverride;
    }
    std::string logFile() const { return dataFolder + "quietmon.log"; }
};

// The folder of an executable, up to and including its last "/".
std::string programFolderOf(const std::string& executablePath);

// The per-user data folder: `userDataBase` (empty when the desktop gives none) followed by the name of the
// folder holding the executable, so that copies installed in differently named folders keep separate
// settings. If that folder does not exist yet, the current folder becomes `userDataBase` and the folder is
// created there; failures are ignored and the folder is then simply absent. Without a `userDataBase`, the
// program folder is used.
std::string determineDataFolder(const std::string& executablePath, const std::string& userDataBase);
// The folder `determineDataFolder` gives, found without creating anything.
std::string dataFolderPath(const std::string& executablePath, const std::string& userDataBase);

// Several monitors may run for one installation, each named and with a data folder of its own,
// "instances/NAME/" in the unnamed monitor's. A name is 1 to 32 letters, digits, "-" and "_", so that it
// can never reach outside that folder. What is wrong with `name`, or empty when it will do.
std::string instanceNameFailure(const std::string& name);
// What the unnamed monitor is called where a monitor must be named: its metrics and its status.
inline constexpr const char* unnamedMonitorName = "default";
std::string instancesFolder(const std::string& dataFolder);

// The monitor the whole process works for, chosen once from the command line before any folder is looked
// for; every command then finds that monitor's folders through currentFolders(). Empty: the unnamed one.
void selectInstance(const std::string& name);
const std::string& selectedInstance();

// Folders of the running program, from its own executable, the user's environment and the selected
// monitor. A named monitor's folder is created (with its parents) when missing.
Folders currentFolders();
// The same without creating the data folder or changing the current folder, for commands that only read.
Folders currentFoldersAsTheyAre();

} // namespace quietmon
