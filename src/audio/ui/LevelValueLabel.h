#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>

namespace quietmon {

// A label for a level that changes at every buffer ("-12 dB"). QLabel lays its text out again at every
// paint, which costs more than the rest of the repaint; a level has only a few texts, and each keeps its
// layout. It draws as QLabel does; anything but an enabled, plain, left-aligned text is left to QLabel.
class LevelValueLabel final : public QLabel {
public:
    LevelValueLabel(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool drawsLikeQLabel() const;

    QHash<QString, QStaticText> m_layouts; // by text, for the current font
};

} // namespace quietmon
