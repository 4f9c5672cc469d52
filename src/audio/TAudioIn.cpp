#include "audio/TAudioIn.h"

#include <algorithm>

namespace quietmon {

TAudioIn::TAudioIn(WaveInDriver& driver) : m_driver(driver), m_self(std::make_shared<TAudioIn*>(this)) {
    allocateBuffers();
}

TAudioIn::~TAudioIn() {
    *m_self = nullptr;
    if (m_device)
        m_device->reset();
}

void TAudioIn::allocateBuffers() {
    // Every ring slot, whatever the current count, so that no later setting can leave one short.
    for (auto& buffer : m_buffers)
        buffer.assign(static_cast<std::size_t>(effectiveBufferSize()), 0);
}

void TAudioIn::setBufferSize(int bytes) {
    m_bufferSize = std::max(bytes, 512);
    allocateBuffers();
}

void TAudioIn::setNumBuffers(int count) {
    m_numBuffers = std::clamp(count, 2, maxBuffers);
}

void TAudioIn::setFrameRate(int framesPerSecond) {
    m_frameRate = framesPerSecond;
}

void TAudioIn::setStereo(bool stereo) {
    m_stereo = stereo;
    if (!isOpen())
        allocateBuffers();
}

void TAudioIn::setQuantization(int bits) {
    m_quantization = bits <= 8 ? 8 : 16;
    if (!isOpen())
        allocateBuffers();
}

void TAudioIn::setError(const std::string& text) {
    m_lastError = text.substr(0, 255);
}

bool TAudioIn::Start() {
    return OpenDevice() && StartRecording();
}

bool TAudioIn::OpenDevice() {
    if (isOpen()) {
        m_lastError = "Wave Input device is already open";
        return false;
    }
    m_ring = 0;
    const WaveInFormat format{m_stereo ? 2 : 1, m_frameRate, m_quantization,
                              effectiveBufferSize() / blockAlign(), m_numBuffers};
    std::string error;
    std::weak_ptr<TAudioIn*> self = m_self;
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

bool TAudioIn::StartRecording() {
    std::string error;
    if (!m_device || !m_device->start(error)) {
        CloseDevice();
        setError("Error starting wave record: " + error);
        return false;
    }
    m_active = true;
    for (int i = 0; i < m_numBuffers; ++i) {
        if (!QueueBuffer()) {
            CloseDevice();
            return false;
        }
    }
    return true;
}

bool TAudioIn::QueueBuffer() {
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

void TAudioIn::bufferDone() {
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
        QueueBuffer();
    if (!m_active) {
        m_accepting = false;
        CloseDevice();
    }
}

void TAudioIn::Stop() {
    if (!isOpen())
        return;
    m_active = false;
    m_accepting = false;
    m_device->reset();
    CloseDevice();
}

void TAudioIn::CloseDevice() {
    m_active = false;
    if (m_device)
        m_device->reset();
    m_device.reset();
}

} // namespace quietmon
