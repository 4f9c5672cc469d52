#pragma once

#include <memory>
#include <string>

namespace quietmon {

// A lock held for the life of the process, named after the program folder, so that a second start
// from the same folder can tell that one already runs. The system releases it when the process ends,
// however it ends.
class SingleInstanceLock {
public:
    virtual ~SingleInstanceLock() = default;
};

enum class InstanceCheck { First, AlreadyRunning, LockUnavailable };

// The lock's name: "s" followed by the sum of the folder's bytes, then a digest of the whole path,
// so that two folders whose bytes happen to add up to the same sum do not block each other.
std::string instanceLockName(const std::string& programFolder);

// Takes the lock for `programFolder`. `lock` is set only for the first instance; when the lock cannot be
// made at all, the program starts normally without one.
InstanceCheck acquireSingleInstance(const std::string& programFolder,
                                    std::unique_ptr<SingleInstanceLock>& lock);

} // namespace quietmon
