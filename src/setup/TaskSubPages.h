#pragma once

#include <QWidget>

class QListWidget;
class QStackedWidget;

namespace quietmon {

// The settings pages of one queue's task kinds, each under the caption that is its task name, with a
// list beside them to choose the page shown. The page shown is the task that "Add" puts into the queue.
class TaskSubPages final : public QWidget {
public:
    explicit TaskSubPages(QWidget* parent = nullptr);

    void addPage(const QString& caption, QWidget* page);
    QString shownCaption() const;
    // Shows the page whose caption is exactly `caption` (letter case counts); any other text leaves the
    // page shown as it is. Returns whether a page matched.
    bool showPage(const QString& caption);
    QWidget* page(const QString& caption) const;
    // The pages themselves, without the list that chooses them.
    QWidget& pageArea();

private:
    int indexOf(const QString& caption) const;

    QListWidget* m_captions = nullptr;
    QStackedWidget* m_pages = nullptr;
};

} // namespace quietmon
