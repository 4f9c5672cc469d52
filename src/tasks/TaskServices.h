#pragma once

#include "config/TaskKinds.h"
#include "tasks/QueueTask.h"

#include <array>
#include <vector>

namespace quietmon {

// The task of each kind this program has, by kind; a kind without one is not available and its rows do
// nothing. One task may run several kinds.
class TaskServices {
public:
    void set(TaskKind kind, QueueTask* task) { m_tasks[static_cast<std::size_t>(kind)] = task; }
    QueueTask* of(TaskKind kind) const { return m_tasks[static_cast<std::size_t>(kind)]; }
    // The task of `kind` through its own interface (a page's "Test" button), or null.
    template <typename Service> Service* serviceOf(TaskKind kind) const {
        return dynamic_cast<Service*>(of(kind));
    }
    // Every task once, in the order of the kinds.
    std::vector<QueueTask*> distinct() const;

private:
    std::array<QueueTask*, taskKinds.size()> m_tasks{};
};

} // namespace quietmon
