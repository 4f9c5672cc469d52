#include "tasks/TaskServices.h"

#include <algorithm>

namespace quietmon {

std::vector<QueueTask*> TaskServices::distinct() const {
    std::vector<QueueTask*> tasks;
    for (QueueTask* task : m_tasks) {
        if (task && std::ranges::find(tasks, task) == tasks.end())
            tasks.push_back(task);
    }
    return tasks;
}

} // namespace quietmon
