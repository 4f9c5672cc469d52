#include "tasks/screenshot/ScreenshotSaver.h"

#include "runtime/FileSystem.h"
#include "tasks/screenshot/BmpEncoding.h"

#include <algorithm>
#include <exception>

namespace quietmon {

namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view upperSuffix) {
    if (text.size() < upperSuffix.size())
        return false;
    return std::equal(
        upperSuffix.begin(), upperSuffix.end(), text.end() - upperSuffix.size(),
        [](char a, char b) { return a == (b >= 'a' && b <= 'z' ? static_cast<char>(b - 'a' + 'A') : b); });
}

bool isJpegName(std::string_view name) {
    return endsWithIgnoringCase(name, ".JPG") || endsWithIgnoringCase(name, ".JPEG");
}

} // namespace

ScreenshotSaver::ScreenshotSaver(ScreenCapture& screen, JpegEncoder& jpeg, Clock& clock, Expand expand,
                                 Repaint repaintMainWindow, DataFolder dataFolder, Log log)
    : m_screen(screen), m_jpeg(jpeg), m_clock(clock), m_expand(std::move(expand)),
      m_repaint(std::move(repaintMainWindow)), m_dataFolder(std::move(dataFolder)), m_log(std::move(log)) {}

bool ScreenshotSaver::saveScreenshot(const ScreenshotSettings& settings) {
    if (settings.file.empty())
        return false;
    if (settings.deactivateScreenSaver) {
        m_screen.strokeShiftKey();
        m_clock.sleep(wakeUpMs);
        if (m_repaint)
            m_repaint();
    }
    // The picture first, then the name: a name with the time in it still names the moment of the event.
    const ScreenImage image = m_screen.capturePrimaryMonitor();
    std::string path = m_expand(settings.file);
    if (!path.starts_with('/') && m_dataFolder)
        path.insert(0, m_dataFolder());
    std::optional<std::string> failure = "the screen could not be captured";
    try {
        if (!image.empty())
            failure = writePicture(image, path);
    } catch (const std::exception& error) {
        failure = error.what(); // out of memory for a huge screen
    }
    if (failure && m_log)
        m_log.failure(TaskKind::SaveScreenshot, "Can't save the screenshot " + path + " - " + *failure);
    return true;
}

std::optional<std::string> ScreenshotSaver::writePicture(const ScreenImage& image, const std::string& path) {
    // Each file is written whole or not at all, so a full disk never replaces a good picture by half of one.
    std::string bitmapPath = path;
    if (isJpegName(path)) {
        const std::optional<std::string> jpeg = m_jpeg.encode(image, jpegQuality);
        if (jpeg && writeFileAtomically(path, *jpeg))
            return std::nullopt;
        bitmapPath += ".bmp";
    }
    std::string failure;
    if (writeFileAtomically(bitmapPath, encodeBmp(image), &failure))
        return std::nullopt;
    return failure;
}

} // namespace quietmon
