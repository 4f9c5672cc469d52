#include "setup/taskpages/OpenPlayTaskPage.h"

#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace quietmon {

using namespace task_page_parts;

OpenPlayTaskPage::OpenPlayTaskPage(SetupContext& context, OpenSettings& settings, int fileMaxLength,
                                   QWidget* parent)
    : QWidget(parent) {
    BoundFields& fields = context.fields;
    auto* form = new QFormLayout(this);
    for (std::size_t line = 0; line < settings.files.size(); ++line) {
        QLineEdit* file = fields.text(this, settings.files[line], fileMaxLength);
        QLineEdit* parameters = fields.text(this, settings.params[line], 255);
        QPushButton* clear = smallButton(QStringLiteral("Clear"), this);
        onClick(context, clear, [file, parameters] {
            file->clear();
            parameters->clear();
        });
        addRow(form, QStringLiteral("File %1:").arg(line + 1), file,
               {browseButton(context, file, this), clear});
        form->addRow(QStringLiteral("Parameters:"), parameters);
    }
}

namespace {
// The "Open/Play 1" files keep the old limit; the others take paths of any length.
constexpr int openPlay1FileMaxLength = 255;
} // namespace

template <> QWidget* makeTaskPageOf<TaskKind::OpenPlay1>(const TaskPageSource& source) {
    return new OpenPlayTaskPage(source.context, source.queueSettings().of<TaskKind::OpenPlay1>(),
                                openPlay1FileMaxLength);
}

template <> QWidget* makeTaskPageOf<TaskKind::OpenPlay2>(const TaskPageSource& source) {
    return new OpenPlayTaskPage(source.context, source.queueSettings().of<TaskKind::OpenPlay2>(), 0);
}

template <> QWidget* makeTaskPageOf<TaskKind::OpenPlay>(const TaskPageSource& source) {
    return new OpenPlayTaskPage(source.context, source.queueSettings().of<TaskKind::OpenPlay>(), 0);
}

} // namespace quietmon
