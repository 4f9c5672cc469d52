#include "platform/linux/LinuxProcesses.h"

#include "runtime/FileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace quietmon {

namespace {

// When the process with this id started, in ticks since boot; nothing when no live process has the id.
// A zombie has ended already: it counts as no live process.
std::optional<std::uint64_t> startTimeOf(int pid) {
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

// Through the system calls themselves: the declarations in glibc 2.36's <sys/pidfd.h> lack C linkage.
int openProcessDescriptor(int pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u));
}

int sendSignal(int processDescriptor, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, processDescriptor, signal, nullptr, 0u));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

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

ProcessEnd LinuxProcesses::forceEnd(int pid, std::uint64_t startedBy) {
    if (pid <= 0)
        return ProcessEnd::NoSuchProcess;
    // From here on the descriptor names the process that has the id now, whoever gets the id later.
    const Descriptor process(openProcessDescriptor(pid));
    if (process.get() < 0) {
        if (errno == ENOSYS)
            return ProcessEnd::Unsupported;
        // ESRCH: no such process; EINVAL: the id of a thread, not of a process.
        return errno == ESRCH || errno == EINVAL ? ProcessEnd::NoSuchProcess : ProcessEnd::Failed;
    }
    // Read by the id, the start time may be that of a process that took the id after the descriptor's own
    // ended; but then the signal below finds the descriptor's process gone and reaches nobody. If the
    // signal arrives, its process was alive all along, so the id was still its own when the time was read.
    const std::optional<std::uint64_t> startedAt = startTimeOf(pid);
    if (!startedAt || *startedAt > startedBy)
        return ProcessEnd::NoSuchProcess;
    if (sendSignal(process.get(), SIGKILL) == 0)
        return ProcessEnd::Ended;
    if (errno == ESRCH)
        return ProcessEnd::NoSuchProcess;
    return errno == ENOSYS ? ProcessEnd::Unsupported : ProcessEnd::Failed;
}

} // namespace quietmon
