#include "setup/taskpages/HttpQueryTaskPage.h"

#include "monitor/Monitor.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"
#include "tasks/http/HttpQueryTask.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quietmon {

using namespace task_page_parts;

HttpQueryTaskPage::HttpQueryTaskPage(SetupContext& context, QuerySettings& settings, QWidget* parent)
    : QWidget(parent) {
    BoundFields& fields = context.fields;
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Address"), fields.text(this, settings.address, 1023));
    form->addRow(QStringLiteral("Query"), fields.text(this, settings.query, 1023));
    form->addRow(note(QStringLiteral("URL composition (GET method): Address?Query"), this));
    auto* test = new QPushButton(QStringLiteral("Test"), this);
    // The query runs on its worker; its answer comes back in a message box later.
    onClick(context, test, [&context, &settings] {
        if (auto* query = context.monitor.tasks().serviceOf<HttpQueryTask>(TaskKind::SendHttpQuery))
            query->sendQuery(settings, true);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(test);
    form->addRow(buttons);
}

template <> QWidget* makeTaskPageOf<TaskKind::SendHttpQuery>(const TaskPageSource& source) {
    return new HttpQueryTaskPage(source.context, source.queueSettings().of<TaskKind::SendHttpQuery>());
}

} // namespace quietmon
