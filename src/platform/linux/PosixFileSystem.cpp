#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quietmon {

namespace {

bool writeAll(int fd, std::string_view contents, off_t offset) {
    while (!contents.empty()) {
        const ssize_t written = ::pwrite(fd, contents.data(), contents.size(), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        contents.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

// `mode`: the permissions of the new file; 0600 when nothing is given.
bool writeThroughTemporary(const std::string& path, std::string_view contents,
                           std::optional<mode_t> mode = {}) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // created 0600
    if (fd < 0)
        return false;
    const bool written = (!mode || ::fchmod(fd, *mode) == 0) && writeAll(fd, contents, 0) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

bool rewriteInPlace(const std::string& path, std::string_view contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, contents, 0) && ::ftruncate(fd, static_cast<off_t>(contents.size())) == 0 &&
                    ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

bool replaceFileContents(const std::string& path, std::string_view contents) {
    return writeThroughTemporary(path, contents) || rewriteInPlace(path, contents);
}

namespace {

// Read from /proc rather than with umask(2), which can only read it by changing it for every thread.
mode_t currentUmask() {
    const std::string status = readFileContents("/proc/self/status", 4096);
    const std::size_t line = status.find("\nUmask:");
    if (line == std::string::npos)
        return 022;
    return static_cast<mode_t>(std::strtoul(status.c_str() + line + 7, nullptr, 8));
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view contents) {
    return writeThroughTemporary(path, contents, static_cast<mode_t>(0666 & ~currentUmask()));
}

namespace {

// Reads at most `maxBytes` of a regular file into `contents`. Returns whether the file could be opened as
// one; `failure` holds the system's reason when it could not, or when reading it failed.
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents,
                     std::string& failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure = std::generic_category().message(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        failure = std::generic_category().message(errno);
    else if (!S_ISREG(info.st_mode))
        failure = S_ISDIR(info.st_mode) ? std::generic_category().message(EISDIR) : "Not a regular file";
    if (!failure.empty()) {
        ::close(fd);
        return false;
    }
    char buffer[65536];
    while (contents.size() < maxBytes) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, maxBytes - contents.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failure = std::generic_category().message(errno);
        if (got <= 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

} // namespace

std::string readFileContents(const std::string& path, std::size_t maxBytes, bool* found) {
    std::string contents;
    std::string failure;
    const bool opened = readRegularFile(path, maxBytes, contents, failure);
    if (found)
        *found = opened;
    return contents;
}

std::string readFileContents(const std::string& path, std::size_t maxBytes, std::string& failure) {
    std::string contents;
    failure.clear();
    readRegularFile(path, maxBytes, contents, failure);
    return contents;
}

bool folderExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool createFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    ::mkdir(path.c_str(), 0700);
    return folderExists(path);
}

bool changeCurrentFolder(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return names;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(folder);
    return names;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

AppendOnlyFile::~AppendOnlyFile() {
    close();
}

bool AppendOnlyFile::open(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    return m_fd >= 0;
}

bool AppendOnlyFile::append(std::string_view bytes) {
    if (m_fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool AppendOnlyFile::close() {
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

} // namespace quietmon
