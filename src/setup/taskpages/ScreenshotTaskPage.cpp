#include "setup/taskpages/ScreenshotTaskPage.h"

#include "setup/FileDialogs.h"
#include "setup/SetupContext.h"
#include "setup/TaskKindPages.h"
#include "setup/taskpages/TaskPageParts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cctype>

namespace quietmon {

using namespace task_page_parts;

namespace {

// ".bmp" or ".jpg" is appended unless the name already ends in it, in any letter case: the extension
// decides the format the task writes.
std::string withScreenshotExtension(std::string path, FileDialogs::ScreenshotType type) {
    const std::string extension = type == FileDialogs::ScreenshotType::Jpeg ? ".jpg" : ".bmp";
    const bool hasIt =
        path.size() >= extension.size() &&
        std::equal(
            extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
            [](char wanted, char had) { return wanted == std::tolower(static_cast<unsigned char>(had)); });
    if (!hasIt)
        path += extension;
    return path;
}

} // namespace

ScreenshotTaskPage::ScreenshotTaskPage(SetupContext& context, ScreenshotSettings& settings,
                                       AttachToEmail attachToEmail, QWidget* parent)
    : QWidget(parent), m_context(context), m_attachToEmail(std::move(attachToEmail)) {
    BoundFields& fields = context.fields;
    auto* form = new QFormLayout(this);
    m_file = fields.text(this, settings.file, 255);
    QPushButton* browse = smallButton(QStringLiteral("..."), this);
    onClick(context, browse, [this] { this->browse(); });
    addRow(form, QStringLiteral("File"), m_file, {browse});
    form->addRow(fields.tick(this, QStringLiteral("Deactivate screensaver by simulating SHIFT key stroke"),
                             settings.deactivateScreenSaver));
    auto* attach = new QPushButton(QStringLiteral("Attach to email"), this);
    onClick(context, attach, [this] { this->attach(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(attach);
    buttons->addStretch();
    form->addRow(buttons);
}

void ScreenshotTaskPage::browse() {
    try {
        if (const auto chosen = m_context.files.chooseScreenshotFile())
            BoundFields::putWholeText(
                m_file, QString::fromStdString(withScreenshotExtension(chosen->path, chosen->type)));
    } catch (...) {
        // A dialog that failed chose nothing.
    }
    returnToProgramFolder(m_context);
}

void ScreenshotTaskPage::attach() {
    if (!m_file->text().isEmpty())
        m_attachToEmail(m_file->text());
}

template <> QWidget* makeTaskPageOf<TaskKind::SaveScreenshot>(const TaskPageSource& source) {
    return new ScreenshotTaskPage(source.context, source.queueSettings().of<TaskKind::SaveScreenshot>(),
                                  source.attachToEmail);
}

} // namespace quietmon
