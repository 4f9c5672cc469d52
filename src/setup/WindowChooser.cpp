#include "setup/WindowChooser.h"

#include "platform/DesktopWindows.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quietmon {

namespace {

// The first `count` characters of a UTF-8 text; a multi-byte character is kept whole or left out whole.
std::string firstCharacters(const std::string& utf8, int count) {
    int characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == count)
            return utf8.substr(0, i);
    }
    return utf8;
}

QString cellText(const std::string& utf8) {
    return QString::fromStdString(firstCharacters(utf8, WindowChooser::maxTextCharacters));
}

} // namespace

WindowChooser::WindowChooser(DesktopWindows& windows, QWidget* parent)
    : QDialog(parent), m_windows(windows), m_list(new QTreeWidget(this)),
      m_refresh(new QPushButton(QStringLiteral("Refresh"), this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Window"));

    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Window Class"), QStringLiteral("Window Title")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setSectionsMovable(false);
    m_list->setColumnWidth(0, 170);
    m_list->setMinimumSize(520, 300);
    // The whole list, rows and empty space alike, answers a double click.
    m_list->viewport()->installEventFilter(this);

    m_ok->setDefault(true);
    connect(m_refresh, &QPushButton::clicked, this, [this] { fillList(); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_refresh);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed border
}

std::optional<ChosenWindow> WindowChooser::pickWindow() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return ChosenWindow{};
    return ChosenWindow{selected.front()->text(0).toStdString(), selected.front()->text(1).toStdString()};
}

void WindowChooser::showEvent(QShowEvent* event) {
    fillList();
    m_list->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

bool WindowChooser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Each window goes in at the top, so the list reads in the reverse of the desktop's order. Untitled
// windows are left out (there are many, and no setting can name them); hidden ones stay in, since a
// window condition or a kill target may well name a window that is not on screen.
void WindowChooser::fillList() {
    m_list->clear();
    for (const TopLevelWindow& window : m_windows.listWindows()) {
        if (window.title.empty())
            continue;
        m_list->insertTopLevelItem(0,
                                   new QTreeWidgetItem({cellText(window.className), cellText(window.title)}));
    }
    if (QTreeWidgetItem* first = m_list->topLevelItem(0))
        m_list->setCurrentItem(first);
}

} // namespace quietmon
