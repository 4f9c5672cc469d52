#include "audio/ui/TFBVUMeter.h"

#include <QPaintEvent>
#include <QPainter>

namespace quietmon {

namespace {

QColor toQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

TFBVUMeter::TFBVUMeter(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(32, 152);
}

void TFBVUMeter::setColours(std::uint32_t high, std::uint32_t med, std::uint32_t low) {
    m_table.setColourHigh(high);
    m_table.setColourMed(med);
    m_table.setColourLow(low);
    redrawAll();
}

void TFBVUMeter::setBackgroundColour(std::uint32_t colour) {
    m_background = colour;
    redrawAll();
}

bool TFBVUMeter::drawingVisible() const {
    return isVisible() && !window()->isMinimized();
}

void TFBVUMeter::redrawAll() {
    m_table.resetLit();
    if (!drawingVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    if (m_image.size() != size())
        m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(toQColor(m_background));
    for (int column = 0; column < m_table.columns(); ++column) {
        for (int position = 0; position <= m_table.N(); ++position)
            drawSegment(column, position, false);
    }
    update();
}

void TFBVUMeter::drawSegment(int column, int position, bool lit) {
    const VuMeterTable::Segment& segment = m_table.segments()[static_cast<std::size_t>(position)];
    const auto [first, last] = m_table.columnSpan(column);
    const int y = m_table.lineY(position);
    QPainter painter(&m_image);
    painter.fillRect(QRect(first, y, last - first + 1, m_table.penWidth()),
                     toQColor(lit ? segment.colour : segment.unlit));
}

void TFBVUMeter::ShowLevels(double left, double right) {
    m_lastLeft = left;
    m_lastRight = right;
    if (m_stale || !drawingVisible()) {
        m_stale = true; // nobody sees the meter: it catches up when shown
        return;
    }
    drawChanges(m_table.ShowLevels(left, right));
}

void TFBVUMeter::drawChanges(const std::vector<VuMeterTable::Change>& changes) {
    if (changes.empty())
        return;
    QRegion dirty;
    for (const auto& change : changes) {
        drawSegment(change.column, change.position, change.lit);
        const auto [first, last] = m_table.columnSpan(change.column);
        dirty += QRect(first, m_table.lineY(change.position), last - first + 1, m_table.penWidth());
    }
    update(dirty);
}

void TFBVUMeter::catchUp() {
    redrawAll();
    if (!m_stale)
        drawChanges(m_table.ShowLevels(m_lastLeft, m_lastRight));
}

void TFBVUMeter::paintEvent(QPaintEvent* event) {
    if (m_stale)
        catchUp();
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
}

void TFBVUMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_table.setSize(width(), height());
    redrawAll();
}

void TFBVUMeter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale)
        catchUp();
}

} // namespace quietmon
