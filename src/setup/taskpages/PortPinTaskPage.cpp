#include "setup/taskpages/PortPinTaskPage.h"

#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace quietmon {

using namespace task_page_parts;

PortPinTaskPage::PortPinTaskPage(SetupContext& context, PortSettings& settings, QWidget* parent)
    : QWidget(parent) {
    BoundFields& fields = context.fields;
    QStringList ports;
    for (int port = 1; port <= portCount; ++port)
        ports << QStringLiteral("COM%1").arg(port);
    auto* form = new QFormLayout(this);
    auto* portChoice = fields.choice(this, settings.portLine, ports);
    portChoice->setMaxVisibleItems(16);
    form->addRow(QStringLiteral("Port number"), portChoice);
    // A USB adapter's /dev/ttyUSB0 and the like, which the COM numbering does not reach.
    QLineEdit* device = fields.text(this, settings.device, 255);
    device->setPlaceholderText(QStringLiteral("/dev/ttyS0 for COM1, and so on"));
    form->addRow(QStringLiteral("Device (optional)"), device);
    form->addRow(QStringLiteral("Port pin"),
                 fields.choice(this, settings.pin, {QStringLiteral("DTR"), QStringLiteral("RTS")}));

    const std::vector<QRadioButton*> modes = fields.radioButtons(
        this, settings.hold,
        {QStringLiteral("Switch for"), QStringLiteral("Switch until return from alarm condition or reboot"),
         QStringLiteral("Switch for as long as possible")});
    QLineEdit* seconds = fields.number(this, settings.forSeconds, {1, 10, 4});
    fitNumberField(seconds);
    auto* limited = new QHBoxLayout;
    limited->addWidget(modes[0]);
    limited->addWidget(seconds);
    auto* unit = new QLabel(QStringLiteral("seconds"), this);
    unit->setBuddy(seconds);
    limited->addWidget(unit);
    limited->addStretch();
    form->addRow(limited);
    form->addRow(modes[1]);
    form->addRow(modes[2]);
    form->addRow(note(
        QStringLiteral("Default (idle) pin output voltage is negative, the switching makes it positive."),
        this));
}

template <> QWidget* makeTaskPageOf<TaskKind::SwitchPortPin>(const TaskPageSource& source) {
    return new PortPinTaskPage(source.context, source.queueSettings().of<TaskKind::SwitchPortPin>());
}

} // namespace quietmon
