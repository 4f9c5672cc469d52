#include "setup/CribPanel.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace quietmon {

CribPanel::CribPanel(const QStringList& placeholders, QWidget& servedWidget, QWidget* parent)
    : QGroupBox(QStringLiteral("Crib"), parent), m_served(servedWidget) {
    auto* list = new QLabel(placeholders.join(QLatin1Char('\n')), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addStretch();
    // Its place stays taken while it is hidden, so the page does not move as the focus comes and goes.
    QSizePolicy keepPlace = sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    setSizePolicy(keepPlace);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { onFocusChanged(now); });
}

void CribPanel::onFocusChanged(QWidget* now) {
    setVisible(now && (now == &m_served || m_served.isAncestorOf(now)));
}

} // namespace quietmon
