#pragma once

#include <string>

namespace quietmon {

// Where the program lives and where its settings file and log are kept. Both end with "/".
struct Folders {
    std::string programFolder;
    std::string dataFolder;
    // A settings file named on the command line instead of the data folder's.
    std::string settingsFileOverride = {};

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

// Folders of the running program, from its own executable and the user's environment.
Folders currentFolders();
// The same without creating the data folder or changing the current folder, for commands that only read.
Folders currentFoldersAsTheyAre();

} // namespace quietmon
