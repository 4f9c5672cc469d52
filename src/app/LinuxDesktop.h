#pragma once

#include "platform/DesktopServices.h"

namespace quietmon {

// The real desktop: Qt's tray, the session bus, nice values and pavucontrol.
class LinuxDesktop final : public DesktopServices {
public:
    bool trayAvailable() const override;
    bool trayTogglesOnSingleClick() const override;
    void setIdlePriority(bool idle) override;
    std::string mixerProgram() const override { return "pavucontrol"; }
    bool openMixer() override;
    std::optional<std::string> openDocument(const std::string& pathOrUrl) override;
};

} // namespace quietmon
