#pragma once

#include <QGroupBox>
#include <span>
#include <string>

class QPushButton;
class QTableWidget;

namespace quietmon {

class TaskSubPages;

// The editor of one task queue (group "Task queue"): a fixed number of rows, each empty or holding one
// task name, with "Up", "Down", "Delete" and "Add". The rows are the queue in the live settings: every
// change writes them at once. The operator cannot type into the rows; a row changes only through the
// buttons and the Delete key, which empties it. Selecting a row shows the sub-page of its task; "Add"
// puts the task of the sub-page shown into the selected row.
class TaskQueueEditor final : public QGroupBox {
public:
    // `numbered`: a narrow column of row numbers, 1 to N, before the tasks.
    TaskQueueEditor(std::span<std::string> rows, bool numbered, TaskSubPages& subPages,
                    QWidget* parent = nullptr);

    // Shows the rows as the settings hold them.
    void refresh();
    // Shows the sub-page of the selected row's task, if it names one.
    void showSelectedTask();
    // The selected row, counted from 0; there is always one.
    int selectedRow() const;
    void selectRow(int row);

    QTableWidget& grid() { return *m_grid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGrid(bool numbered);
    // The operations on the selected row.
    void add();
    void remove();
    void moveUp();
    void moveDown();
    void empty();
    int taskColumn() const;
    int lastRow() const { return static_cast<int>(m_rows.size()) - 1; }

    std::span<std::string> m_rows;
    TaskSubPages& m_subPages;
    QTableWidget* m_grid = nullptr;
};

} // namespace quietmon
