#include "setup/taskpages/DelayTaskPage.h"

#include "config/taskkinds/DelaySettings.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quietmon {

DelayTaskPage::DelayTaskPage(SetupContext& context, int& seconds, int maximumSeconds, QWidget* parent)
    : QWidget(parent) {
    QLineEdit* field = context.fields.number(this, seconds, {1, maximumSeconds, 4});
    task_page_parts::fitNumberField(field);
    auto* caption = new QLabel(QStringLiteral("seconds"), this);
    caption->setBuddy(field);
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(caption);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch();
}

template <> QWidget* makeTaskPageOf<TaskKind::Delay>(const TaskPageSource& source) {
    return new DelayTaskPage(source.context, source.queueSettings().of<TaskKind::Delay>().seconds,
                             source.queue == QueueKind::Alarm ? DelaySettings::longestAlarmSeconds
                                                              : DelaySettings::longestReturnSeconds);
}

} // namespace quietmon
