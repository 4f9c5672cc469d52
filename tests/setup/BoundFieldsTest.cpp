#include "setup/BoundFields.h"

#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Range = BoundFields::NumberRange;

const Range silence{1, 3600, 4};
const Range returnSeconds{0, 3600, 4};
const Range minThreshold{-96, -6, 3};
const Range delay{1, 3600, 4};
const Range repeatFromLine{1, 32, 2, true};

TEST(NumberFields, SettleAsTheFocusLeaves) {
    struct Case {
        Range range;
        const char* typed;
        const char* shown;
        int value; // what the settings hold once the field has settled
    };
    for (const Case& c : {Case{returnSeconds, "", "0", 0}, Case{silence, "", "1", 1},
                          Case{minThreshold, "", "-6", -6}, Case{delay, "5000", "3600", 3600},
                          Case{minThreshold, "-120", "-96", -96}, Case{silence, "0042", "42", 42},
                          Case{repeatFromLine, "", "", 1}, Case{repeatFromLine, "40", "32", 32}}) {
        SCOPED_TRACE(c.typed);
        const QString settled = BoundFields::settledNumberText(QString::fromLatin1(c.typed), c.range);
        EXPECT_EQ(settled.toStdString(), c.shown);
        EXPECT_EQ(BoundFields::numberValue(settled, c.range), c.value);
    }
}

TEST(NumberFields, ATypedNumberReachesTheSettingAtOnceAndTheFieldSettlesWhenLeft) {
    BoundFields fields;
    int value = 300;
    QWidget parent;
    QLineEdit* field = fields.number(&parent, value, delay);
    EXPECT_EQ(field->text(), "300");
    field->setText("5000");
    EXPECT_EQ(value, 3600); // a running task reads the field's value as it stands
    Q_EMIT field->editingFinished();
    EXPECT_EQ(field->text(), "3600");
    value = 7; // changed by the program itself
    fields.refresh();
    EXPECT_EQ(field->text(), "7");
}

TEST(NumberFields, UpAndDownStepTheValueWithinTheRange) {
    const Range peakHoldTime{.minimum = 100, .maximum = 10000, .maxCharacters = 5, .step = 100};
    struct Case {
        int stored;
        Qt::Key key;
        int value;
    };
    for (const Case& c : {Case{100, Qt::Key_Up, 200}, Case{100, Qt::Key_Down, 100},
                          Case{9950, Qt::Key_Up, 10000}, Case{4321, Qt::Key_Down, 4221}}) {
        SCOPED_TRACE(c.stored);
        BoundFields fields;
        int value = c.stored;
        QWidget parent;
        QLineEdit* field = fields.number(&parent, value, peakHoldTime);
        QTest::keyClick(field, c.key);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(field->text().toInt(), c.value);
    }
}

TEST(TextFields, PastedTextIsCutToTheLimit) {
    BoundFields fields;
    std::string value;
    QWidget parent;
    QLineEdit* field = fields.text(&parent, value, 31);
    field->insert(QString(40, QLatin1Char('x')));
    EXPECT_EQ(value, std::string(31, 'x'));
}

// A path chosen in a file dialog, or a value stored that long, was not typed: it goes in whole.
TEST(TextFields, TheLimitHoldsForTypingOnlySoAWholeTextMayBeShortenedButNotLengthened) {
    BoundFields fields;
    std::string value(300, 's');
    QWidget parent;
    QLineEdit* field = fields.text(&parent, value, 255);
    EXPECT_EQ(field->text().size(), 300);

    const QString chosen = QStringLiteral("/srv/shots/") + QString(290, QLatin1Char('c'));
    BoundFields::putWholeText(field, chosen);
    EXPECT_EQ(value, chosen.toStdString());
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_EQ(value, chosen.toStdString());
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_EQ(value, chosen.chopped(1).toStdString());

    field->selectAll();
    QTest::keyClicks(field, QString(300, QLatin1Char('t')));
    EXPECT_EQ(value, std::string(255, 't'));
}

TEST(TimeFields, ShowHoursAndMinutesAndKeepTheStoredSecondsWhenChanged) {
    BoundFields fields;
    TimeOfDay value = TimeOfDay::fromParts(23, 59, 59);
    QWidget parent;
    QTimeEdit* field = fields.timeOfDay(&parent, value);
    EXPECT_EQ(field->text(), "23:59");
    QTest::keyClick(field, Qt::Key_Down); // the hour
    EXPECT_EQ(value.format(), "22:59:59");
    value = TimeOfDay::fromParts(7, 5);
    fields.refresh();
    EXPECT_EQ(field->text(), "7:05");
}

} // namespace
} // namespace quietmon
