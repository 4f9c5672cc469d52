#pragma once

#include <cstdint>
#include <optional>

namespace quietmon {

// The processes of this computer, as far as ending another application needs them.
class Processes {
public:
    virtual ~Processes() = default;
    virtual int ownProcessId() = 0;
    // Now, on the clock that process start times are kept on; only good for comparing with startTimeOf.
    virtual std::uint64_t processClockNow() = 0;
    // When the process started, on that clock; nothing when no live process has this id.
    virtual std::optional<std::uint64_t> startTimeOf(int pid) = 0;
    // Ends the process at once, without a chance to refuse. False when it could not be signalled: it is
    // gone, or it belongs to a user whose processes this one may not signal.
    virtual bool forceEnd(int pid) = 0;
};

} // namespace quietmon
