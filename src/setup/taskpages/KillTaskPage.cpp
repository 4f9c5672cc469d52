#include "setup/taskpages/KillTaskPage.h"

#include "setup/SetupContext.h"
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
    layout->addWidget(application(QStringLiteral("Application 1"), settings.title1, settings.class1));
    layout->addWidget(application(QStringLiteral("Application 2"), settings.title2, settings.class2));
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

} // namespace quietmon
