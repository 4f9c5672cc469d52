#pragma once

#include <cstdint>

namespace quietmon {

// How an attempt to end a process went.
enum class ProcessEnd {
    Ended,
    // No live process with that id had started by the given moment: it has ended (a zombie included), or
    // the id now belongs to a process that started since.
    NoSuchProcess,
    // The process may not be signalled (another user's), or the system refused for want of resources.
    Failed,
    // The system cannot hold on to one process while it checks and signals it: nothing was signalled.
    Unsupported,
};

// The processes of this computer, as far as ending another application needs them.
class Processes {
public:
    virtual ~Processes() = default;
    virtual int ownProcessId() = 0;
    // Now, on the clock that process start times are kept on; only good for handing to forceEnd.
    virtual std::uint64_t processClockNow() = 0;
    // Ends the process with this id at once, without a chance to refuse, provided that it started no later
    // than `startedBy` (a processClockNow() value): one that started later only reuses the id of a process
    // that has ended. The check and the signal hold on to one and the same process, so an id that passes
    // to another process between them is never hit.
    virtual ProcessEnd forceEnd(int pid, std::uint64_t startedBy) = 0;
};

} // namespace quietmon
