#include "setup/taskpages/SpeakTaskPage.h"

#include "config/taskkinds/SpeakSettings.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace quietmon {

SpeakTaskPage::SpeakTaskPage(SetupContext& context, std::string& text, QWidget* parent) : QWidget(parent) {
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Text to speak"), context.fields.text(this, text, 1023));
    form->addRow(task_page_parts::note(
        QStringLiteral("Note: Spoken by espeak-ng in the system's language, through the sound server"),
        this));
}

template <> QWidget* makeTaskPageOf<TaskKind::Speak>(const TaskPageSource& source) {
    return new SpeakTaskPage(source.context, source.queueSettings().of<TaskKind::Speak>().text);
}

} // namespace quietmon
