#include "tasks/serialport/SerialPort.h"

#include <stdexcept>

namespace quietmon {

namespace {

std::runtime_error openFailure(const std::string& path, const SerialLineFailure& failure) {
    if (failure.deviceMissing)
        return std::runtime_error("Specified device not found (" + path + ").");
    return std::runtime_error("Can't open specified device " + path + " (Error " +
                              std::to_string(failure.errorNumber) + ", " + failure.systemMessage + ")");
}

} // namespace

void SerialPort::refuseWhileOpen() const {
    if (m_open)
        throw std::runtime_error("Can't perform this operation while port is open");
}

void SerialPort::setNumber(int number) {
    refuseWhileOpen();
    m_number = number;
}

void SerialPort::setNameTemplate(std::string nameTemplate) {
    refuseWhileOpen();
    m_nameTemplate = std::move(nameTemplate);
}

void SerialPort::setDevice(std::string device) {
    refuseWhileOpen();
    m_device = std::move(device);
}

std::string SerialPort::devicePath() const {
    if (!m_device.empty())
        return m_device;
    return "/dev/ttyS" + std::to_string(m_number - 1);
}

void SerialPort::openPort() {
    refuseWhileOpen();
    const std::string path = devicePath();
    if (const auto failure = m_line.open(path))
        throw openFailure(path, *failure);
    // Opening a tty raises both lines: both are to be inactive until a pin is switched.
    if (const auto failure = m_line.setModemLines({.dtr = true, .rts = true}, false)) {
        m_line.close();
        throw openFailure(path, *failure);
    }
    m_open = true;
}

void SerialPort::setLine(ModemLines lines, bool on) {
    if (!m_open)
        return;
    if (const auto failure = m_line.setModemLines(lines, on))
        throw std::runtime_error("Error calling comm function (" + std::to_string(failure->errorNumber) +
                                 "), " + failure->systemMessage);
}

void SerialPort::setDtr(bool on) {
    setLine({.dtr = true}, on);
}

void SerialPort::setRts(bool on) {
    setLine({.rts = true}, on);
}

void SerialPort::closePort() {
    if (!m_open)
        return;
    m_line.close();
    m_open = false;
    m_clock.sleep(closeWaitMs);
}

} // namespace quietmon
