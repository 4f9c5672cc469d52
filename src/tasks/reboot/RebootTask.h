#pragma once

#include "config/taskkinds/RebootSettings.h"
#include "tasks/QueueTask.h"

namespace quietmon {

// "Reboot system".
class RebootTask : public QueueTask {
public:
    virtual void reboot(const RebootSettings& settings) = 0;

    // Ends the running alarm queue first: a tick during the countdown, or after a refusal, finds it empty.
    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon
