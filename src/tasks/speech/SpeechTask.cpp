#include "tasks/speech/SpeechTask.h"

#include "tasks/Placeholders.h"

namespace quietmon {

AfterRow SpeechTask::run(const TaskRequest& request) {
    request.host.repaintNow();
    speak(expandPlaceholders(request.host.settings().speakText, request.host.alarmState()));
    return AfterRow::GoOn;
}

} // namespace quietmon
