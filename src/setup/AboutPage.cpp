#include "setup/AboutPage.h"

#include "config/ProductName.h"
#include "monitor/Monitor.h"
#include "platform/DesktopServices.h"

#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace quietmon {

AboutPage::AboutPage(SetupContext& context, QWidget* parent) : QWidget(parent), m_context(context) {
    const QString product = QString::fromStdString(context.monitor.productName());
    const Folders& folders = context.monitor.folders();

    auto* heading =
        new QLabel(product + QStringLiteral(" - Version ") + QString::fromLatin1(productVersion), this);
    QFont bigger = heading->font();
    bigger.setBold(true);
    bigger.setPointSizeF(bigger.pointSizeF() * 1.3);
    heading->setFont(bigger);

    // The program comes with its help page, which is where the operator learns more.
    QLabel* notice = linkTo(folders.programFolder + "quietmon.htm",
                            product + QStringLiteral(" is free to use. Its help page tells how it works."));

    auto* places = new QGridLayout;
    places->addWidget(new QLabel(QStringLiteral("Application folder:"), this), 0, 0);
    places->addWidget(linkTo(folders.programFolder, QString::fromStdString(folders.programFolder)), 0, 1);
    places->addWidget(new QLabel(QStringLiteral("Data folder:"), this), 1, 0);
    places->addWidget(linkTo(folders.dataFolder, QString::fromStdString(folders.dataFolder)), 1, 1);
    places->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(notice);
    layout->addSpacing(heading->fontMetrics().height());
    layout->addLayout(places);
    layout->addStretch();
}

QLabel* AboutPage::linkTo(const std::string& path, const QString& text) {
    const QString url = QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded);
    auto* label = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()), this);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setWordWrap(true);
    connect(label, &QLabel::linkActivated, this,
            [this](const QString& link) { m_context.desktop.openDocument(link.toStdString()); });
    return label;
}

} // namespace quietmon
