#include "tasks/http/HttpQueryTask.h"

namespace quietmon {

AfterRow HttpQueryTask::run(const TaskRequest& request) {
    sendQuery(request.queueSettings().of<TaskKind::SendHttpQuery>(), false);
    return AfterRow::GoOn;
}

} // namespace quietmon
