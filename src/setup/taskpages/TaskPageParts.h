#pragma once

#include <QString>
#include <functional>
#include <initializer_list>

class QAbstractButton;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quietmon {

struct SetupContext;

// Pieces the task sub-pages share.
namespace task_page_parts {

// Runs the action of a button inside the logic loop's error guard: whatever escapes it is logged, and
// the dialog goes on.
void onClick(SetupContext& context, QAbstractButton* button, std::function<void()> action);

// A file dialog may have changed the current folder; the program folder becomes it again. A failure
// is dropped: the tasks set their own folder before they open anything.
void returnToProgramFolder(SetupContext& context);

// A "..." button for `field`: the open-file dialog, and the path of the file chosen into the field.
QPushButton* browseButton(SetupContext& context, QLineEdit* field, QWidget* parent);

// A button as narrow as its caption allows.
QPushButton* smallButton(const QString& caption, QWidget* parent);

// A row of `form`: the caption, whose buddy is `field`, then the field and the widgets beside it.
void addRow(QFormLayout* form, const QString& caption, QWidget* field,
            std::initializer_list<QWidget*> beside = {});

// A fixed text that wraps.
QLabel* note(const QString& text, QWidget* parent);

// A number field's width: as wide as its longest text.
void fitNumberField(QLineEdit* field);

} // namespace task_page_parts
} // namespace quietmon
