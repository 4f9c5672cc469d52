#include "tasks/openplay/OpenPlayTask.h"

#include <exception>

namespace quietmon {

AfterRow OpenPlayTask::run(const TaskRequest& request) {
    TaskQueueSettings& queue = request.queueSettings();
    switch (request.kind) {
    case TaskKind::OpenPlay2:
        openFiles(queue.of<TaskKind::OpenPlay2>());
        break;
    case TaskKind::OpenPlay:
        openFiles(queue.of<TaskKind::OpenPlay>());
        break;
    default:
        openFiles(queue.of<TaskKind::OpenPlay1>());
        break;
    }
    return AfterRow::GoOn;
}

void OpenPlayTask::startUp(TaskStartUpOutcome& outcome) {
    m_playerAvailable = false;
    try {
        m_playerAvailable = createPlayer();
    } catch (const std::exception&) {
    }
    outcome.builtInPlayerAvailable = m_playerAvailable;
}

void OpenPlayTask::atReturn(const Settings& settings) {
    if (!settings.general.stopPlayer)
        return;
    try {
        stopPlayerForReturn();
    } catch (const std::exception&) {
    }
}

void OpenPlayTask::windDown() {
    if (!m_playerAvailable)
        return;
    try {
        windDownPlayer();
    } catch (const std::exception&) {
    }
}

} // namespace quietmon
