#include "platform/linux/ProcessControl.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quietmon {

void setIdlePriority(bool idle) {
    const int nice = idle ? 19 : 0;
    // Nice values belong to threads on Linux.
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) {
        ::setpriority(PRIO_PROCESS, 0, nice);
        return;
    }
    while (const dirent* entry = ::readdir(tasks)) {
        const int tid = std::atoi(entry->d_name);
        if (tid > 0)
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
    }
    ::closedir(tasks);
}

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool isProgramFile(const std::string& path) {
    if (!isExecutableFile(path))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return true;
    char start[4] = {};
    const ssize_t got = ::read(fd, start, sizeof start);
    ::close(fd);
    const std::string_view read(start, got > 0 ? static_cast<std::size_t>(got) : 0);
    return read == std::string_view("\x7F"
                                    "ELF",
                                    4) ||
           read.starts_with("#!");
}

std::string findProgram(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return isExecutableFile(program) ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            const std::string candidate = folder + "/" + program;
            if (isExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                   std::string* failure) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // A session of its own, so that it outlives this program and never receives its terminal's signals.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t child = 0;
    const int failed = ::posix_spawn(&child, program.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        if (failure)
            *failure = std::strerror(failed);
        return false;
    }
    // Reaped when it ends, so that it never lingers as a zombie.
    std::thread([child] { ::waitpid(child, nullptr, 0); }).detach();
    return true;
}

} // namespace quietmon
