#include "audio/ui/LevelValueLabel.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

// The level labels keep their text layouts; what they draw must be what a QLabel draws, for every level
// the meter can show, in the normal and the silent colour, in the default and a larger font.
QImage drawn(QLabel& label, const QString& text, const QColor& colour, const QFont& font) {
    label.setText(text);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colour);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    label.setGeometry(0, 0, 40, 17);
    return label.grab().toImage();
}

TEST(LevelValueLabel, DrawsEveryLevelAsAQLabelDoes) {
    LevelValueLabel levelLabel(QStringLiteral("0 dB"), nullptr);
    QLabel plainLabel;
    QFont larger = QApplication::font();
    larger.setPointSize(larger.pointSize() + 3);
    for (const QFont& font : {QApplication::font(), larger}) {
        for (const QColor& colour : {QApplication::palette().color(QPalette::WindowText), QColor(Qt::red)}) {
            for (int db = -96; db <= 0; ++db) {
                const QString text = QString::number(db) + QStringLiteral(" dB");
                ASSERT_EQ(drawn(levelLabel, text, colour, font), drawn(plainLabel, text, colour, font))
                    << text.toStdString() << " in " << font.toString().toStdString();
            }
        }
    }
}

TEST(LevelValueLabel, ADisabledLabelDrawsAsAQLabelDoes) {
    LevelValueLabel levelLabel(QStringLiteral("0 dB"), nullptr);
    QLabel plainLabel;
    levelLabel.setEnabled(false);
    plainLabel.setEnabled(false);
    const QColor colour = QApplication::palette().color(QPalette::WindowText);
    EXPECT_EQ(drawn(levelLabel, QStringLiteral("-42 dB"), colour, QApplication::font()),
              drawn(plainLabel, QStringLiteral("-42 dB"), colour, QApplication::font()));
}

} // namespace
} // namespace quietmon
