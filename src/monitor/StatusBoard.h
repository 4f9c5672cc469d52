#pragma once

#include "monitor/StatusSnapshot.h"

#include <memory>
#include <mutex>

namespace quietmon {

// Where the logic thread leaves the latest snapshot for the status endpoint's thread: the lock is held
// only to swap a pointer, so neither side ever waits on the other's work.
class StatusBoard {
public:
    void publish(StatusSnapshot snapshot);
    // Null until the first is published.
    std::shared_ptr<const StatusSnapshot> latest() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const StatusSnapshot> m_latest;
};

} // namespace quietmon
