#include "tasks/serialport/PortPinSwitcher.h"

#include <exception>

namespace quietmon {

namespace {

template <typename Step> void ignoringErrors(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

} // namespace

PortPinSwitcher::PortPinSwitcher(SerialLine& line, Clock& clock, Log log)
    : m_clock(clock), m_port(line, clock), m_log(std::move(log)) {}

void PortPinSwitcher::setPortNumber(int number, const std::string& device) {
    m_port.setNumber(number);
    m_port.setNameTemplate(number < 10 ? "COM%d" : "\\\\.\\COM%d");
    m_port.setDevice(device);
}

void PortPinSwitcher::switchPin(const PortSettings& settings) {
    setPortNumber(settings.portLine + 1, settings.device);
    try {
        m_port.openPort();
        if (settings.pin == SerialPin::Dtr)
            m_port.setDtr(true);
        else if (settings.pin == SerialPin::Rts)
            m_port.setRts(true);
        if (settings.hold == PinHold::ForSeconds) {
            m_clock.sleep(settings.forSeconds * 1000 + 1);
            m_port.setDtr(false);
            m_port.setRts(false);
            m_port.closePort();
        }
    } catch (const std::exception&) {
        // The port stays as the failure left it: open with a pin raised when only lowering failed.
        m_log.failure(TaskKind::SwitchPortPin, "Can't access the COM port");
    }
}

void PortPinSwitcher::releasePortPin(int /*mode*/) {
    // Each step on its own, so that a line that cannot be lowered still lets the port close.
    ignoringErrors([this] { m_port.setDtr(false); });
    ignoringErrors([this] { m_port.setRts(false); });
    ignoringErrors([this] { m_port.closePort(); });
}

} // namespace quietmon
