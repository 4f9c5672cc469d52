#include "config/Folders.h"

#include "runtime/FileSystem.h"
#include "runtime/ProcessEnvironment.h"

#include <algorithm>

namespace quietmon {

std::string programFolderOf(const std::string& executablePath) {
    const auto slash = executablePath.rfind('/');
    return slash == std::string::npos ? std::string("/") : executablePath.substr(0, slash + 1);
}

namespace {

std::string dataFolderName(const std::string& executablePath) {
    std::string folder = programFolderOf(executablePath);
    folder.pop_back(); // the trailing "/"
    const auto slash = folder.rfind('/');
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    if (name.empty()) {
        // An executable at the root: its file name, with dots made harmless.
        name = executablePath.substr(executablePath.rfind('/') + 1);
        std::replace(name.begin(), name.end(), '.', '_');
    }
    return name;
}

} // namespace

std::string dataFolderPath(const std::string& executablePath, const std::string& userDataBase) {
    if (userDataBase.empty())
        return programFolderOf(executablePath);
    std::string base = userDataBase;
    if (base.back() != '/')
        base += '/';
    return base + dataFolderName(executablePath) + "/";
}

std::string determineDataFolder(const std::string& executablePath, const std::string& userDataBase) {
    const std::string folder = dataFolderPath(executablePath, userDataBase);
    if (!userDataBase.empty() && !folderExists(folder)) {
        // Relative file names in tasks (attachments, screenshots) are then taken from here.
        createFolders(userDataBase);
        changeCurrentFolder(userDataBase);
        createFolders(folder);
    }
    return folder;
}

Folders currentFolders() {
    const std::string executable = executablePath();
    return {programFolderOf(executable), determineDataFolder(executable, userDataBase())};
}

Folders currentFoldersAsTheyAre() {
    const std::string executable = executablePath();
    return {programFolderOf(executable), dataFolderPath(executable, userDataBase())};
}

} // namespace quietmon
