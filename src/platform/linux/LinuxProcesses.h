#pragma once

#include "platform/Processes.h"

namespace quietmon {

// Processes as /proc shows them; start times in clock ticks since boot, as /proc/<pid>/stat keeps them.
class LinuxProcesses final : public Processes {
public:
    int ownProcessId() override;
    std::uint64_t processClockNow() override;
    // A zombie has ended already: it counts as no live process.
    std::optional<std::uint64_t> startTimeOf(int pid) override;
    bool forceEnd(int pid) override;
};

} // namespace quietmon
