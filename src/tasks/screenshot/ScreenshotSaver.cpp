#include "tasks/screenshot/ScreenshotSaver.h"

#include "platform/FileSystem.h"
#include "platform/JpegEncoding.h"
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

ScreenshotSaver::ScreenshotSaver(ScreenCapture& screen, Clock& clock, Expand expand,
                                 Repaint repaintMainWindow)
    : m_screen(screen), m_clock(clock), m_expand(std::move(expand)), m_repaint(std::move(repaintMainWindow)) {
}

bool ScreenshotSaver::saveScreenshot(const ScreenshotSettings& settings) {
    if (settings.file.empty())
        return false;
    if (settings.deactivateScrSaver) {
        m_screen.strokeShiftKey();
        m_clock.sleep(wakeUpMs);
        if (m_repaint)
            m_repaint();
    }
    // The picture first, then the name: a name with the time in it still names the moment of the event.
    const ScreenImage image = m_screen.capturePrimaryMonitor();
    const std::string name = m_expand(settings.file);
    try {
        if (!image.empty())
            writePicture(image, name);
    } catch (const std::exception&) {
        // Out of memory for a huge screen: no picture, as for any other failure.
    }
    return true;
}

void ScreenshotSaver::writePicture(const ScreenImage& image, const std::string& name) {
    // Each file is written whole or not at all, so a full disk never replaces a good picture by half of one.
    if (isJpegName(name)) {
        const std::optional<std::string> jpeg = encodeJpeg(image, jpegQuality);
        if (jpeg && writeFileAtomically(name, *jpeg))
            return;
        writeFileAtomically(name + ".bmp", encodeBmp(image));
        return;
    }
    writeFileAtomically(name, encodeBmp(image));
}

} // namespace quietmon
