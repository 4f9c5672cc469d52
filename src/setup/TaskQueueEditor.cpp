#include "setup/TaskQueueEditor.h"

#include "setup/GridColumnDragger.h"
#include "setup/TaskSubPages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace quietmon {

namespace {

// Rows shown at once; the rest scroll.
constexpr int visibleRows = 5;

} // namespace

TaskQueueEditor::TaskQueueEditor(std::span<std::string> rows, bool numbered, TaskSubPages& subPages,
                                 QWidget* parent)
    : QGroupBox(QStringLiteral("Task queue"), parent), m_rows(rows), m_subPages(subPages) {
    buildGrid(numbered);

    auto* buttons = new QVBoxLayout;
    const std::pair<const char*, void (TaskQueueEditor::*)()> operations[] = {
        {"Up", &TaskQueueEditor::moveUp},
        {"Down", &TaskQueueEditor::moveDown},
        {"Delete", &TaskQueueEditor::remove},
        {"Add", &TaskQueueEditor::add}};
    for (const auto& entry : operations) {
        auto* button = new QPushButton(QString::fromLatin1(entry.first), this);
        connect(button, &QPushButton::clicked, this,
                [this, operation = entry.second] { (this->*operation)(); });
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);

    refresh();
    selectRow(0);
}

void TaskQueueEditor::buildGrid(bool numbered) {
    m_grid = new QTableWidget(static_cast<int>(m_rows.size()), numbered ? 2 : 1, this);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int rowHeight = m_grid->fontMetrics().height() + 4;
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_grid->setFixedHeight(rowHeight * visibleRows + 2 * m_grid->frameWidth());
    new GridColumnDragger(*m_grid);

    if (numbered) {
        m_grid->setColumnWidth(0, m_grid->fontMetrics().horizontalAdvance(QStringLiteral("888")) + 8);
        for (int row = 0; row <= lastRow(); ++row) {
            auto* number = new QTableWidgetItem(QString::number(row + 1));
            number->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            number->setTextAlignment(Qt::AlignCenter);
            number->setBackground(m_grid->palette().button());
            m_grid->setItem(row, 0, number);
        }
    }
    for (int row = 0; row <= lastRow(); ++row) {
        auto* task = new QTableWidgetItem;
        task->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_grid->setItem(row, taskColumn(), task);
    }

    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (row != previousRow && row >= 0)
            showSelectedTask();
    });
    // A Ctrl+click can take the selection away; there is always one selected row.
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_grid->selectionModel()->hasSelection())
            selectRow(selectedRow());
    });
    m_grid->installEventFilter(this);
}

void TaskQueueEditor::refresh() {
    for (int row = 0; row <= lastRow(); ++row)
        m_grid->item(row, taskColumn())->setText(QString::fromStdString(m_rows[row]));
}

int TaskQueueEditor::selectedRow() const {
    return std::max(0, m_grid->currentRow());
}

void TaskQueueEditor::selectRow(int row) {
    m_grid->setCurrentCell(row, taskColumn());
}

int TaskQueueEditor::taskColumn() const {
    return m_grid->columnCount() - 1;
}

void TaskQueueEditor::showSelectedTask() {
    // A row that names no sub-page (an empty one) leaves the sub-page shown.
    m_subPages.showPage(QString::fromStdString(m_rows[selectedRow()]));
}

void TaskQueueEditor::add() {
    const int row = selectedRow();
    const QString task = m_subPages.shownCaption();
    // A filled row makes room: the rows below move down and the last one's task is lost.
    if (!m_rows[row].empty())
        std::move_backward(m_rows.begin() + row, m_rows.end() - 1, m_rows.end());
    m_rows[row] = task.toStdString();
    refresh();
    if (row < lastRow()) {
        selectRow(row + 1);
        m_subPages.showPage(task); // the next row's task must not take the page away
    }
}

void TaskQueueEditor::remove() {
    const int row = selectedRow();
    if (m_rows[row].empty())
        return;
    std::move(m_rows.begin() + row + 1, m_rows.end(), m_rows.begin() + row);
    m_rows.back().clear();
    refresh();
}

void TaskQueueEditor::moveUp() {
    const int row = selectedRow();
    if (row == 0)
        return;
    std::swap(m_rows[row], m_rows[row - 1]);
    refresh();
    selectRow(row - 1);
}

void TaskQueueEditor::moveDown() {
    const int row = selectedRow();
    if (row == lastRow())
        return;
    std::swap(m_rows[row], m_rows[row + 1]);
    refresh();
    selectRow(row + 1);
}

void TaskQueueEditor::empty() {
    m_rows[selectedRow()].clear();
    refresh();
}

bool TaskQueueEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            empty();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace quietmon
