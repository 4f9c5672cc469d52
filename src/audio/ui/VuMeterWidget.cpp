#include "audio/ui/VuMeterWidget.h"

#include <QPaintEvent>
#include <QPainter>

namespace quietmon {

namespace {

QColor toQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

VuMeterWidget::VuMeterWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(32, 152);
}

void VuMeterWidget::setColours(std::uint32_t high, std::uint32_t med, std::uint32_t low) {
    m_table.setColourHigh(high);
    m_table.setColourMed(med);
    m_table.setColourLow(low);
    redrawAll();
}

void VuMeterWidget::setBackgroundColour(std::uint32_t colour) {
    m_background = colour;
    redrawAll();
}

bool VuMeterWidget::drawingVisible() const {
    return isVisible() && !window()->isMinimized();
}

void VuMeterWidget::redrawAll() {
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
        for (int position = 0; position <= m_table.topPosition(); ++position)
            drawSegment(column, position, false);
    }
    update();
}

void VuMeterWidget::drawSegment(int column, int position, bool lit) {
    const VuMeterTable::Segment& segment = m_table.segments()[static_cast<std::size_t>(position)];
    const auto [first, last] = m_table.columnSpan(column);
    const int y = m_table.lineY(position);
    QPainter painter(&m_image);
    painter.fillRect(QRect(first, y, last - first + 1, m_table.penWidth()),
                     toQColor(lit ? segment.colour : segment.unlit));
}

void VuMeterWidget::showLevels(double left, double right) {
    m_lastLeft = left;
    m_lastRight = right;
    if (m_stale || !drawingVisible()) {
        m_stale = true; // nobody sees the meter: it catches up when shown
        return;
    }
    drawChanges(m_table.showLevels(left, right));
}

void VuMeterWidget::drawChanges(const std::vector<VuMeterTable::Change>& changes) {
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

void VuMeterWidget::catchUp() {
    redrawAll();
    if (!m_stale)
        drawChanges(m_table.showLevels(m_lastLeft, m_lastRight));
}

void VuMeterWidget::paintEvent(QPaintEvent* event) {
    if (m_stale)
        catchUp();
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
}

void VuMeterWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_table.setSize(width(), height());
    redrawAll();
}

void VuMeterWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale)
        catchUp();
}

} // namespace quietmon
