#include "support/Unprivileged.h"

#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quietmon::test {

namespace {
constexpr uid_t nobody = 65534;
}

void giveToUnprivilegedUser(const std::string& path) {
    if (::geteuid() != 0)
        return;
    [[maybe_unused]] int ignored = ::chown(path.c_str(), nobody, nobody);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
        ignored = ::chown(entry.path().c_str(), nobody, nobody);
}

int runUnprivileged(const std::function<int()>& body) {
    if (::geteuid() != 0)
        return body();
    return runInChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            return 125;
        return body();
    });
}

int runInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace quietmon::test
