#pragma once

#include "config/Settings.h"

#include <string>

namespace quietmon {

// The start-up status: how the alarm state and the alarm executor's position begin a run.
struct StartupStatusEffect {
    enum class Status {
        Unchanged,      // no status line selected: the loaded position stays, nothing else happens
        AlarmNotActive, // "Alarm not active"
        Silence,        // "Silence!": the alarm state without running any task
        ResumeQueue,    // "Silence! ...": the alarm queue goes on after the program's own reboot
    };
    Status status = Status::AlarmNotActive;
    bool alarmActive = false;
    std::optional<int> taskPosition;
    int repeatCount = noRepeatsLeft;
};

StartupStatusEffect startupStatusEffect(const Settings& loaded);

// Names that must not stay empty once settings are applied: the window title and the channel names.
void fillEmptyNames(Settings& settings, const std::string& productName);

// "Use built-in MP3 player for .mp3 files" cannot stay on where no built-in player could be created.
void clearUnavailablePlayerOption(GeneralSettings& general, bool playerAvailable);

// The threshold slider runs from 0 to -MinThreshold; a position beyond it is pulled back.
int thresholdWithinSlider(int position, int minThreshold);

} // namespace quietmon
