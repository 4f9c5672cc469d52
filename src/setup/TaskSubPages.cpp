#include "setup/TaskSubPages.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quietmon {

TaskSubPages::TaskSubPages(QWidget* parent) : QWidget(parent) {
    m_captions = new QListWidget(this);
    m_captions->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    m_captions->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    // The page shown stands under its caption.
    auto* frame = new QGroupBox(this);
    m_pages = new QStackedWidget(frame);
    auto* framed = new QVBoxLayout(frame);
    framed->setContentsMargins(0, 0, 0, 0);
    framed->addWidget(m_pages);
    connect(m_captions, &QListWidget::currentRowChanged, m_pages, &QStackedWidget::setCurrentIndex);
    connect(m_pages, &QStackedWidget::currentChanged, frame,
            [this, frame] { frame->setTitle(shownCaption()); });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_captions);
    layout->addWidget(frame, 1);
}

void TaskSubPages::addPage(const QString& caption, QWidget* page) {
    page->setWindowTitle(caption);
    m_pages->addWidget(page);
    m_captions->addItem(caption);
    if (m_captions->currentRow() < 0)
        m_captions->setCurrentRow(0);
}

QString TaskSubPages::shownCaption() const {
    const QWidget* shown = m_pages->currentWidget();
    return shown ? shown->windowTitle() : QString();
}

bool TaskSubPages::showPage(const QString& caption) {
    const int index = indexOf(caption);
    if (index < 0)
        return false;
    m_captions->setCurrentRow(index);
    return true;
}

QWidget* TaskSubPages::page(const QString& caption) const {
    const int index = indexOf(caption);
    return index < 0 ? nullptr : m_pages->widget(index);
}

QWidget& TaskSubPages::pageArea() {
    return *m_pages;
}

int TaskSubPages::indexOf(const QString& caption) const {
    for (int index = 0; index < m_pages->count(); ++index) {
        if (m_pages->widget(index)->windowTitle() == caption)
            return index;
    }
    return -1;
}

} // namespace quietmon
