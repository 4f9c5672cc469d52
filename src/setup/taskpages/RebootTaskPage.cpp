#include "setup/taskpages/RebootTaskPage.h"

#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace quietmon {

RebootTaskPage::RebootTaskPage(SetupContext& context, RebootSettings& settings, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* choice : context.fields.radioButtons(
             this, settings.kind, {QStringLiteral("Reboot"), QStringLiteral("Shutdown")}))
        layout->addWidget(choice);
    layout->addStretch();
}

template <> QWidget* makeTaskPageOf<TaskKind::RebootSystem>(const TaskPageSource& source) {
    return new RebootTaskPage(source.context, source.queueSettings().of<TaskKind::RebootSystem>());
}

} // namespace quietmon
