#pragma once

#include "config/TaskKindSettings.h"

#include <optional>
#include <string>

namespace quietmon {

enum class SerialPin { Dtr, Rts };
// How long a switched pin stays raised: for `forSeconds`, until the return from the alarm condition, or
// for as long as the program runs.
enum class PinHold { ForSeconds, UntilReturn, Forever };

// "Switch port pin", in the alarm queue.
struct PortSettings {
    int portLine = 0; // line of the port list; the port number is portLine + 1
    std::optional<SerialPin> pin = SerialPin::Dtr;
    int forSeconds = 1;
    std::optional<PinHold> hold = PinHold::ForSeconds;
    // The Linux device to switch, for a port the COMn numbering does not reach (a USB adapter's
    // /dev/ttyUSB0); empty: COMn is /dev/ttyS(n-1).
    std::string device;
};

template <> struct SettingsOfKind<TaskKind::SwitchPortPin> { using type = PortSettings; };

} // namespace quietmon
