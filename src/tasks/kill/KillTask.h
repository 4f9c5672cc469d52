#pragma once

#include "config/taskkinds/KillSettings.h"
#include "tasks/QueueTask.h"

#include <string>

namespace quietmon {

// "Kill application": one application, by window title and class.
class KillTask : public QueueTask {
public:
    // The return queue pauses this long after each application it ends.
    static constexpr int returnPauseMs = 200;

    virtual void killApplication(const std::string& title, const std::string& windowClass) = 0;

    // Both applications of the queue's settings, in order.
    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon
