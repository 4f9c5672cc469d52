#pragma once

#include "runtime/DateTime.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
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
    // A named choice listed in the order of its enum; no line is selected while nothing is chosen.
    template <typename Choice>
    QComboBox* choice(QWidget* parent, std::optional<Choice>& value, const QStringList& lines) {
        return choiceBox(parent, lines, lineOf(value), chooseLine(value));
    }
    // Shown as "H:mm"; the seconds and milliseconds a stored time carries are kept.
    QTimeEdit* timeOfDay(QWidget* parent, TimeOfDay& value);

    void refresh();

    // What a number field's text stands for, and what it shows once the focus has left it.
    static int numberValue(const QString& text, const NumberRange& range);
    static QString settledNumberText(const QString& text, const NumberRange& range);

    // A named choice as radio buttons, one per caption in the order of its enum; none is checked while
    // nothing is chosen.
    template <typename Choice>
    std::vector<QRadioButton*> radioButtons(QWidget* parent, std::optional<Choice>& value,
                                            const QStringList& captions) {
        return radioGroup(parent, captions, lineOf(value), chooseLine(value));
    }

private:
    using LineOf = std::function<int()>;
    using ChooseLine = std::function<void(int)>;

    template <typename Choice> static LineOf lineOf(std::optional<Choice>& value) {
        return [&value] { return value ? static_cast<int>(*value) : -1; };
    }
    template <typename Choice> static ChooseLine chooseLine(std::optional<Choice>& value) {
        return [&value](int line) {
            value = line < 0 ? std::nullopt : std::optional(static_cast<Choice>(line));
        };
    }
    QComboBox* choiceBox(QWidget* parent, const QStringList& lines, LineOf current, ChooseLine choose);
    std::vector<QRadioButton*> radioGroup(QWidget* parent, const QStringList& captions, LineOf current,
                                          ChooseLine choose);

    std::vector<std::function<void()>> m_refreshers;
};

// Names a field after the settings key it edits, "Section/Key", so that it can be found by what it edits.
template <typename Field> Field* forKey(Field* field, const char* key) {
    field->setObjectName(QString::fromLatin1(key));
    return field;
}

} // namespace quietmon
