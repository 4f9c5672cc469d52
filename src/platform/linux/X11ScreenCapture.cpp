#include "platform/linux/X11ScreenCapture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <algorithm>
#include <bit>

namespace quietmon {

namespace {

struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The monitor RandR marks primary (monitors came with version 1.5); else the whole screen, which is the
// only monitor there is on a server without RandR.
Area primaryMonitorArea(Display* display) {
    const int screen = DefaultScreen(display);
    const Area whole{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 5))
        return whole;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, RootWindow(display, screen), True, &count);
    if (!monitors)
        return whole;
    Area area = whole;
    for (int i = 0; i < count; ++i) {
        if (!monitors[i].primary)
            continue;
        // Kept inside the screen: a request beyond it would fail as a whole.
        const int left = std::clamp(monitors[i].x, 0, whole.width);
        const int top = std::clamp(monitors[i].y, 0, whole.height);
        const int right = std::clamp(monitors[i].x + monitors[i].width, left, whole.width);
        const int bottom = std::clamp(monitors[i].y + monitors[i].height, top, whole.height);
        if (right > left && bottom > top)
            area = {left, top, right - left, bottom - top};
        break;
    }
    XRRFreeMonitors(monitors);
    return area;
}

// One colour channel of a pixel, scaled to eight bits whatever the visual's depth.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long value = (pixel & mask) >> shift;
    if (bits >= 8)
        return static_cast<std::uint8_t>(value >> (bits - 8));
    return static_cast<std::uint8_t>(value * 255 / ((1ul << bits) - 1));
}

} // namespace

void X11ScreenCapture::strokeShiftKey() {
    m_windows.useDisplay([](Display* display) {
        int eventBase = 0;
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
            return;
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
        if (shift == 0)
            return;
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XSync(display, False);
    });
}

ScreenImage X11ScreenCapture::capturePrimaryMonitor() {
    ScreenImage image;
    const bool captured = m_windows.useDisplay([&image](Display* display) {
        const Area area = primaryMonitorArea(display);
        XImage* pixels =
            XGetImage(display, DefaultRootWindow(display), area.x, area.y, static_cast<unsigned>(area.width),
                      static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
        if (!pixels)
            return;
        const Visual* visual = DefaultVisual(display, DefaultScreen(display));
        const unsigned long red = pixels->red_mask ? pixels->red_mask : visual->red_mask;
        const unsigned long green = pixels->green_mask ? pixels->green_mask : visual->green_mask;
        const unsigned long blue = pixels->blue_mask ? pixels->blue_mask : visual->blue_mask;
        image.width = area.width;
        image.height = area.height;
        image.rgb.resize(static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height) * 3);
        std::uint8_t* out = image.rgb.data();
        for (int y = 0; y < area.height; ++y) {
            for (int x = 0; x < area.width; ++x) {
                const unsigned long pixel = XGetPixel(pixels, x, y);
                *out++ = channel(pixel, red);
                *out++ = channel(pixel, green);
                *out++ = channel(pixel, blue);
            }
        }
        XDestroyImage(pixels);
    });
    return captured ? image : ScreenImage{};
}

} // namespace quietmon
