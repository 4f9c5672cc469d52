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

std::string instanceNameFailure(const std::string& name) {
    constexpr std::size_t longest = 32;
    // ASCII only, whatever the locale: the name becomes a folder, a lock file and a metrics label.
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_';
    };
    if (name.empty() || name.size() > longest || !std::all_of(name.begin(), name.end(), allowed))
        return "the monitor's name \"" + name + "\" is not 1 to 32 letters, digits, \"-\" or \"_\"";
    // The unnamed monitor is published under this name (the metrics' monitor label, /status).
    if (name == unnamedMonitorName)
        return "the monitor's name \"" + name + "\" is the unnamed monitor's; choose another";
    return {};
}

std::string instancesFolder(const std::string& dataFolder) {
    return dataFolder + "instances/";
}

namespace {

std::string& instanceSelection() {
    static std::string name;
    return name;
}

// A named monitor's folder inside the unnamed one's.
Folders withInstance(Folders folders) {
    folders.instanceName = selectedInstance();
    if (!folders.instanceName.empty())
        folders.dataFolder = instancesFolder(folders.dataFolder) + folders.instanceName + "/";
    return folders;
}

} // namespace

void selectInstance(const std::string& name) {
    instanceSelection() = name;
}

const std::string& selectedInstance() {
    return instanceSelection();
}

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
    Folders folders =
        withInstance({programFolderOf(executable), determineDataFolder(executable, userDataBase())});
    if (!folders.instanceName.empty() && !folderExists(folders.dataFolder))
        createFolders(folders.dataFolder);
    return folders;
}

Folders currentFoldersAsTheyAre() {
    const std::string executable = executablePath();
    return withInstance({programFolderOf(executable), dataFolderPath(executable, userDataBase())});
}

} // namespace quietmon
