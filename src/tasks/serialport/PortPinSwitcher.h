#pragma once

#include "tasks/TaskLog.h"
#include "tasks/serialport/PortPinTask.h"
#include "tasks/serialport/SerialPort.h"

#include <functional>
#include <string>

namespace quietmon {

// "Switch port pin": raises DTR or RTS of the configured port, for a number of seconds, until the
// return, or until the program ends.
class PortPinSwitcher final : public PortPinTask {
public:
    using Log = TaskLog;

    PortPinSwitcher(SerialLine& line, Clock& clock, Log log);

    // Port n, named "COM%d" below 10 and "\\.\COM%d" from 10 on; `device` replaces the COMn mapping when
    // set. Refused while the port is open.
    void setPortNumber(int number, const std::string& device);
    // The port is opened and the pin raised; in the "Switch for" mode the thread waits the seconds out
    // and the pin falls. A port still held by an earlier switch refuses: that error escapes to the
    // caller, with the pin raised earlier left as it is.
    void switchPin(const PortSettings& settings) override;
    // Both pins lowered and the port closed, whatever fails on the way.
    void releasePortPin(int mode) override;
    void closePort() override { m_port.closePort(); }

    const SerialPort& port() const { return m_port; }

private:
    Clock& m_clock;
    SerialPort m_port;
    Log m_log;
};

} // namespace quietmon
