#include "audio/AudioInput.h"

#include <exception>

namespace quietmon {

AudioInput::AudioInput(EventLoop& loop, WaveInDriver& waveIn, AudioEndpoints& endpoints, Log log,
                       Measure measure)
    : m_loop(loop), m_waveIn(waveIn), m_endpoints(endpoints), m_log(std::move(log)),
      m_measure(std::move(measure)), m_watchdog(loop.createTimer([this] { onCaptureWatchdog(); })),
      m_endpointPollTimer(loop.createTimer([this] { onEndpointPollTimer(); })) {
    m_watchdog->setInterval(watchdogIntervalMs);
    createCapture(0);
}

void AudioInput::createCapture(int waveDevice) {
    m_waveInCapture = std::make_unique<WaveInCapture>(m_waveIn);
    m_waveInCapture->setWaveDevice(waveDevice);
    m_waveInCapture->setOnBufferFilled(
        [this](std::span<const std::uint8_t> buffer, int& size) { return onBufferFilled(buffer, size); });
    // 5512 stereo frames of 16 bits: just under 125 ms at 44100 frames per second.
    m_waveInCapture->setBufferSize(22048);
    m_waveInCapture->setFrameRate(44100);
    m_waveInCapture->setNumBuffers(4);
    m_waveInCapture->setQuantization(16);
    m_waveInCapture->setStereo(true);
}

void AudioInput::openSelectedAudioDevice(int selectedLine) {
    m_selectedEntry = -1;
    const auto& entries = m_devices.entries();
    if (selectedLine < 0 || selectedLine >= static_cast<int>(entries.size())) {
        m_log("No audio device selected");
        return;
    }
    const AudioDevice& entry = entries[static_cast<std::size_t>(selectedLine)];
    if (entry.kind == AudioDeviceKind::WaveIn) {
        bool started = false;
        try {
            m_waveInCapture->setWaveDevice(entry.index);
            started = m_waveInCapture->start();
            m_selectedEntry = selectedLine;
        } catch (const std::exception&) {
        }
        // A device that cannot be opened is reported, not left to fail in silence.
        if (!started)
            m_log("Can't open input audio device");
        return;
    }
    m_meter = m_endpoints.openMeter(entry.id);
    if (!m_meter) {
        m_log("Can't open the audio device EndPoint");
        return;
    }
    m_selectedEntry = selectedLine;
    m_endpointPollTimer->setEnabled(true);
    m_watchdog->setEnabled(false);
}

void AudioInput::bufferReachedMeasurement(DateTime now) {
    m_lastBufferTime = now;
    m_watchdog->setEnabled(false);
    m_watchdog->setEnabled(true);
}

bool AudioInput::onBufferFilled(std::span<const std::uint8_t> buffer, int& size) {
    m_measure(MeasureMode::WaveInBuffer, buffer, size);
    return true;
}

void AudioInput::onCaptureWatchdog() {
    const DateTime now = m_loop.clock().now();
    if (secondsBetween(m_lastBufferTime, now) < 8)
        return;
    m_lastBufferTime = now;
    // The device opened at start-up, whatever the Setup dialog shows now: a new choice takes effect at the
    // next start. Notifications the old component's driver still posts find it gone and do nothing.
    const auto& entries = m_devices.entries();
    const int waveDevice = m_selectedEntry >= 0 && m_selectedEntry < static_cast<int>(entries.size())
                               ? entries[static_cast<std::size_t>(m_selectedEntry)].index
                               : 0;
    try {
        m_waveInCapture->stop();
        m_waveInCapture.reset();
        createCapture(waveDevice);
        m_waveInCapture->start();
    } catch (const std::exception&) {
        if (!m_waveInCapture)
            createCapture(waveDevice);
    }
}

bool AudioInput::readEndpointPeaks() {
    const auto peaks = m_meter ? m_meter->readPeaks() : std::nullopt;
    if (!peaks || peaks->empty() || peaks->size() >= 8)
        return false;
    m_endpointPeakLeft = (*peaks)[0];
    m_endpointPeakRight = peaks->size() > 1 ? (*peaks)[1] : (*peaks)[0];
    return true;
}

void AudioInput::onEndpointPollTimer() {
    readEndpointPeaks();
    m_measure(MeasureMode::EndpointPeaks, {}, 0);
}

void AudioInput::stopAtExit() {
    const auto& entries = m_devices.entries();
    if (m_selectedEntry < 0 || m_selectedEntry >= static_cast<int>(entries.size()) ||
        entries[static_cast<std::size_t>(m_selectedEntry)].kind != AudioDeviceKind::WaveIn)
        return;
    try {
        m_waveInCapture->stop();
    } catch (const std::exception&) {
    }
}

} // namespace quietmon
