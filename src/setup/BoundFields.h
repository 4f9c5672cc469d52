#pragma once

#include "runtime/DateTime.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTimeEdit;
class QRadioButton;
class QWidget;

namespace quietmon {

// The Setup dialog's widgets, each bound to one value of the live settings: an edit changes the value at
// once, so the next task that runs sees it, and refresh() shows the values again (the dialog does that
// each time it is shown, since the program changes some of them itself).
class BoundFields {
public:
    // The number-field rule: when the focus leaves a field, an empty text becomes "0" (unless
    // `emptyStaysEmpty`) and a value outside the range the nearest bound. While typing, a text that is
    // not a number reads as the minimum.
    struct NumberRange {
        int minimum;
        int maximum;
        int maxCharacters;
        bool emptyStaysEmpty = false;
        // The Up and Down keys move the value by this much, as a spin box's arrows would.
        int step = 1;
    };

    // `maxLength` 0: no limit. The limit is for typing: pasted text beyond it is cut to it, but a text
    // the program puts in (a stored value, see also putWholeText) goes in whole.
    QLineEdit* text(QWidget* parent, std::string& value, int maxLength);
    // Puts a text into a field whole, however long: a path chosen in a file dialog was not typed. A field
    // that holds more than its limit takes no more typing until it is back within it.
    static void putWholeText(QLineEdit* field, const QString& text);
    // Shown as "*".
    QLineEdit* password(QWidget* parent, std::string& value, int maxLength);
    QLineEdit* number(QWidget* parent, int& value, NumberRange range);
    QCheckBox* tick(QWidget* parent, const QString& caption, bool& value);
    // A list choice: the value is the selected line, -1 for none.
    QComboBox* choice(QWidget* parent, int& value, const QStringList& lines);
    // Shown as "H:mm"; the seconds and milliseconds a stored time carries are kept.
    QTimeEdit* timeOfDay(QWidget* parent, TimeOfDay& value);

    void refresh();

    // What a number field's text stands for, and what it shows once the focus has left it.
    static int numberValue(const QString& text, const NumberRange& range);
    static QString settledNumberText(const QString& text, const NumberRange& range);

    // Exclusive choices stored as one flag each: choosing one sets its flag and clears the others'. A
    // file may hold any mix of flags; the buttons show the first one set, or none.
    struct Option {
        QString caption;
        bool& value;
    };
    std::vector<QRadioButton*> exclusive(QWidget* parent, const std::vector<Option>& options);

private:
    std::vector<std::function<void()>> m_refreshers;
};

// Names a field after the settings key it edits, "Section/Key", so that it can be found by what it edits.
template <typename Field> Field* forKey(Field* field, const char* key) {
    field->setObjectName(QString::fromLatin1(key));
    return field;
}

} // namespace quietmon
