#pragma once

#include "platform/ScreenCapture.h"
#include "platform/linux/X11DesktopWindows.h"

namespace quietmon {

// The screen and keyboard of an X11 display, through the desktop windows' connection: the SHIFT stroke
// through XTest, the picture with XGetImage of the primary monitor's area (as RandR marks it, else the
// whole screen).
class X11ScreenCapture final : public ScreenCapture {
public:
    explicit X11ScreenCapture(X11DesktopWindows& windows) : m_windows(windows) {}

    void strokeShiftKey() override;
    ScreenImage capturePrimaryMonitor() override;

private:
    X11DesktopWindows& m_windows;
};

} // namespace quietmon
