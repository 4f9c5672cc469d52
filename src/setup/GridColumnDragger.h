#pragma once

#include <QObject>

class QTableView;
class QWidget;

namespace quietmon {

// Lets the operator change the widths of a table's columns by dragging the lines between them, for
// tables that show no header to drag. The last column fills what is left and has no line to drag.
class GridColumnDragger final : public QObject {
public:
    explicit GridColumnDragger(QTableView& table);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The column whose right-hand line is under `x`, -1 for none.
    int columnEndingAt(int x) const;

    QTableView& m_table;
    QWidget* m_viewport;
    int m_dragged = -1;
};

} // namespace quietmon
