#pragma once

#include "config/taskkinds/ScreenshotSettings.h"
#include "tasks/QueueTask.h"

namespace quietmon {

// "Save screenshot".
class ScreenshotTask : public QueueTask {
public:
    // The return queue pauses this long after a capture that had a file name.
    static constexpr int returnPauseMs = 200;

    // Returns whether a file name was set.
    virtual bool saveScreenshot(const ScreenshotSettings& settings) = 0;

    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon
