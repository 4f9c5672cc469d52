#pragma once

#include "platform/SerialLine.h"
#include "runtime/Clock.h"

#include <string>

namespace quietmon {

// One serial port, used only for its control lines. Closed, or open and held by this program alone;
// which port it is cannot change while it is open. Every refusal is thrown as std::runtime_error.
class SerialPort {
public:
    static constexpr int closeWaitMs = 300;

    SerialPort(SerialLine& line, Clock& clock) : m_line(line), m_clock(clock) {}

    // The port number n of "COMn".
    void setNumber(int number);
    int number() const { return m_number; }
    // The Windows-style name, "COM%d" or "\\.\COM%d", with %d standing for the number.
    void setNameTemplate(std::string nameTemplate);
    const std::string& nameTemplate() const { return m_nameTemplate; }
    // A device that replaces the COMn mapping (a USB adapter's /dev/ttyUSB0); empty for the mapping.
    void setDevice(std::string device);
    // The device opened: the one set, else COMn's /dev/ttyS(n-1).
    std::string devicePath() const;
    bool isOpen() const { return m_open; }

    // Opens the device with both lines lowered.
    void openPort();
    void setDtr(bool on);
    void setRts(bool on);
    // Closes the device and waits 300 ms, so that the device has settled before anything opens it again.
    void closePort();

private:
    void refuseWhileOpen() const;
    void setLine(ModemLines lines, bool on);

    SerialLine& m_line;
    Clock& m_clock;
    int m_number = 1;
    std::string m_nameTemplate = "COM%d";
    std::string m_device;
    bool m_open = false;
};

} // namespace quietmon
