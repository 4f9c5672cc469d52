// The real tty driver: pseudo-terminals stand in for a serial port; they have no modem lines.
#include "platform/linux/TermiosSerialLine.h"

#include "runtime/VirtualEventLoop.h"
#include "tasks/serialport/PortPinSwitcher.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace quietmon {
namespace {

// A pseudo-terminal pair; the program opens the terminal side, as it would a serial port.
class PseudoTerminal {
public:
    PseudoTerminal() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128];
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
            ::ptsname_r(m_master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_path = name;
    }
    ~PseudoTerminal() { ::close(m_master); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& path() const { return m_path; }
    // The terminal side's settings, as the master side reports them.
    termios settings() const {
        termios current{};
        ::tcgetattr(m_master, &current);
        return current;
    }
    // As another program (`stty -hupcl`) may leave a port.
    void clearHangUpOnClose() {
        termios current = settings();
        current.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
        ::tcsetattr(m_master, TCSANOW, &current);
    }

private:
    int m_master;
    std::string m_path;
};

class TermiosSerialLineTest : public ::testing::Test {
protected:
    std::string openFailure(const std::string& device) {
        SerialPort port(line, loop.clock());
        port.setDevice(device);
        try {
            port.openPort();
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "";
    }
    std::vector<std::string> switchLog(const std::string& device) {
        std::vector<std::string> log;
        PortPinSwitcher switcher(line, loop.clock(),
                                 [&log](const std::string& text) { log.push_back(text); });
        PortSettings settings;
        settings.device = device;
        switcher.switchPin(settings);
        return log;
    }

    VirtualEventLoop loop;
    TermiosSerialLine line;
    PseudoTerminal terminal;
};

// Hang-up on close: the kernel lowers the lines when the last handle closes, after a crash too.
TEST_F(TermiosSerialLineTest, OpensAt1200Baud8N1WithoutFlowControlAndWithHangUpOnClose) {
    terminal.clearHangUpOnClose();
    ASSERT_EQ(terminal.settings().c_cflag & HUPCL, 0u);
    ASSERT_FALSE(line.open(terminal.path()));
    const termios settings = terminal.settings();
    EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B1200));
    EXPECT_EQ(::cfgetispeed(&settings), static_cast<speed_t>(B1200));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_cflag & HUPCL, static_cast<tcflag_t>(HUPCL));
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(TermiosSerialLineTest, ASecondOpenOfTheSamePortIsRefusedUntilTheFirstCloses) {
    ASSERT_FALSE(line.open(terminal.path()));
    TermiosSerialLine second;
    const auto refused = second.open(terminal.path());
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->deviceMissing);
    line.close();
    EXPECT_FALSE(second.open(terminal.path()));
}

TEST_F(TermiosSerialLineTest, APortWithoutModemLinesCannotBeOpened) {
    EXPECT_EQ(openFailure(terminal.path()), "Can't open specified device " + terminal.path() +
                                                " (Error 25, Inappropriate ioctl for device)");
    EXPECT_EQ(switchLog(terminal.path()), (std::vector<std::string>{"Can't access the COM port"}));
}

TEST_F(TermiosSerialLineTest, AMissingDeviceIsNotFound) {
    EXPECT_EQ(openFailure("/dev/quietmon-no-such-port"),
              "Specified device not found (/dev/quietmon-no-such-port).");
    EXPECT_EQ(switchLog("/dev/quietmon-no-such-port"),
              (std::vector<std::string>{"Can't access the COM port"}));
}

} // namespace
} // namespace quietmon
