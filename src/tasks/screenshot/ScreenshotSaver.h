#pragma once

#include "platform/JpegEncoding.h"
#include "platform/ScreenCapture.h"
#include "runtime/Clock.h"
#include "tasks/TaskLog.h"
#include "tasks/screenshot/ScreenshotTask.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quietmon {

// "Save screenshot" of both queues: the primary monitor as a JPEG file for a name ending in ".jpg" or
// ".jpeg" (any letter case), else as a bitmap, whatever the name's extension. A relative name is taken
// from the data folder: the program's folder, current while files are opened, is no place the user may
// write to once the program is installed. A picture that cannot be written, not even as the bitmap that
// stands in for a JPEG, is logged ("Can't save the screenshot <file> - <reason>").
class ScreenshotSaver final : public ScreenshotTask {
public:
    using Expand = std::function<std::string(std::string_view)>;
    using Repaint = std::function<void()>;
    // The data folder, ending in "/", as it is when the task runs.
    using DataFolder = std::function<std::string()>;
    using Log = TaskLog;

    static constexpr int jpegQuality = 90;
    // How long a display woken by the key stroke is given to come back before the capture.
    static constexpr int wakeUpMs = 2000;

    ScreenshotSaver(ScreenCapture& screen, JpegEncoder& jpeg, Clock& clock, Expand expand,
                    Repaint repaintMainWindow, DataFolder dataFolder, Log log);

    bool saveScreenshot(const ScreenshotSettings& settings) override;

private:
    // Nothing when the picture was written, else why not.
    std::optional<std::string> writePicture(const ScreenImage& image, const std::string& path);

    ScreenCapture& m_screen;
    JpegEncoder& m_jpeg;
    Clock& m_clock;
    Expand m_expand;
    Repaint m_repaint;
    DataFolder m_dataFolder;
    Log m_log;
};

} // namespace quietmon
