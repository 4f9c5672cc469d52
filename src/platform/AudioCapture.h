#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quietmon {

struct CaptureFormat {
    int channels = 2;
    int framesPerSecond = 44100;
    int bitsPerSample = 16; // 8 (unsigned) or 16 (signed, little-endian)
    // How the program will queue buffers, so that the driver can size its own periods to match.
    int framesPerBuffer = 5512;
    int buffers = 4;
};

// An open capture device. Buffers are filled in the order they were added; each filled buffer comes
// back through the device's done callback, on the logic thread, and belongs to the driver until then.
class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    // Hands a buffer to the driver. `tag` comes back with it.
    virtual bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string& error) = 0;
    virtual bool start(std::string& error) = 0;
    // Stops recording; every buffer still queued comes back through the done callback.
    virtual void reset() = 0;
};

// The system's capture devices.
class CaptureDriver {
public:
    using BufferDone = std::function<void(int tag)>;

    virtual ~CaptureDriver() = default;
    // The devices' names; a device's number is its position here.
    virtual std::vector<std::string> deviceNames() = 0;
    // Opens device number `device` (-1: the system's default input). On failure sets `error` to the
    // system's text and returns nothing.
    virtual std::unique_ptr<CaptureDevice> open(int device, const CaptureFormat& format,
                                                BufferDone onBufferDone, std::string& error) = 0;
};

} // namespace quietmon
