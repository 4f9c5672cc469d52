#include "setup/TaskQueuePage.h"

#include "config/TaskNames.h"
#include "monitor/Monitor.h"
#include "setup/CribPanel.h"
#include "setup/SetupContext.h"
#include "setup/TaskQueueEditor.h"
#include "setup/TaskSubPages.h"
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

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quietmon {

namespace {

constexpr int longestAlarmDelaySeconds = 3600;
constexpr int longestReturnDelaySeconds = 30;
// The "Open/Play 1" files keep the old limit; the others take paths of any length.
constexpr int openPlay1FileMaxLength = 255;

QStringList placeholdersOf(QueueKind queue) {
    // "%time" writes 14-05-09, fit for a file name; "%time:" writes 14:05:09.
    QStringList placeholders = {QStringLiteral("%date"),  QStringLiteral("%time"),
                                QStringLiteral("%time:"), QStringLiteral("%channel"),
                                QStringLiteral("%cause"), QStringLiteral("%dayofweek"),
                                QStringLiteral("%br"),    QStringLiteral("%lasttask")};
    // The return comes when sound is back: no channel is silent. "%cause" stays: the return's tasks tell
    // what the alarm that ended was.
    if (queue == QueueKind::Return)
        placeholders.removeAll(QStringLiteral("%channel"));
    return placeholders;
}

} // namespace

TaskQueuePage::TaskQueuePage(SetupContext& context, QueueKind queue, QWidget* parent)
    : QWidget(parent), m_context(context) {
    // Made without a parent, the sub-pages join the page's tab order when the layout takes them: after
    // the editor, which needs them first.
    m_subPages = new TaskSubPages;
    addSubPages(queue);
    Settings& settings = context.monitor.settings();
    const bool alarm = queue == QueueKind::Alarm;
    m_editor = alarm ? new TaskQueueEditor(settings.tasks, true, *m_subPages, this)
                     : new TaskQueueEditor(settings.retTasks, false, *m_subPages, this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_editor, 1);
    top->addWidget(new CribPanel(placeholdersOf(queue), *m_subPages, this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_subPages, 1);
}

void TaskQueuePage::addSubPages(QueueKind queue) {
    using namespace task_names;
    Settings& s = m_context.monitor.settings();
    const bool alarm = queue == QueueKind::Alarm;
    auto add = [this](const char* caption, QWidget* page) {
        m_subPages->addPage(QString::fromUtf8(caption), page);
    };

    m_email = new EmailTaskPage(m_context, alarm ? s.email : s.retEmail, queue);
    add(sendEmail, m_email);
    add(saveScreenshot, new ScreenshotTaskPage(m_context, alarm ? s.screenshot : s.retScreenshot,
                                               [this](const QString& file) { attachToEmail(file); }));
    if (alarm) {
        add(openPlay1, new OpenPlayTaskPage(m_context, s.open1, openPlay1FileMaxLength));
        add(openPlay2, new OpenPlayTaskPage(m_context, s.open2, 0));
        add(rebootSystem, new RebootTaskPage(m_context, s.reboot));
        add(killApplication, new KillTaskPage(m_context, s.kill));
        add(switchPortPin, new PortPinTaskPage(m_context, s.port));
        add(delay, new DelayTaskPage(m_context, s.delaySeconds, longestAlarmDelaySeconds));
        add(sendHttpQuery, new HttpQueryTaskPage(m_context, s.query));
        add(speak, new SpeakTaskPage(m_context, s.speakText));
        add(repeat, new RepeatTaskPage(m_context, s.repeatFromLine, s.repeatMaximum));
    } else {
        add(openPlay, new OpenPlayTaskPage(m_context, s.retOpen, 0));
        add(killApplication, new KillTaskPage(m_context, s.retKill));
        add(sendHttpQuery, new HttpQueryTaskPage(m_context, s.retQuery));
        add(delay, new DelayTaskPage(m_context, s.retDelaySeconds, longestReturnDelaySeconds));
    }
}

void TaskQueuePage::setSubPagesEnabled(bool enabled) {
    m_subPages->pageArea().setEnabled(enabled);
}

void TaskQueuePage::attachToEmail(const QString& file) {
    BoundFields::putWholeText(&m_email->attachFileField(), file);
    m_subPages->showPage(QString::fromUtf8(task_names::sendEmail));
    m_email->attachFileField().setFocus();
}

void TaskQueuePage::showEvent(QShowEvent* event) {
    m_editor->refresh();
    m_editor->showSelectedTask();
    QWidget::showEvent(event);
}

} // namespace quietmon
