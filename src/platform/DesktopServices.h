#pragma once

#include <optional>
#include <string>

namespace quietmon {

// The desktop's services that the main window uses, so that widget tests can stand in for a desktop
// with or without a tray.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Whether a notification-area host is running; without one, hiding to the tray would leave no way back.
    virtual bool trayAvailable() const = 0;
    // StatusNotifierItem hosts report no double-click: the icon toggles the window on a single click there.
    virtual bool trayTogglesOnSingleClick() const = 0;
    virtual void setIdlePriority(bool idle) = 0;
    // The recording-level control: the program looked for, and whether it could be started.
    virtual std::string mixerProgram() const = 0;
    virtual bool openMixer() = 0;
    // Opens a file or a URL with the desktop's default handler (xdg-open), detached: nothing when the handler
    // was started, else why not. What the handler itself makes of it is its own to show.
    virtual std::optional<std::string> openDocument(const std::string& pathOrUrl) = 0;
};

} // namespace quietmon
