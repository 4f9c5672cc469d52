#pragma once

#include "platform/AudioCapture.h"

#include <functional>
#include <memory>
#include <string>

namespace quietmon {

// What a stream reader tells the logic thread besides its buffers; each call comes on the logic thread.
struct StreamEvents {
    // The stream opened and decodes: its codec's name, sample rate and channel count.
    std::function<void(const std::string& codec, int sampleRate, int channels)> connected;
    // The connection failed or ended; the reader delivers nothing more.
    std::function<void(const std::string& reason)> lost;
    // The server announced a new "now playing" title.
    std::function<void(const std::string& title)> title;
};

// Reads audio from a network address, decoded and resampled to the capture format, into the queued
// buffers of a CaptureDevice. One connection per device: a lost stream is read again through a new one.
class NetworkStreams {
public:
    virtual ~NetworkStreams() = default;
    // Starts nothing yet: the device's start() connects, on a thread of its own.
    virtual std::unique_ptr<CaptureDevice> open(const std::string& address, const CaptureFormat& format,
                                                CaptureDriver::BufferDone onBufferDone, StreamEvents events,
                                                std::string& error) = 0;
};

} // namespace quietmon
