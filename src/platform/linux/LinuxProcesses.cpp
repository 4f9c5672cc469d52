#include "platform/linux/LinuxProcesses.h"

#include "platform/FileSystem.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace quietmon {

int LinuxProcesses::ownProcessId() {
    return static_cast<int>(::getpid());
}

std::uint64_t LinuxProcesses::processClockNow() {
    // The kernel keeps start times on the boot-time clock and shows them in whole ticks, cut down: the
    // same cut here keeps a process that started before this moment at or before it.
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ticksPerSecond = static_cast<std::uint64_t>(::sysconf(_SC_CLK_TCK));
    const std::uint64_t nanoseconds =
        static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
    return nanoseconds / (1'000'000'000u / ticksPerSecond);
}

std::optional<std::uint64_t> LinuxProcesses::startTimeOf(int pid) {
    if (pid <= 0)
        return std::nullopt;
    const std::string stat = readFileContents("/proc/" + std::to_string(pid) + "/stat", 4096);
    // The command name in parentheses may hold spaces and parentheses itself: the fields follow the last
    // ')'. After it come the state (field 3) and, twenty fields on, the start time (field 22).
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= stat.size())
        return std::nullopt;
    const char state = stat[nameEnd + 2];
    if (state == 'Z' || state == 'X')
        return std::nullopt;
    std::size_t position = nameEnd + 2;
    for (int field = 3; field < 22; ++field) {
        position = stat.find(' ', position);
        if (position == std::string::npos)
            return std::nullopt;
        ++position;
    }
    char* end = nullptr;
    const unsigned long long start = std::strtoull(stat.c_str() + position, &end, 10);
    if (end == stat.c_str() + position)
        return std::nullopt;
    return static_cast<std::uint64_t>(start);
}

bool LinuxProcesses::forceEnd(int pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace quietmon
