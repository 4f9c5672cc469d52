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
// so that two folders whose bytes happen to add up to the same sum do not block each other. A named
// monitor's lock adds its name: the installation folder and the name together.
std::string instanceLockName(const std::string& programFolder, const std::string& instanceName = {});

// Takes the lock for `programFolder` (and `instanceName`, empty for the unnamed monitor). `lock` is set
// only for the first instance; when the lock cannot be made at all, the program starts normally without one.
InstanceCheck acquireSingleInstance(const std::string& programFolder,
                                    std::unique_ptr<SingleInstanceLock>& lock,
                                    const std::string& instanceName = {});

// Whether a monitor holds that lock now. Asking takes the lock shared for a moment; a monitor starting
// in that moment tries again before it takes itself for a second start.
bool instanceRuns(const std::string& programFolder, const std::string& instanceName);

// The lock on a settings folder itself, by its real path: two monitors whose folders are one through
// links cannot both hold it. `lock` is set when it was taken.
InstanceCheck acquireFolderLock(const std::string& folder, std::unique_ptr<SingleInstanceLock>& lock);

} // namespace quietmon
