#include "tasks/http/HttpQueryTask.h"

namespace quietmon {

AfterRow HttpQueryTask::run(const TaskRequest& request) {
    sendQuery(request.queueSettings().query, false);
    return AfterRow::GoOn;
}

} // namespace quietmon
