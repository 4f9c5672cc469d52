#include "tasks/reboot/RebootTask.h"

namespace quietmon {

AfterRow RebootTask::run(const TaskRequest& request) {
    request.host.alarmState().runningAlarmQueue.clear();
    reboot(request.queueSettings().of<TaskKind::RebootSystem>());
    return AfterRow::GoOn;
}

} // namespace quietmon
