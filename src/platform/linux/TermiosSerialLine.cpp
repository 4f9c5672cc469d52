#include "platform/linux/TermiosSerialLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quietmon {

namespace {

SerialLineFailure failureOf(int errorNumber) {
    // What stands for a port that is not there: no device node, or a node with no device behind it.
    const bool missing = errorNumber == ENOENT || errorNumber == ENODEV || errorNumber == ENXIO;
    return {errorNumber, std::strerror(errorNumber), missing};
}

// 1200 baud, 8 data bits, no parity, 1 stop bit, raw, no flow control in either direction. HUPCL on,
// whatever the port was left with: the kernel lowers DTR and RTS when the last handle closes, so a pin
// raised by a program that crashed or was killed by a watchdog does not stay raised.
bool writeLineSettings(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B1200);
    ::cfsetospeed(&settings, B1200);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

TermiosSerialLine::~TermiosSerialLine() {
    close();
}

std::optional<SerialLineFailure> TermiosSerialLine::open(const std::string& devicePath) {
    close();
    // Not blocking: a port whose carrier is down must still open, and nothing is ever read.
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failureOf(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0 || !writeLineSettings(fd)) {
        const int error = errno;
        ::close(fd);
        return failureOf(error);
    }
    m_fd = fd;
    return std::nullopt;
}

std::optional<SerialLineFailure> TermiosSerialLine::setModemLines(ModemLines lines, bool raised) {
    if (m_fd < 0)
        return failureOf(EBADF);
    const int bits = (lines.dtr ? TIOCM_DTR : 0) | (lines.rts ? TIOCM_RTS : 0);
    if (::ioctl(m_fd, raised ? TIOCMBIS : TIOCMBIC, &bits) != 0)
        return failureOf(errno);
    return std::nullopt;
}

void TermiosSerialLine::close() {
    if (m_fd < 0)
        return;
    const int bits = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &bits); // a device without modem lines has nothing to lower
    ::close(m_fd);
    m_fd = -1;
}

} // namespace quietmon
