#include "taskkinds/TaskKindWiring.h"

namespace quietmon {

// Delay and Repeat steer the queue that runs them; they have no task.

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::Delay>(TaskKindWiring&) {
    return nullptr;
}

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::Repeat>(TaskKindWiring&) {
    return nullptr;
}

} // namespace quietmon
