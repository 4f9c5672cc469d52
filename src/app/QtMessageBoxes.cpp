#include "app/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace quietmon {

void QtMessageBoxes::inform(const std::string& text) {
    // Titled like the main window, as the application title is.
    const QString title = m_owner ? m_owner->window()->windowTitle() : QApplication::applicationName();
    QMessageBox box(QMessageBox::NoIcon, title, QString::fromStdString(text), QMessageBox::Ok, m_owner);
    box.exec();
}

} // namespace quietmon
