#include "tasks/screenshot/ScreenshotTask.h"

namespace quietmon {

AfterRow ScreenshotTask::run(const TaskRequest& request) {
    if (saveScreenshot(request.queueSettings().of<TaskKind::SaveScreenshot>()) &&
        request.queue == QueueKind::Return)
        request.host.clock().sleep(returnPauseMs);
    return AfterRow::GoOn;
}

} // namespace quietmon
