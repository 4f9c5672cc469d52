#include "tasks/openplay/OpenPlayTask.h"

#include <exception>

namespace quietmon {

AfterRow OpenPlayTask::run(const TaskRequest& request) {
    // "Open/Play 2" has one set of files, of the alarm queue; the others are their queue's.
    openFiles(request.kind == TaskKind::OpenPlay2 ? request.host.settings().open2
                                                  : request.queueSettings().open);
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
