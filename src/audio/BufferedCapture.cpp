#include "audio/BufferedCapture.h"

#include <algorithm>

namespace quietmon {

BufferedCapture::BufferedCapture(CaptureDriver& driver)
    : m_driver(driver), m_self(std::make_shared<BufferedCapture*>(this)) {
    allocateBuffers();
}

BufferedCapture::~BufferedCapture() {
    *m_self = nullptr;
    if (m_device)
        m_device->reset();
}

void BufferedCapture::allocateBuffers() {
    // Every ring slot, whatever the current count, so that no later setting can leave one short.
    for (auto& buffer : m_buffers)
        buffer.assign(static_cast<std::size_t>(effectiveBufferSize()), 0);
}

void BufferedCapture::setBufferSize(int bytes) {
    m_bufferSize = std::max(bytes, 512);
    allocateBuffers();
}

void BufferedCapture::setNumBuffers(int count) {
    m_numBuffers = std::clamp(count, 2, maxBuffers);
}

void BufferedCapture::setFrameRate(int framesPerSecond) {
    m_frameRate = framesPerSecond;
}

void BufferedCapture::setStereo(bool stereo) {
    m_stereo = stereo;
    if (!isOpen())
        allocateBuffers();
}

void BufferedCapture::setQuantization(int bits) {
    m_quantization = bits <= 8 ? 8 : 16;
    if (!isOpen())
        allocateBuffers();
}

void BufferedCapture::setError(const std::string& text) {
    m_lastError = text.substr(0, 255);
}

bool BufferedCapture::start() {
    return openDevice() && startRecording();
}

bool BufferedCapture::openDevice() {
    if (isOpen()) {
        m_lastError = "Wave Input device is already open";
        return false;
    }
    m_ring = 0;
    const CaptureFormat format{m_stereo ? 2 : 1, m_frameRate, m_quantization,
                               effectiveBufferSize() / blockAlign(), m_numBuffers};
    std::string error;
    std::weak_ptr<BufferedCapture*> self = m_self;
    m_device = m_driver.open(
        m_waveDevice, format,
        [self](int) {
            if (const auto alive = self.lock(); alive && *alive)
                (*alive)->bufferDone();
        },
        error);
    if (!m_device) {
        setError(error);
        return false;
    }
    m_queued = 0;
    m_accepting = true;
    m_active = true;
    return true;
}

bool BufferedCapture::startRecording() {
    std::string error;
    if (!m_device || !m_device->start(error)) {
        closeDevice();
        setError("Error starting wave record: " + error);
        return false;
    }
    m_active = true;
    for (int i = 0; i < m_numBuffers; ++i) {
        if (!queueBuffer()) {
            closeDevice();
            return false;
        }
    }
    return true;
}

bool BufferedCapture::queueBuffer() {
    std::string error;
    auto& buffer = m_buffers[static_cast<std::size_t>(m_ring)];
    const auto bytes = std::min(buffer.size(), static_cast<std::size_t>(effectiveBufferSize()));
    if (!m_device || !m_device->addBuffer(std::span(buffer.data(), bytes), m_ring, error)) {
        setError(error);
        m_accepting = false; // the device closes once the queue has drained
        return false;
    }
    m_ring = (m_ring + 1) % m_numBuffers;
    ++m_queued;
    return true;
}

void BufferedCapture::bufferDone() {
    --m_queued;
    m_active = m_queued > 0;
    bool giveBack = false;
    if (m_accepting) {
        // The ring position names the buffer just completed: buffers come back in queue order.
        const auto& buffer = m_buffers[static_cast<std::size_t>(m_ring)];
        int size = effectiveBufferSize();
        const auto bytes = std::min(buffer.size(), static_cast<std::size_t>(size));
        giveBack = !m_onBufferFilled || m_onBufferFilled(std::span(buffer.data(), bytes), size);
    }
    if (giveBack)
        queueBuffer();
    if (!m_active) {
        m_accepting = false;
        closeDevice();
    }
}

void BufferedCapture::stop() {
    if (!isOpen())
        return;
    m_active = false;
    m_accepting = false;
    m_device->reset();
    closeDevice();
}

void BufferedCapture::closeDevice() {
    m_active = false;
    if (m_device)
        m_device->reset();
    m_device.reset();
}

} // namespace quietmon
