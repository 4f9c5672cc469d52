#include "setup/taskpages/RebootTaskPage.h"

#include "setup/SetupContext.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace quietmon {

RebootTaskPage::RebootTaskPage(SetupContext& context, RebootSettings& settings, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* choice :
         context.fields.exclusive(this, {{QStringLiteral("Reboot"), settings.doReboot},
                                         {QStringLiteral("Shutdown"), settings.doShutdown}}))
        layout->addWidget(choice);
    layout->addStretch();
}

} // namespace quietmon
