#pragma once

#include "platform/Processes.h"
#include "runtime/VirtualEventLoop.h"

#include <vector>

namespace quietmon::test {

// Processes that the test need not start: each end is only noted. With a loop, the process clock moves
// on with its virtual time, in ticks of 10 ms from `startTicks`.
struct FakeProcesses final : Processes {
    struct EndRequest {
        int pid;
        std::uint64_t startedBy;
        friend bool operator==(const EndRequest&, const EndRequest&) = default;
    };

    int ownProcessId() override { return ownPid; }
    std::uint64_t processClockNow() override {
        return startTicks + (loop ? static_cast<std::uint64_t>(loop->elapsedMs() / 10) : 0);
    }
    ProcessEnd forceEnd(int pid, std::uint64_t startedBy) override {
        if (!pidfdSupported)
            return ProcessEnd::Unsupported;
        ended.push_back({pid, startedBy});
        return ProcessEnd::Ended;
    }

    int ownPid = 777;
    std::uint64_t startTicks = 1000;
    VirtualEventLoop* loop = nullptr;
    bool pidfdSupported = true;
    std::vector<EndRequest> ended;
};

} // namespace quietmon::test
