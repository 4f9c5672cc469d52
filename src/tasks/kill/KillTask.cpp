#include "tasks/kill/KillTask.h"

namespace quietmon {

AfterRow KillTask::run(const TaskRequest& request) {
    for (const KillTarget& application :
         request.queueSettings().of<TaskKind::KillApplication>().applications) {
        killApplication(application.title, application.windowClass);
        if (request.queue == QueueKind::Return)
            request.host.clock().sleep(returnPauseMs);
    }
    return AfterRow::GoOn;
}

} // namespace quietmon
