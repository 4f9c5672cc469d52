#include "platform/linux/SingleInstance.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

} // namespace

std::string instanceLockName(const std::string& programFolder) {
    unsigned long sum = 0;
    std::uint64_t digest = 14695981039346656037ull; // FNV-1a
    for (const char c : programFolder) {
        sum += static_cast<unsigned char>(c);
        digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "s%lu-%016llx", sum, static_cast<unsigned long long>(digest));
    return name;
}

InstanceCheck acquireSingleInstance(const std::string& programFolder,
                                    std::unique_ptr<SingleInstanceLock>& lock) {
    const std::string folder = lockFolder();
    if (folder.empty())
        return InstanceCheck::LockUnavailable;
    const std::string path = folder + "/" + instanceLockName(programFolder) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return InstanceCheck::LockUnavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? InstanceCheck::AlreadyRunning : InstanceCheck::LockUnavailable;
    }
    lock = std::make_unique<FlockLock>(fd);
    return InstanceCheck::First;
}

} // namespace quietmon
