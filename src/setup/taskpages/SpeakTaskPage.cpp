#include "setup/taskpages/SpeakTaskPage.h"

#include "setup/SetupContext.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace quietmon {

SpeakTaskPage::SpeakTaskPage(SetupContext& context, std::string& text, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Text to speak"), context.fields.text(this, text, 1023));
    form->addRow(task_page_parts::note(
        QStringLiteral("Note: Speaks through the espeak-ng speech engine; where it is not installed, the "
                       "task says nothing."),
        this));
}

} // namespace quietmon
