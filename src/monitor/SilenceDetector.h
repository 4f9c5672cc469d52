#pragma once

#include "monitor/AlarmHost.h"
#include "platform/DesktopWindows.h"
#include "runtime/Timer.h"

namespace quietmon {

class AlarmExecutor;

// Decides when silence has lasted long enough to raise the alarm, and arms the return when sound is back.
// Fed by every measurement; `silenceTimer` counts the silence, `returnTimer` the sound during an alarm.
class SilenceDetector {
public:
    SilenceDetector(AlarmHost& host, DesktopWindows& windows, Timer& silenceTimer, Timer& returnTimer,
                    AlarmExecutor& executor);

    // The detection step after a measurement: `now` and the two silent flags.
    void detect(DateTime now, bool leftSilent, bool rightSilent);
    // The silence countdown ran out.
    void onSilenceTimer();
    // Without a display the window condition cannot be checked: it is then not applied, neither holding
    // the alarm back nor forcing it, and the first alarm it would have applied to logs that once.
    void setWindowConditionCheckable(bool checkable) { m_windowConditionCheckable = checkable; }

private:
    // The channel rule's "silence" column.
    bool silenceByRule(bool leftSilent, bool rightSilent) const;
    std::string silentChannelNames(DateTime now) const;
    // Whether the window condition lets the alarm rise now.
    bool windowConditionAllows();

    AlarmHost& m_host;
    DesktopWindows& m_windows;
    Timer& m_silenceTimer;
    Timer& m_returnTimer;
    AlarmExecutor& m_executor;
    bool m_windowConditionCheckable = true;
    bool m_uncheckedWindowConditionLogged = false;
};

} // namespace quietmon
