#include "monitor/Monitor.h"
#include "platform/linux/LibJpegEncoding.h"
#include "platform/linux/X11ScreenCapture.h"
#include "runtime/EventLoop.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/Placeholders.h"
#include "tasks/screenshot/ScreenshotSaver.h"

namespace quietmon {

namespace {

// "Save screenshot" of the X display, as JPEG.
class WiredScreenshot final : public WiredTaskKind {
public:
    explicit WiredScreenshot(TaskKindWiring& wiring)
        : m_screen(wiring.windows),
          m_screenshot(
              m_screen, m_jpeg, wiring.loop.clock(),
              [&monitor = wiring.monitor](std::string_view text) {
                  return expandPlaceholders(text, monitor.alarmState());
              },
              wiring.repaintMainWindow, [&monitor = wiring.monitor] { return monitor.folders().dataFolder; },
              wiring.monitor.taskLog()) {}
    QueueTask& task() override { return m_screenshot; }

private:
    X11ScreenCapture m_screen;
    LibJpegEncoder m_jpeg;
    ScreenshotSaver m_screenshot;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::SaveScreenshot>(TaskKindWiring& wiring) {
    if (wiring.withoutDisplay)
        return nullptr;
    return std::make_unique<WiredScreenshot>(wiring);
}

} // namespace quietmon
