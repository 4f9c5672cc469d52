#pragma once

#include <optional>
#include <string>

namespace quietmon {

// The file dialogs of the Setup dialog's browse buttons.
class FileDialogs {
public:
    enum class ScreenshotType { Bitmap, Jpeg };
    struct ScreenshotFile {
        std::string path;
        ScreenshotType type;
    };

    virtual ~FileDialogs() = default;
    // An existing file to open or attach; nothing when cancelled.
    virtual std::optional<std::string> chooseFileToOpen() = 0;
    // Where to save screenshots, with the file type chosen; nothing when cancelled.
    virtual std::optional<ScreenshotFile> chooseScreenshotFile() = 0;
};

} // namespace quietmon
