#include "setup/GridColumnDragger.h"

#include <QMouseEvent>
#include <QTableView>
#include <algorithm>
#include <cstdlib>

namespace quietmon {

namespace {

// How far from a line the pointer may be and still take it, and the narrowest a column may become.
constexpr int grabDistance = 3;
constexpr int narrowestColumn = 8;

} // namespace

GridColumnDragger::GridColumnDragger(QTableView& table)
    : QObject(&table), m_table(table), m_viewport(table.viewport()) {
    m_viewport->setMouseTracking(true);
    m_viewport->installEventFilter(this);
}

int GridColumnDragger::columnEndingAt(int x) const {
    const int columns = m_table.model() ? m_table.model()->columnCount() : 0;
    for (int column = 0; column + 1 < columns; ++column) {
        const int line = m_table.columnViewportPosition(column) + m_table.columnWidth(column);
        if (std::abs(x - line) <= grabDistance)
            return column;
    }
    return -1;
}

bool GridColumnDragger::eventFilter(QObject* watched, QEvent* event) {
    // The table may be half destroyed when its viewport's last events come: only the pointer is used.
    if (watched != m_viewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_dragged = columnEndingAt(mouse->position().toPoint().x());
        return m_dragged >= 0; // a press on a line does not select the row under it
    }
    case QEvent::MouseMove: {
        const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
        if (m_dragged >= 0) {
            m_table.setColumnWidth(m_dragged,
                                   std::max(narrowestColumn, x - m_table.columnViewportPosition(m_dragged)));
            return true;
        }
        if (columnEndingAt(x) >= 0)
            m_viewport->setCursor(Qt::SplitHCursor);
        else
            m_viewport->unsetCursor();
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (m_dragged < 0)
            return false;
        m_dragged = -1;
        return true;
    case QEvent::Leave:
        if (m_dragged < 0)
            m_viewport->unsetCursor();
        return false;
    default:
        return false;
    }
}

} // namespace quietmon
