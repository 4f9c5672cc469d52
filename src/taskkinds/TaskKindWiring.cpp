#include "taskkinds/TaskKindWiring.h"

#include "monitor/Monitor.h"

#include <array>
#include <utility>

namespace quietmon {

namespace {

using WireKind = std::unique_ptr<WiredTaskKind> (*)(TaskKindWiring&);

template <std::size_t... index>
constexpr std::array<WireKind, sizeof...(index)> kindWiringsOf(std::index_sequence<index...>) {
    return {&wireTaskKind<taskKinds[index].kind>...};
}
constexpr auto kindWirings = kindWiringsOf(std::make_index_sequence<taskKinds.size()>{});

class SharedTask final : public WiredTaskKind {
public:
    explicit SharedTask(QueueTask& task) : m_task(task) {}
    QueueTask& task() override { return m_task; }

private:
    QueueTask& m_task;
};

} // namespace

std::unique_ptr<WiredTaskKind> sharingTaskOf(TaskKind earlierKind, TaskKindWiring& wiring) {
    QueueTask* task = wiring.monitor.tasks().of(earlierKind);
    return task ? std::make_unique<SharedTask>(*task) : nullptr;
}

std::vector<std::unique_ptr<WiredTaskKind>> wireTaskKinds(TaskKindWiring& wiring) {
    std::vector<std::unique_ptr<WiredTaskKind>> wired;
    for (std::size_t index = 0; index < taskKinds.size(); ++index) {
        std::unique_ptr<WiredTaskKind> kind = kindWirings[index](wiring);
        if (!kind)
            continue;
        wiring.monitor.tasks().set(taskKinds[index].kind, &kind->task());
        wired.push_back(std::move(kind));
    }
    return wired;
}

} // namespace quietmon
