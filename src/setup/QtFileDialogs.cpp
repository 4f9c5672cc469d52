#include "setup/QtFileDialogs.h"

#include <QFileDialog>

namespace quietmon {

namespace {

// "*" rather than "*.*": a name without a dot must match "All files" too.
const QStringList openFilters = {QStringLiteral("All files (*)"), QStringLiteral("EXE files (*.exe)"),
                                 QStringLiteral("MP3 files (*.mp3)")};
const QString bitmapFilter = QStringLiteral("Bitmap file (*.bmp)");
const QString jpegFilter = QStringLiteral("JPEG file (*.jpg)");

QFileDialog::Options commonOptions() {
    return QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite;
}

void prepare(QFileDialog& dialog) {
    dialog.setOptions(commonOptions());
    dialog.setFilter(dialog.filter() | QDir::Hidden | QDir::System);
    dialog.setDefaultSuffix(QString()); // the screenshot's extension rule decides
}

} // namespace

std::optional<std::string> QtFileDialogs::chooseFileToOpen() {
    QFileDialog dialog(m_owner);
    prepare(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(openFilters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<FileDialogs::ScreenshotFile> QtFileDialogs::chooseScreenshotFile() {
    QFileDialog dialog(m_owner);
    prepare(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({bitmapFilter, jpegFilter});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const ScreenshotType type =
        dialog.selectedNameFilter() == jpegFilter ? ScreenshotType::Jpeg : ScreenshotType::Bitmap;
    return ScreenshotFile{dialog.selectedFiles().front().toStdString(), type};
}

} // namespace quietmon
