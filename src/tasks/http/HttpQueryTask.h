#pragma once

#include "config/taskkinds/HttpQuerySettings.h"
#include "tasks/QueueTask.h"

namespace quietmon {

// "Send HTTP query": hands the request to a worker and returns at once.
class HttpQueryTask : public QueueTask {
public:
    // `show`: the answer or the failure is shown in a message box (the Setup dialog's "Test" buttons).
    virtual void sendQuery(const QuerySettings& settings, bool show) = 0;

    AfterRow run(const TaskRequest& request) final;
};

} // namespace quietmon
