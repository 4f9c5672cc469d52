#include "tasks/speech/SpeechTask.h"

#include "tasks/Placeholders.h"

namespace quietmon {

AfterRow SpeechTask::run(const TaskRequest& request) {
    request.host.repaintNow();
    speak(expandPlaceholders(request.queueSettings().of<TaskKind::Speak>().text, request.host.alarmState()));
    return AfterRow::GoOn;
}

} // namespace quietmon
