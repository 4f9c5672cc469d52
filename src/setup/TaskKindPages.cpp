#include "setup/TaskKindPages.h"

#include "monitor/Monitor.h"
#include "setup/SetupContext.h"
#include "setup/taskpages/DelayTaskPage.h"
#include "setup/taskpages/EmailTaskPage.h"
#include "setup/taskpages/HttpQueryTaskPage.h"
#include "setup/taskpages/KillTaskPage.h"
#include "setup/taskpages/OpenPlayTaskPage.h"
#include "setup/taskpages/PortPinTaskPage.h"
#include "setup/taskpages/RebootTaskPage.h"
#include "setup/taskpages/RepeatTaskPage.h"
#include "setup/taskpages/ScreenshotTaskPage.h"
#include "setup/taskpages/SpeakTaskPage.h"

#include <array>

namespace quietmon {

namespace {

constexpr int longestAlarmDelaySeconds = 3600;
constexpr int longestReturnDelaySeconds = 30;
// The "Open/Play 1" files keep the old limit; the others take paths of any length.
constexpr int openPlay1FileMaxLength = 255;

using MakePage = QWidget* (*)(const TaskPageSource&);

Settings& settingsOf(const TaskPageSource& source) {
    return source.context.monitor.settings();
}
TaskQueueSettings& queueOf(const TaskPageSource& source) {
    Settings& settings = settingsOf(source);
    return source.queue == QueueKind::Alarm ? settings.alarmQueue : settings.returnQueue;
}

// The page of each kind, in the order of the kinds.
constexpr std::array<std::pair<TaskKind, MakePage>, taskKinds.size()> pageMakers = {{
    {TaskKind::SendEmail,
     [](const TaskPageSource& source) -> QWidget* {
         return new EmailTaskPage(source.context, queueOf(source).email, source.queue);
     }},
    {TaskKind::SaveScreenshot,
     [](const TaskPageSource& source) -> QWidget* {
         return new ScreenshotTaskPage(source.context, queueOf(source).screenshot, source.attachToEmail);
     }},
    {TaskKind::OpenPlay1,
     [](const TaskPageSource& source) -> QWidget* {
         return new OpenPlayTaskPage(source.context, queueOf(source).open, openPlay1FileMaxLength);
     }},
    {TaskKind::OpenPlay2,
     [](const TaskPageSource& source) -> QWidget* {
         return new OpenPlayTaskPage(source.context, settingsOf(source).open2, 0);
     }},
    {TaskKind::OpenPlay,
     [](const TaskPageSource& source) -> QWidget* {
         return new OpenPlayTaskPage(source.context, queueOf(source).open, 0);
     }},
    {TaskKind::RebootSystem,
     [](const TaskPageSource& source) -> QWidget* {
         return new RebootTaskPage(source.context, settingsOf(source).reboot);
     }},
    {TaskKind::KillApplication,
     [](const TaskPageSource& source) -> QWidget* {
         return new KillTaskPage(source.context, queueOf(source).kill);
     }},
    {TaskKind::SwitchPortPin,
     [](const TaskPageSource& source) -> QWidget* {
         return new PortPinTaskPage(source.context, settingsOf(source).port);
     }},
    {TaskKind::Delay,
     [](const TaskPageSource& source) -> QWidget* {
         return new DelayTaskPage(source.context, queueOf(source).delaySeconds,
                                  source.queue == QueueKind::Alarm ? longestAlarmDelaySeconds
                                                                   : longestReturnDelaySeconds);
     }},
    {TaskKind::SendHttpQuery,
     [](const TaskPageSource& source) -> QWidget* {
         return new HttpQueryTaskPage(source.context, queueOf(source).query);
     }},
    {TaskKind::Speak,
     [](const TaskPageSource& source) -> QWidget* {
         return new SpeakTaskPage(source.context, settingsOf(source).speakText);
     }},
    {TaskKind::Repeat,
     [](const TaskPageSource& source) -> QWidget* {
         Settings& s = settingsOf(source);
         return new RepeatTaskPage(source.context, s.repeatFromLine, s.repeatMaximum);
     }},
}};

constexpr bool everyKindHasItsPage() {
    for (std::size_t index = 0; index < pageMakers.size(); ++index) {
        if (pageMakers[index].first != taskKinds[index].kind)
            return false;
    }
    return true;
}
static_assert(everyKindHasItsPage());

} // namespace

QWidget* makeTaskPage(TaskKind kind, const TaskPageSource& source) {
    return pageMakers[static_cast<std::size_t>(kind)].second(source);
}

} // namespace quietmon
