#pragma once

#include "platform/Clock.h"
#include "platform/ScreenCapture.h"
#include "tasks/TaskServices.h"

#include <functional>
#include <string>
#include <string_view>

namespace quietmon {

// "Save screenshot" of both queues: the primary monitor as a JPEG file for a name ending in ".jpg" or
// ".jpeg" (any letter case), else as a bitmap, whatever the name's extension. Nothing is ever reported:
// a picture that cannot be written is simply not there.
class ScreenshotSaver final : public ScreenshotTask {
public:
    using Expand = std::function<std::string(std::string_view)>;
    using Repaint = std::function<void()>;

    static constexpr int jpegQuality = 90;
    // How long a display woken by the key stroke is given to come back before the capture.
    static constexpr int wakeUpMs = 2000;

    ScreenshotSaver(ScreenCapture& screen, Clock& clock, Expand expand, Repaint repaintMainWindow);

    bool saveScreenshot(const ScreenshotSettings& settings) override;

private:
    void writePicture(const ScreenImage& image, const std::string& name);

    ScreenCapture& m_screen;
    Clock& m_clock;
    Expand m_expand;
    Repaint m_repaint;
};

} // namespace quietmon
