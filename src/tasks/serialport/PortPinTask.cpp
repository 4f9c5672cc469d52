#include "tasks/serialport/PortPinTask.h"

#include <exception>

namespace quietmon {

AfterRow PortPinTask::run(const TaskRequest& request) {
    request.host.repaintNow();
    switchPin(request.queueSettings().of<TaskKind::SwitchPortPin>());
    return AfterRow::GoOn;
}

void PortPinTask::atReturn(const Settings& settings) {
    if (settings.alarmQueue.of<TaskKind::SwitchPortPin>().hold == PinHold::UntilReturn)
        releasePortPin(0);
}

void PortPinTask::atClose() {
    try {
        closePort();
    } catch (const std::exception&) {
    }
}

} // namespace quietmon
