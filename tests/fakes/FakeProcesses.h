#pragma once

#include "platform/Processes.h"

#include <map>
#include <vector>

namespace quietmon::test {

// Processes with start times the test gives, on a process clock that stands still at `now`.
struct FakeProcesses final : Processes {
    int ownProcessId() override { return ownPid; }
    std::uint64_t processClockNow() override { return now; }
    std::optional<std::uint64_t> startTimeOf(int pid) override {
        const auto found = startTimes.find(pid);
        return found == startTimes.end() ? std::nullopt : std::optional(found->second);
    }
    bool forceEnd(int pid) override {
        ended.push_back(pid);
        return startTimes.erase(pid) > 0;
    }

    int ownPid = 777;
    std::uint64_t now = 1000;
    std::map<int, std::uint64_t> startTimes{{4242, 500}};
    std::vector<int> ended;
};

} // namespace quietmon::test
