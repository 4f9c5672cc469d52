#include "runtime/FileSystem.h"

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

std::string systemReason(int error) {
    return std::generic_category().message(error);
}

// Makes a rename into the folder of `path` last through a power cut. A failure changes nothing the
// caller could act on: the file is in its place either way.
void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The error number of what failed, or 0. `mode`: the permissions of the new file; 0600 when nothing is
// given. `temporaryMade` tells whether the temporary file could be created at all.
int writeThroughTemporary(const std::string& path, std::string_view contents, std::optional<mode_t> mode,
                          bool& temporaryMade) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // created 0600
    temporaryMade = fd >= 0;
    if (fd < 0)
        return errno;
    int error = 0;
    if ((mode && ::fchmod(fd, *mode) != 0) || !writeAllAt(fd, contents, 0) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolderOf(path);
    return 0;
}

// The error number of what failed, or 0.
int rewriteInPlace(const std::string& path, std::string_view contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // The room for the new contents is taken before the first byte changes, so that a full disk fails
    // the write with the old contents whole. A file system that cannot reserve room is written anyway.
    int error = contents.empty() ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(contents.size()));
    if (error == EOPNOTSUPP || error == EINVAL)
        error = 0;
    if (error == 0 && (!writeAllAt(fd, contents, 0) ||
                       ::ftruncate(fd, static_cast<off_t>(contents.size())) != 0 || ::fsync(fd) != 0))
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Where no new file can be made beside the old one, writing the old one in place is the only way left.
bool folderRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

} // namespace

bool writeAllAt(int fd, std::string_view contents, std::uint64_t offset) {
    while (!contents.empty()) {
        const ssize_t written = ::pwrite(fd, contents.data(), contents.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = EIO;
        if (written <= 0)
            return false;
        contents.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool replaceFileContents(const std::string& path, std::string_view contents, std::string* failure) {
    bool temporaryMade = false;
    int error = writeThroughTemporary(path, contents, std::nullopt, temporaryMade);
    // Never after a failed write: the same full disk would cut the old file short in place.
    if (error != 0 && !temporaryMade && folderRefusesNewFiles(error))
        error = rewriteInPlace(path, contents);
    if (error != 0 && failure)
        *failure = systemReason(error);
    return error == 0;
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

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string* failure) {
    bool temporaryMade = false;
    const int error =
        writeThroughTemporary(path, contents, static_cast<mode_t>(0666 & ~currentUmask()), temporaryMade);
    if (error != 0 && failure)
        *failure = systemReason(error);
    return error == 0;
}

namespace {

// Reads at most `maxBytes` of a regular file into `contents`. Returns whether the file could be opened as
// one; `failure` holds the system's reason when it could not, or when reading it failed.
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents,
                     std::string& failure) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        failure = systemReason(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        failure = systemReason(errno);
    else if (!S_ISREG(info.st_mode))
        failure = S_ISDIR(info.st_mode) ? systemReason(EISDIR) : "Not a regular file";
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
            failure = systemReason(errno);
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

bool renameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

AppendOnlyFile::~AppendOnlyFile() {
    close();
}

bool AppendOnlyFile::open(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    struct stat info {};
    m_sizeBytes = m_fd >= 0 && ::fstat(m_fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
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
        m_sizeBytes += static_cast<std::uint64_t>(written);
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
