#include "setup/BoundFields.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVariant>
#include <algorithm>

namespace quietmon {

namespace {

// Up and Down step a number field's value within its range, as a spin box's arrows would.
class NumberStepKeys final : public QObject {
public:
    NumberStepKeys(QLineEdit* field, BoundFields::NumberRange range)
        : QObject(field), m_field(field), m_range(range) {}

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down)
            return false;
        const int step = key == Qt::Key_Up ? m_range.step : -m_range.step;
        const int value = BoundFields::numberValue(m_field->text(), m_range) + step;
        m_field->setText(QString::number(std::clamp(value, m_range.minimum, m_range.maximum)));
        return true;
    }

private:
    QLineEdit* m_field;
    BoundFields::NumberRange m_range;
};

// QLineEdit's own limit applies to every text set, so a field's typing limit is kept beside it.
const char* const typingLimitProperty = "typingLimit";

} // namespace

QLineEdit* BoundFields::text(QWidget* parent, std::string& value, int maxLength) {
    auto* field = new QLineEdit(parent);
    // QLineEdit's own limit is 32767 characters: "no limit" keeps it.
    if (maxLength > 0) {
        field->setMaxLength(maxLength);
        field->setProperty(typingLimitProperty, maxLength);
        // A whole text longer than the limit may be shortened, not lengthened, by typing.
        QObject::connect(field, &QLineEdit::textEdited, field, [field, maxLength](const QString& text) {
            const int fitting = std::max(maxLength, static_cast<int>(text.size()));
            if (field->maxLength() > fitting) {
                const int cursor = field->cursorPosition();
                field->setMaxLength(fitting);
                field->setCursorPosition(cursor);
            }
        });
    }
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [&value](const QString& text) { value = text.toStdString(); });
    m_refreshers.emplace_back([field, &value] {
        const QSignalBlocker quiet(field);
        putWholeText(field, QString::fromStdString(value));
    });
    m_refreshers.back()();
    return field;
}

void BoundFields::putWholeText(QLineEdit* field, const QString& text) {
    const QVariant typingLimit = field->property(typingLimitProperty);
    if (!typingLimit.isValid()) {
        field->setText(text);
        return;
    }
    // Raised before the text goes in and lowered after, so that neither the old text nor the new is cut.
    const int length = static_cast<int>(text.size());
    field->setMaxLength(std::max(field->maxLength(), length));
    field->setText(text);
    field->setMaxLength(std::max(typingLimit.toInt(), length));
}

QLineEdit* BoundFields::password(QWidget* parent, std::string& value, int maxLength) {
    QLineEdit* field = text(parent, value, maxLength);
    field->setEchoMode(QLineEdit::Password);
    field->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    return field;
}

int BoundFields::numberValue(const QString& text, const NumberRange& range) {
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (!isNumber)
        return range.minimum;
    return std::clamp(number, range.minimum, range.maximum);
}

QString BoundFields::settledNumberText(const QString& text, const NumberRange& range) {
    QString settled = text.trimmed();
    if (settled.isEmpty()) {
        if (range.emptyStaysEmpty)
            return settled;
        settled = QStringLiteral("0");
    }
    return QString::number(numberValue(settled, range));
}

QLineEdit* BoundFields::number(QWidget* parent, int& value, NumberRange range) {
    auto* field = new QLineEdit(parent);
    field->setMaxLength(range.maxCharacters);
    const QString sign = range.minimum < 0 ? QStringLiteral("-?") : QString();
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(sign + QStringLiteral("[0-9]*")), field));
    // As wide as its longest text, with room for the frame.
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QString(range.maxCharacters + 2, u'0')) +
                           8);
    field->installEventFilter(new NumberStepKeys(field, range));
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [&value, range](const QString& text) { value = numberValue(text, range); });
    QObject::connect(field, &QLineEdit::editingFinished, field, [field, range] {
        const QString settled = settledNumberText(field->text(), range);
        if (settled != field->text())
            field->setText(settled);
    });
    m_refreshers.emplace_back([field, &value] {
        const QSignalBlocker quiet(field);
        field->setText(QString::number(value));
    });
    m_refreshers.back()();
    return field;
}

QCheckBox* BoundFields::tick(QWidget* parent, const QString& caption, bool& value) {
    auto* box = new QCheckBox(caption, parent);
    QObject::connect(box, &QCheckBox::toggled, box, [&value](bool checked) { value = checked; });
    m_refreshers.emplace_back([box, &value] {
        const QSignalBlocker quiet(box);
        box->setChecked(value);
    });
    m_refreshers.back()();
    return box;
}

QComboBox* BoundFields::choice(QWidget* parent, int& value, const QStringList& lines) {
    return choiceBox(
        parent, lines, [&value] { return value; }, [&value](int line) { value = line; });
}

QComboBox* BoundFields::choiceBox(QWidget* parent, const QStringList& lines, LineOf current,
                                  ChooseLine choose) {
    auto* box = new QComboBox(parent);
    box->addItems(lines);
    QObject::connect(box, &QComboBox::currentIndexChanged, box, std::move(choose));
    m_refreshers.emplace_back([box, current = std::move(current)] {
        const QSignalBlocker quiet(box);
        const int line = current();
        box->setCurrentIndex(line >= 0 && line < box->count() ? line : -1);
    });
    m_refreshers.back()();
    return box;
}

QTimeEdit* BoundFields::timeOfDay(QWidget* parent, TimeOfDay& value) {
    auto* field = new QTimeEdit(parent);
    field->setDisplayFormat(QStringLiteral("H:mm"));
    QObject::connect(field, &QTimeEdit::timeChanged, field, [&value](QTime time) {
        value = TimeOfDay::fromMilliseconds(time.msecsSinceStartOfDay());
    });
    m_refreshers.emplace_back([field, &value] {
        const QSignalBlocker quiet(field);
        field->setTime(QTime::fromMSecsSinceStartOfDay(value.milliseconds()));
    });
    m_refreshers.back()();
    return field;
}

std::vector<QRadioButton*> BoundFields::radioGroup(QWidget* parent, const QStringList& captions,
                                                   LineOf current, ChooseLine choose) {
    auto* group = new QButtonGroup(parent);
    std::vector<QRadioButton*> buttons;
    for (int line = 0; line < captions.size(); ++line) {
        auto* button = new QRadioButton(captions[line], parent);
        group->addButton(button);
        // A button is unchecked only by checking another, which chooses that one.
        QObject::connect(button, &QRadioButton::toggled, button, [choose, line](bool checked) {
            if (checked)
                choose(line);
        });
        buttons.push_back(button);
    }
    m_refreshers.emplace_back([group, buttons, current = std::move(current)] {
        // An exclusive group cannot show "none": it is lifted while the buttons are set.
        group->setExclusive(false);
        const int chosen = current();
        for (std::size_t line = 0; line < buttons.size(); ++line) {
            const QSignalBlocker quiet(buttons[line]);
            buttons[line]->setChecked(static_cast<int>(line) == chosen);
        }
        group->setExclusive(true);
    });
    m_refreshers.back()();
    return buttons;
}

void BoundFields::refresh() {
    for (const auto& refresher : m_refreshers)
        refresher();
}

} // namespace quietmon
