#pragma once

#include "config/Settings.h"
#include "setup/FileDialogs.h"

#include <QWidget>
#include <functional>
#include <string>

class QLineEdit;

namespace quietmon {

struct SetupContext;

// The name of a screenshot file as the save dialog's file type wants it: ".bmp" or ".jpg" is appended
// unless the name already ends in it (in any letter case). The extension decides the format the task
// writes.
std::string withScreenshotExtension(std::string path, FileDialogs::ScreenshotType type);

// "Save screenshot": the file, the screensaver option, and "Attach to email", which hands the file to the
// same queue's "Send email" page.
class ScreenshotTaskPage final : public QWidget {
public:
    using AttachToEmail = std::function<void(const QString& file)>;

    ScreenshotTaskPage(SetupContext& context, ScreenshotSettings& settings, AttachToEmail attachToEmail,
                       QWidget* parent = nullptr);

private:
    void browse();
    void attach();

    SetupContext& m_context;
    AttachToEmail m_attachToEmail;
    QLineEdit* m_file = nullptr;
};

} // namespace quietmon
