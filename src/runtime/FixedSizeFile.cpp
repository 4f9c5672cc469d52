#include "runtime/FixedSizeFile.h"

#include "runtime/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quietmon {
namespace {

std::string systemReason() {
    return std::strerror(errno);
}

} // namespace

FixedSizeFile::~FixedSizeFile() {
    close();
}

void FixedSizeFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool FixedSizeFile::openWith(const std::string& path, int flags, std::string& failure) {
    close();
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        failure = systemReason();
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        failure = "Not a regular file";
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool FixedSizeFile::open(const std::string& path, std::string& failure) {
    return openWith(path, O_RDWR, failure);
}

bool FixedSizeFile::openForReading(const std::string& path, std::string& failure) {
    return openWith(path, O_RDONLY, failure);
}

bool FixedSizeFile::create(const std::string& path, std::uint64_t sizeBytes, std::uint8_t fill,
                           std::string& failure) {
    close();
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        failure = systemReason();
        return false;
    }
    m_fd = fd;
    const std::vector<std::uint8_t> chunk(1 << 16, fill);
    bool written = true;
    for (std::uint64_t offset = 0; written && offset < sizeBytes; offset += chunk.size()) {
        const std::uint64_t length = std::min<std::uint64_t>(chunk.size(), sizeBytes - offset);
        written = write(offset, std::span(chunk).first(length), failure);
    }
    if (written && ::fsync(m_fd) != 0) {
        failure = systemReason();
        written = false;
    }
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure = systemReason();
        written = false;
    }
    if (!written) {
        close();
        ::unlink(temporary.c_str());
    }
    return written;
}

std::uint64_t FixedSizeFile::sizeBytes() const {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return 0;
    return static_cast<std::uint64_t>(status.st_size);
}

bool FixedSizeFile::read(std::uint64_t offset, std::span<std::uint8_t> bytes, std::string& failure) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failure = got < 0 ? systemReason() : "The file ends early";
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool FixedSizeFile::write(std::uint64_t offset, std::span<const std::uint8_t> bytes, std::string& failure) {
    if (writeAllAt(m_fd, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, offset))
        return true;
    failure = systemReason();
    return false;
}

bool FixedSizeFile::flush(std::string& failure) {
    if (::fdatasync(m_fd) == 0)
        return true;
    failure = systemReason();
    return false;
}

} // namespace quietmon
