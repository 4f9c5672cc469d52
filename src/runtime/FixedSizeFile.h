#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quietmon {

// A file of a size fixed when it is made, read and written at offsets: the store of the level history.
// Every failure is a value with the system's reason ("No space left on device"), never an exception.
class FixedSizeFile {
public:
    FixedSizeFile() = default;
    ~FixedSizeFile();
    FixedSizeFile(const FixedSizeFile&) = delete;
    FixedSizeFile& operator=(const FixedSizeFile&) = delete;

    // Opens an existing regular file for reading and writing.
    bool open(const std::string& path, std::string& failure);
    // Opens an existing regular file for reading only.
    bool openForReading(const std::string& path, std::string& failure);
    // Makes a new file of `sizeBytes`, every byte `fill`, with all its blocks allocated, so that a disk
    // that fills up later never refuses a write inside it. Replaces any file of that name only once the
    // new one is whole.
    bool create(const std::string& path, std::uint64_t sizeBytes, std::uint8_t fill, std::string& failure);
    bool isOpen() const { return m_fd >= 0; }
    void close();

    std::uint64_t sizeBytes() const;
    bool read(std::uint64_t offset, std::span<std::uint8_t> bytes, std::string& failure) const;
    bool write(std::uint64_t offset, std::span<const std::uint8_t> bytes, std::string& failure);
    // Makes what was written reach the disk.
    bool flush(std::string& failure);

private:
    bool openWith(const std::string& path, int flags, std::string& failure);

    int m_fd = -1;
};

} // namespace quietmon
