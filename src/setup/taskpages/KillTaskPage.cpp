#include "setup/taskpages/KillTaskPage.h"

#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/WindowChooser.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quietmon {

using namespace task_page_parts;

KillTaskPage::KillTaskPage(SetupContext& context, KillSettings& settings, QWidget* parent)
    : QWidget(parent), m_context(context) {
    auto* layout = new QVBoxLayout(this);
    for (std::size_t index = 0; index < settings.applications.size(); ++index) {
        KillTarget& target = settings.applications[index];
        layout->addWidget(
            application(QStringLiteral("Application %1").arg(index + 1), target.title, target.windowClass));
    }
    layout->addStretch();
}

QWidget* KillTaskPage::application(const QString& caption, std::string& title, std::string& windowClass) {
    auto* group = new QGroupBox(caption, this);
    QLineEdit* titleField = m_context.fields.text(group, title, 255);
    QLineEdit* classField = m_context.fields.text(group, windowClass, 255);
    QPushButton* find = smallButton(QStringLiteral("Find"), group);
    onClick(m_context, find, [this, titleField, classField] { this->find(titleField, classField); });
    QPushButton* clear = smallButton(QStringLiteral("Clear"), group);
    onClick(m_context, clear, [titleField, classField] {
        titleField->clear();
        classField->clear();
    });
    const int buttonWidth = std::max(find->maximumWidth(), clear->maximumWidth());
    find->setFixedWidth(buttonWidth);
    clear->setFixedWidth(buttonWidth);
    auto* form = new QFormLayout(group);
    addRow(form, QStringLiteral("Window Title"), titleField, {find});
    addRow(form, QStringLiteral("Window Class"), classField, {clear});
    return group;
}

void KillTaskPage::find(QLineEdit* title, QLineEdit* windowClass) {
    if (!m_context.windowPicker)
        return;
    if (const std::optional<ChosenWindow> chosen = m_context.windowPicker->pickWindow()) {
        windowClass->setText(QString::fromStdString(chosen->windowClass));
        title->setText(QString::fromStdString(chosen->title));
    }
}

template <> QWidget* makeTaskPageOf<TaskKind::KillApplication>(const TaskPageSource& source) {
    return new KillTaskPage(source.context, source.queueSettings().of<TaskKind::KillApplication>());
}

} // namespace quietmon
