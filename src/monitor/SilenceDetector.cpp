#include "monitor/SilenceDetector.h"

#include "audio/ActivationConditions.h"
#include "monitor/AlarmExecutor.h"
#include "tasks/StatusTexts.h"

namespace quietmon {

SilenceDetector::SilenceDetector(AlarmHost& host, DesktopWindows& windows, Timer& silenceTimer,
                                 Timer& returnTimer, AlarmExecutor& executor)
    : m_host(host), m_windows(windows), m_silenceTimer(silenceTimer), m_returnTimer(returnTimer),
      m_executor(executor) {}

bool SilenceDetector::silenceByRule(bool leftSilent, bool rightSilent) const {
    // A rule with no line selected counts as the default, both channels.
    switch (m_host.settings().activation.channels.value_or(ChannelRule::BothChannels)) {
    case ChannelRule::AnyChannel:
        return leftSilent || rightSilent;
    case ChannelRule::LeftChannel:
        return leftSilent;
    case ChannelRule::RightChannel:
        return rightSilent;
    case ChannelRule::BothChannels:
        break;
    }
    return leftSilent && rightSilent;
}

void SilenceDetector::detect(DateTime now, bool leftSilent, bool rightSilent) {
    AlarmState& state = m_host.alarmState();
    const Settings& settings = m_host.settings();
    if (state.startUpDelay.holds(now, settings.general.startUpDelay))
        return;

    const bool silence = silenceByRule(leftSilent, rightSilent);
    if (state.alarmActive) {
        // The return counts while sound is present; silence loses the count.
        m_returnTimer.setEnabled(!silence);
        return;
    }
    if (!rightSilent)
        state.lastCountedSoundRight = now;
    if (!leftSilent)
        state.lastCountedSoundLeft = now;
    const bool conditions = timeAndDayCondition(settings.activation, now);
    // Enabling a running countdown lets it go on; anything else starts it again from zero.
    m_silenceTimer.setEnabled(silence && conditions && !m_host.setupShown() && !state.returnTasksRunning);
    if (!m_silenceTimer.enabled())
        state.silentChannels = "Unknown";
}

std::string SilenceDetector::silentChannelNames(DateTime now) const {
    const AlarmState& state = m_host.alarmState();
    const GeneralSettings& general = m_host.settings().general;
    const std::string both = general.leftName + " and " + general.rightName;
    switch (m_host.settings().activation.channels.value_or(ChannelRule::BothChannels)) {
    case ChannelRule::AnyChannel: {
        // A channel counts as silent when it had no sound for most of the countdown.
        const std::int64_t limit = m_silenceTimer.interval() * 9 / 10;
        const bool left = millisecondsBetween(now, state.lastCountedSoundLeft) > limit;
        const bool right = millisecondsBetween(now, state.lastCountedSoundRight) > limit;
        std::string names = state.silentChannels;
        if (left)
            names = general.leftName;
        if (right)
            names = general.rightName;
        if (left && right)
            names = both;
        return names;
    }
    case ChannelRule::LeftChannel:
        return general.leftName;
    case ChannelRule::RightChannel:
        return general.rightName;
    case ChannelRule::BothChannels:
        break;
    }
    return both;
}

bool SilenceDetector::windowConditionAllows() {
    const ActivationSettings& activation = m_host.settings().activation;
    if (m_windowConditionCheckable)
        return windowCondition(activation, m_windows) != WindowCondition::NotMet;
    if (windowConditionInForce(activation) && !m_uncheckedWindowConditionLogged) {
        m_host.logEvent("Window condition not applied: no display to look for the window on");
        m_uncheckedWindowConditionLogged = true;
    }
    return true;
}

void SilenceDetector::onSilenceTimer() {
    // Not met: the countdown runs on and the window is looked for again one interval later.
    if (!windowConditionAllows())
        return;
    m_silenceTimer.setEnabled(false);
    const DateTime now = m_host.clock().now();
    AlarmState& state = m_host.alarmState();
    state.silentChannels = silentChannelNames(now);
    state.cause = m_host.inputLost() ? alarm_causes::inputLost : alarm_causes::silence;
    state.alarmActive = true;
    m_host.logEvent("Alarm activated (silent channel(s): " + state.silentChannels + ")");
    // Shown at once, so that nobody reads "Alarm not active" beside a raised alarm until the queue's first
    // tick (held back by the start-up delay, it may be a while).
    m_host.setStatus(status_texts::silence, StatusColour::Alarm);
    m_host.showLastSilence(now);
    m_executor.start();
    // After the start, so that an observer sees the queue at its first entry.
    m_host.alarmActivated();
}

} // namespace quietmon
