#include "setup/TaskKindPages.h"

#include "monitor/Monitor.h"
#include "setup/SetupContext.h"

#include <array>
#include <utility>

namespace quietmon {

namespace {

using MakePage = QWidget* (*)(const TaskPageSource&);

// The page maker of each kind of the table, in the table's order.
template <std::size_t... index>
constexpr std::array<MakePage, sizeof...(index)> pageMakersOf(std::index_sequence<index...>) {
    return {&makeTaskPageOf<taskKinds[index].kind>...};
}
constexpr auto pageMakers = pageMakersOf(std::make_index_sequence<taskKinds.size()>{});

} // namespace

TaskQueueSettings& TaskPageSource::queueSettings() const {
    return context.monitor.settings().queue(queue);
}

QWidget* makeTaskPage(TaskKind kind, const TaskPageSource& source) {
    return pageMakers[static_cast<std::size_t>(kind)](source);
}

} // namespace quietmon
