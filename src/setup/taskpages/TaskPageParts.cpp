#include "setup/taskpages/TaskPageParts.h"

#include "monitor/Monitor.h"
#include "runtime/FileSystem.h"
#include "setup/FileDialogs.h"
#include "setup/SetupContext.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace quietmon::task_page_parts {

void onClick(SetupContext& context, QAbstractButton* button, std::function<void()> action) {
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [&context, action = std::move(action)] { context.monitor.loop().runGuarded(action); });
}

void returnToProgramFolder(SetupContext& context) {
    changeCurrentFolder(context.monitor.folders().programFolder);
}

QPushButton* browseButton(SetupContext& context, QLineEdit* field, QWidget* parent) {
    QPushButton* button = smallButton(QStringLiteral("..."), parent);
    onClick(context, button, [&context, field] {
        try {
            if (const std::optional<std::string> chosen = context.files.chooseFileToOpen())
                BoundFields::putWholeText(field, QString::fromStdString(*chosen));
        } catch (...) {
            // A dialog that failed chose nothing.
        }
        returnToProgramFolder(context);
    });
    return button;
}

QPushButton* smallButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    const int textWidth = button->fontMetrics().horizontalAdvance(caption);
    button->setMaximumWidth(std::max(textWidth + 16, button->sizeHint().height()));
    return button;
}

void addRow(QFormLayout* form, const QString& caption, QWidget* field,
            std::initializer_list<QWidget*> beside) {
    auto* label = new QLabel(caption, form->parentWidget());
    label->setBuddy(field);
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    for (QWidget* widget : beside)
        row->addWidget(widget);
    form->addRow(label, row);
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

void fitNumberField(QLineEdit* field) {
    const int digits = std::min(field->maxLength(), 5);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QString(digits + 1, QLatin1Char('0'))) +
                           12);
}

} // namespace quietmon::task_page_parts
