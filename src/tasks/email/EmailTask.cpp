#include "tasks/email/EmailTask.h"

namespace quietmon {

AfterRow EmailTask::run(const TaskRequest& request) {
    if (request.queue == QueueKind::Alarm)
        request.host.repaintNow();
    sendEmail(request.queueSettings().of<TaskKind::SendEmail>(), request.queue, request.finished);
    return AfterRow::WaitForFinished;
}

} // namespace quietmon
