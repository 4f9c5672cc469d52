#pragma once

#include "platform/AudioCapture.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quietmon {

// The capture component: a ring of buffers circulating between the driver and the program. Each
// filled buffer goes to onBufferFilled; a true result gives it back to the driver.
class BufferedCapture {
public:
    static constexpr int maxBuffers = 4;
    // The buffer and its size in bytes (which the handler may change); true gives the buffer back.
    using BufferFilled = std::function<bool(std::span<const std::uint8_t> buffer, int& size)>;

    explicit BufferedCapture(CaptureDriver& driver);
    ~BufferedCapture();
    BufferedCapture(const BufferedCapture&) = delete;
    BufferedCapture& operator=(const BufferedCapture&) = delete;

    // Values below 512 become 512; the buffers are made again.
    void setBufferSize(int bytes);
    // Clamped to 2..4.
    void setNumBuffers(int count);
    void setFrameRate(int framesPerSecond);
    void setStereo(bool stereo);
    // Below 8 becomes 8, above 8 becomes 16.
    void setQuantization(int bits);
    // -1 is the system's default input.
    void setWaveDevice(int device) { m_waveDevice = device; }
    void setOnBufferFilled(BufferFilled handler) { m_onBufferFilled = std::move(handler); }

    int bufferSize() const { return m_bufferSize; }
    int numBuffers() const { return m_numBuffers; }
    int frameRate() const { return m_frameRate; }
    bool stereo() const { return m_stereo; }
    int quantization() const { return m_quantization; }
    int waveDevice() const { return m_waveDevice; }
    int blockAlign() const { return m_quantization / 8 * (m_stereo ? 2 : 1); }
    int bytesPerSecond() const { return blockAlign() * m_frameRate; }
    // The buffer size rounded down to whole frames.
    int effectiveBufferSize() const { return m_bufferSize - m_bufferSize % blockAlign(); }

    bool start();
    bool openDevice();
    bool startRecording();
    bool queueBuffer();
    void stop();
    void closeDevice();

    bool isOpen() const { return m_device != nullptr; }
    bool isActive() const { return m_active; }
    bool isAccepting() const { return m_accepting; }
    int queuedCount() const { return m_queued; }
    const std::string& lastError() const { return m_lastError; }

private:
    void allocateBuffers();
    void bufferDone();
    void setError(const std::string& text);

    CaptureDriver& m_driver;
    int m_bufferSize = 8192;
    int m_numBuffers = 4;
    int m_frameRate = 22050;
    bool m_stereo = false;
    int m_quantization = 16;
    int m_waveDevice = -1;
    BufferFilled m_onBufferFilled;

    std::array<std::vector<std::uint8_t>, maxBuffers> m_buffers;
    std::unique_ptr<CaptureDevice> m_device;
    bool m_accepting = false;
    bool m_active = false;
    int m_queued = 0;
    int m_ring = 0; // the next buffer to come back
    std::string m_lastError;
    // Notifications the driver posted before this component went away find it gone and do nothing.
    std::shared_ptr<BufferedCapture*> m_self;
};

} // namespace quietmon
