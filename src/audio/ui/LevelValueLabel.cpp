#include "audio/ui/LevelValueLabel.h"

#include <QEvent>
#include <QPainter>

namespace quietmon {

LevelValueLabel::LevelValueLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

bool LevelValueLabel::drawsLikeQLabel() const {
    return isEnabled() && textFormat() != Qt::RichText && !wordWrap() && margin() == 0 && indent() <= 0 &&
           alignment() == (Qt::AlignLeft | Qt::AlignVCenter) && layoutDirection() == Qt::LeftToRight &&
           frameWidth() == 0 && !text().isEmpty() && !text().contains(QLatin1Char('&'));
}

void LevelValueLabel::paintEvent(QPaintEvent* event) {
    if (!drawsLikeQLabel()) {
        QLabel::paintEvent(event);
        return;
    }
    auto layout = m_layouts.find(text());
    if (layout == m_layouts.end()) {
        QStaticText laidOut(text());
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font());
        layout = m_layouts.insert(text(), laidOut);
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    // Vertically centred as QLabel centres its text.
    const QRect area = contentsRect();
    painter.drawStaticText(QPointF(area.x(), area.y() + (area.height() - layout->size().height()) / 2),
                           *layout);
}

void LevelValueLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        m_layouts.clear();
    QLabel::changeEvent(event);
}

} // namespace quietmon
