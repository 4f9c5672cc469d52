#include "platform/linux/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quietmon {

namespace {

class FlockLock final : public SingleInstanceLock {
public:
    explicit FlockLock(int fd) : m_fd(fd) {}
    ~FlockLock() override { ::close(m_fd); }

private:
    int m_fd;
};

// Private to the user: a lock folder others could write to would let them block the program.
std::string lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime && runtime[0] == '/') ? std::string(runtime) + "/quietmon"
                                                        : "/tmp/quietmon-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 0077) != 0)
        return {};
    return folder;
}

std::uint64_t digestOf(const std::string& text) {
    std::uint64_t digest = 14695981039346656037ull; // FNV-1a
    for (const char c : text)
        digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return digest;
}

std::string lockPath(const std::string& name) {
    const std::string folder = lockFolder();
    return folder.empty() ? std::string() : folder + "/" + name + ".lock";
}

InstanceCheck acquireLockFile(const std::string& name, std::unique_ptr<SingleInstanceLock>& lock) {
    const std::string path = lockPath(name);
    if (path.empty())
        return InstanceCheck::LockUnavailable;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return InstanceCheck::LockUnavailable;
    // A listing of the running monitors holds the lock shared for a moment: a few tries tell that from a
    // monitor that runs.
    constexpr int tries = 5;
    for (int attempt = 1;; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK || attempt == tries) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? InstanceCheck::AlreadyRunning : InstanceCheck::LockUnavailable;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    lock = std::make_unique<FlockLock>(fd);
    return InstanceCheck::First;
}

} // namespace

std::string instanceLockName(const std::string& programFolder, const std::string& instanceName) {
    unsigned long sum = 0;
    for (const char c : programFolder)
        sum += static_cast<unsigned char>(c);
    char name[64];
    std::snprintf(name, sizeof name, "s%lu-%016llx", sum,
                  static_cast<unsigned long long>(digestOf(programFolder)));
    return instanceName.empty() ? std::string(name) : std::string(name) + "-" + instanceName;
}

InstanceCheck acquireSingleInstance(const std::string& programFolder,
                                    std::unique_ptr<SingleInstanceLock>& lock,
                                    const std::string& instanceName) {
    return acquireLockFile(instanceLockName(programFolder, instanceName), lock);
}

bool instanceRuns(const std::string& programFolder, const std::string& instanceName) {
    const std::string path = lockPath(instanceLockName(programFolder, instanceName));
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false; // never started, or no lock to ask
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

InstanceCheck acquireFolderLock(const std::string& folder, std::unique_ptr<SingleInstanceLock>& lock) {
    std::error_code failure;
    const std::string real = std::filesystem::canonical(folder, failure).string();
    if (failure)
        return InstanceCheck::LockUnavailable;
    char name[64];
    std::snprintf(name, sizeof name, "folder-%016llx", static_cast<unsigned long long>(digestOf(real)));
    return acquireLockFile(name, lock);
}

} // namespace quietmon
