#include "setup/taskpages/RepeatTaskPage.h"

#include "config/taskkinds/RepeatSettings.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace quietmon {

using namespace task_page_parts;

RepeatTaskPage::RepeatTaskPage(SetupContext& context, int& fromLine, int& maximum, QWidget* parent)
    : QWidget(parent) {
    // An emptied field stays empty here, rather than showing 0, which neither range holds.
    QLineEdit* from = context.fields.number(this, fromLine, {1, 32, 2, true});
    QLineEdit* most = context.fields.number(this, maximum, {1, 999, 4, true});
    fitNumberField(from);
    fitNumberField(most);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Repeat from line"), from);
    form->addRow(QStringLiteral("Maximum number of repeats"), most);
    form->addRow(
        note(QStringLiteral("For proper result the Repeat element can be placed only once. Avoid empty "
                            "lines between tasks."),
             this));
}

template <> QWidget* makeTaskPageOf<TaskKind::Repeat>(const TaskPageSource& source) {
    RepeatSettings& repeat = source.queueSettings().of<TaskKind::Repeat>();
    return new RepeatTaskPage(source.context, repeat.fromLine, repeat.maximum);
}

} // namespace quietmon
