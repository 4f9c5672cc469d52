#pragma once

#include "config/Settings.h"
#include "tasks/AlarmState.h"
#include "tasks/QueueTask.h"

#include <string>

namespace quietmon {

enum class StatusColour { Normal, Alarm };

// What the silence detection and the two executors need of the main window around them, beyond what
// their tasks need.
class AlarmHost : public TaskHost {
public:
    virtual bool setupShown() const = 0;
    // Whether the audio input delivers nothing now.
    virtual bool inputLost() const = 0;
    virtual void logEvent(const std::string& text) = 0;
    virtual void setStatus(const std::string& text, StatusColour colour) = 0;
    virtual void updateTray() = 0;
    // The Setup dialog's alarm-task pages cannot be edited while the alarm queue runs.
    virtual void setAlarmTaskPagesEnabled(bool enabled) = 0;
    virtual void showLastSilence(DateTime when) = 0;
    // For observers of the alarm (the recording scan): the alarm was raised, the return has begun.
    virtual void alarmActivated() = 0;
    virtual void returnStarted() = 0;
};

} // namespace quietmon
