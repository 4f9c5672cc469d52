#include "config/StartupRules.h"

#include <algorithm>

namespace quietmon {

StartupStatusEffect startupStatusEffect(const Settings& loaded) {
    using Status = StartupStatusEffect::Status;
    StartupStatusEffect effect;
    if (!loaded.general.startUpStatus) {
        effect.status = Status::Unchanged;
        effect.taskPosition = loaded.state.lastTask;
        effect.repeatCount = loaded.state.repeatCount;
        return effect;
    }
    switch (*loaded.general.startUpStatus) {
    case StartUpStatus::AlarmNotActive:
        break;
    case StartUpStatus::Silence:
        effect.status = Status::Silence;
        effect.alarmActive = true;
        break;
    case StartUpStatus::InvokeLastStatus:
        effect.taskPosition = loaded.state.lastTask;
        effect.repeatCount = loaded.state.repeatCount;
        if (!loaded.state.alarmActive)
            effect.status = Status::AlarmNotActive;
        else
            effect.status = loaded.state.rebooting ? Status::ResumeQueue : Status::Silence;
        effect.alarmActive = loaded.state.alarmActive;
        break;
    }
    return effect;
}

void fillEmptyNames(Settings& settings, const std::string& productName) {
    if (settings.general.title.empty())
        settings.general.title = productName;
    if (settings.general.leftName.empty())
        settings.general.leftName = "Left";
    if (settings.general.rightName.empty())
        settings.general.rightName = "Right";
}

void clearUnavailablePlayerOption(GeneralSettings& general, bool playerAvailable) {
    if (!playerAvailable)
        general.internalPlayer = false;
}

int thresholdWithinSlider(int position, int minThreshold) {
    return std::clamp(position, 0, -minThreshold);
}

} // namespace quietmon
