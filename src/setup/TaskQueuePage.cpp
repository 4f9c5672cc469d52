#include "setup/TaskQueuePage.h"

#include "monitor/Monitor.h"
#include "setup/CribPanel.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/TaskQueueEditor.h"
#include "setup/TaskSubPages.h"
#include "setup/taskpages/EmailTaskPage.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quietmon {

namespace {

QString captionText(TaskKind kind) {
    const std::string_view caption = captionOf(kind);
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

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
    m_editor = new TaskQueueEditor(alarm ? settings.alarmQueue.rows : settings.returnQueue.rows, alarm,
                                   *m_subPages, this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_editor, 1);
    top->addWidget(new CribPanel(placeholdersOf(queue), *m_subPages, this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_subPages, 1);
}

void TaskQueuePage::addSubPages(QueueKind queue) {
    const TaskPageSource source{m_context, queue, [this](const QString& file) { attachToEmail(file); }};
    for (const TaskKind kind : taskKindsOf(queue))
        m_subPages->addPage(captionText(kind), makeTaskPage(kind, source));
    m_email = dynamic_cast<EmailTaskPage*>(m_subPages->page(captionText(TaskKind::SendEmail)));
}

void TaskQueuePage::setSubPagesEnabled(bool enabled) {
    m_subPages->pageArea().setEnabled(enabled);
}

void TaskQueuePage::attachToEmail(const QString& file) {
    BoundFields::putWholeText(&m_email->attachFileField(), file);
    m_subPages->showPage(captionText(TaskKind::SendEmail));
    m_email->attachFileField().setFocus();
}

void TaskQueuePage::showEvent(QShowEvent* event) {
    m_editor->refresh();
    m_editor->showSelectedTask();
    QWidget::showEvent(event);
}

} // namespace quietmon
