#pragma once

#include "platform/Processes.h"

namespace quietmon {

// Processes as /proc shows them; start times in clock ticks since boot, as /proc/<pid>/stat keeps them.
// A process is signalled through a descriptor of its own (pidfd), never by its bare id.
class LinuxProcesses final : public Processes {
public:
    int ownProcessId() override;
    std::uint64_t processClockNow() override;
    ProcessEnd forceEnd(int pid, std::uint64_t startedBy) override;
};

} // namespace quietmon
