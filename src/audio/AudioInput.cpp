#include "audio/AudioInput.h"

#include "config/SettingsStore.h"

#include <algorithm>
#include <exception>

namespace quietmon {

AudioInput::AudioInput(EventLoop& loop, CaptureDriver& waveIn, AudioEndpoints& endpoints, Log log,
                       Measure measure)
    : m_loop(loop), m_waveIn(waveIn), m_endpoints(endpoints), m_log(std::move(log)),
      m_measure(std::move(measure)), m_watchdog(loop.createTimer([this] { onCaptureWatchdog(); })),
      m_endpointPollTimer(loop.createTimer([this] { onEndpointPollTimer(); })),
      m_inputLossTimer(loop.createTimer([this] { onInputLossTimer(); })) {
    m_watchdog->setInterval(watchdogIntervalMs);
    createCapture(nullptr);
}

void AudioInput::offerNetworkStreams(NetworkStreams& streams) {
    m_stream = std::make_unique<StreamCaptureDriver>(streams, m_log);
    m_stream->setOnTitleChanged([this] {
        if (m_onStreamTitleChanged)
            m_onStreamTitleChanged();
    });
}

std::string AudioInput::streamTitle() const {
    const auto& entries = m_devices.entries();
    const bool streamOpened =
        m_stream && m_selectedEntry >= 0 &&
        entries[static_cast<std::size_t>(m_selectedEntry)].kind == AudioDeviceKind::Stream;
    return streamOpened ? m_stream->streamTitle() : std::string();
}

std::string AudioInput::openedDeviceLine() const {
    const auto& lines = m_devices.lines();
    return m_openedLine >= 0 && m_openedLine < static_cast<int>(lines.size())
               ? lines[static_cast<std::size_t>(m_openedLine)]
               : std::string();
}

// The stream is read as a capture device of its own: its buffers take the same path as a sound card's.
void AudioInput::createCapture(const AudioDevice* entry) {
    const bool stream = entry && entry->kind == AudioDeviceKind::Stream && m_stream;
    m_waveInCapture = std::make_unique<BufferedCapture>(stream ? *m_stream : m_waveIn);
    m_waveInCapture->setWaveDevice(entry ? entry->index : 0);
    m_waveInCapture->setOnBufferFilled(
        [this](std::span<const std::uint8_t> buffer, int& size) { return onBufferFilled(buffer, size); });
    // 5512 stereo frames of 16 bits: just under 125 ms at 44100 frames per second.
    m_waveInCapture->setBufferSize(22048);
    m_waveInCapture->setFrameRate(44100);
    m_waveInCapture->setNumBuffers(4);
    m_waveInCapture->setQuantization(16);
    m_waveInCapture->setStereo(true);
}

void AudioInput::chooseStartupDevice(GeneralSettings& general) {
    const std::string stored = general.audioInDeviceName;
    if (m_stream)
        m_stream->setAddress(general.streamAddress);
    const bool found = m_devices.chooseStartupLine(general);
    // A fresh settings file names no device; anything else the operator chose and should hear about.
    if (!found && !stored.empty() && findDeviceLine({AudioDeviceList::defaultLine}, stored, -1) < 0)
        m_deviceNotFound = "Audio device not found: " + stored + "; using " +
                           m_devices.lines()[static_cast<std::size_t>(general.audioInDevice)];
}

void AudioInput::openSelectedAudioDevice(int selectedLine) {
    m_selectedEntry = -1;
    if (!m_deviceNotFound.empty())
        m_log(m_deviceNotFound);
    const auto& entries = m_devices.entries();
    if (selectedLine < 0 || selectedLine >= static_cast<int>(entries.size()) ||
        entries[static_cast<std::size_t>(selectedLine)].kind == AudioDeviceKind::None) {
        m_log("No audio device selected");
        // Nothing can be heard from the start; the first silent measurement waits for the event loop.
        m_inputLossTimer->setInterval(0);
        m_inputLossTimer->setEnabled(true);
        return;
    }
    m_openedLine = selectedLine;
    const AudioDevice& entry = entries[static_cast<std::size_t>(selectedLine)];
    bool opened = false;
    if (entry.kind == AudioDeviceKind::Capture || entry.kind == AudioDeviceKind::Stream)
        opened = openCapture(entry);
    else if (!(opened = openEndpointMeter(entry)))
        m_log("Can't open the audio device EndPoint");
    // A device that cannot be opened is reported once, then tried again every watchdog tick; so is a
    // capture device that opens but never delivers a buffer.
    if (!m_meter)
        m_watchdog->setEnabled(true);
    // A sound server's first buffer can take more than a second after a cold start.
    countTowardsLoss(opened ? std::max(firstInputGraceMs, inputLostAfter()) : inputLostAfter());
}

bool AudioInput::openCapture(const AudioDevice& entry) {
    bool started = false;
    try {
        if (entry.kind == AudioDeviceKind::Stream)
            createCapture(&entry);
        else
            m_waveInCapture->setWaveDevice(entry.index);
        started = m_waveInCapture->start();
        m_selectedEntry = m_openedLine;
    } catch (const std::exception&) {
    }
    // A stream that cannot be opened has said why.
    if (!started && entry.kind != AudioDeviceKind::Stream)
        m_log("Can't open input audio device");
    return started;
}

void AudioInput::setPeakHoldTime(int ms) {
    if (m_meter && ms != m_peakHoldTimeMs)
        m_meter->setReadInterval(ms);
    m_peakHoldTimeMs = ms;
    m_endpointPollTimer->setInterval(ms);
    if (m_openedLine >= 0 && !m_inputLost && inputLostAfter() > m_inputLossTimer->interval())
        m_inputLossTimer->setInterval(inputLostAfter());
}

bool AudioInput::openEndpointMeter(const AudioDevice& entry) {
    m_meter = m_endpoints.openMeter(entry.id, m_peakHoldTimeMs);
    if (!m_meter)
        return false;
    m_meter->notifyDeliveries(m_loop, [this] { onEndpointDelivery(); });
    m_selectedEntry = m_openedLine;
    m_endpointPollTimer->setEnabled(true);
    m_watchdog->setEnabled(false);
    return true;
}

void AudioInput::bufferReachedMeasurement(DateTime now) {
    m_lastBufferTime = now;
    m_watchdog->setEnabled(false);
    m_watchdog->setEnabled(true);
    inputArrived();
}

void AudioInput::inputArrived() {
    if (m_inputLost) {
        m_inputLost = false;
        logReturn(m_loop.clock().now());
    }
    countTowardsLoss(inputLostAfter());
}

void AudioInput::logLoss(DateTime now) {
    constexpr std::int64_t flappingWithinMs = 60'000;
    constexpr std::int64_t flappingLoggedEveryMs = 3'600'000;
    const bool flapping = m_inputBackAt && millisecondsBetween(now, *m_inputBackAt) < flappingWithinMs;
    m_lossLogged =
        !flapping || !m_lossLoggedAt || millisecondsBetween(now, *m_lossLoggedAt) >= flappingLoggedEveryMs;
    if (!m_lossLogged)
        return;
    m_lossLoggedAt = now;
    m_log("Audio input lost");
}

void AudioInput::logReturn(DateTime now) {
    m_inputBackAt = now;
    if (m_lossLogged)
        m_log("Audio input back");
}

void AudioInput::countTowardsLoss(int ms) {
    m_inputLossTimer->setEnabled(false);
    m_inputLossTimer->setInterval(ms);
    m_inputLossTimer->setEnabled(true);
}

// A meter polled less often than once a second is not lost between two readings.
int AudioInput::inputLostAfter() const {
    if (!m_meter)
        return inputLostAfterMs;
    return std::max(inputLostAfterMs, m_peakHoldTimeMs + lostMeasurementIntervalMs);
}

void AudioInput::onInputLossTimer() {
    if (!m_inputLost) {
        m_inputLost = true;
        logLoss(m_loop.clock().now());
        m_inputLossTimer->setInterval(lostMeasurementIntervalMs);
        if (!m_meter && m_selectedEntry >= 0) {
            // A capture that opened and stopped delivering; the watchdog counts its 10 s from here.
            restartCapture();
            m_watchdog->setEnabled(false);
            m_watchdog->setEnabled(true);
        }
    }
    m_measure(MeasureMode::InputLost, {}, 0);
}

bool AudioInput::onBufferFilled(std::span<const std::uint8_t> buffer, int& size) {
    m_measure(MeasureMode::CapturedBuffer, buffer, size);
    return true;
}

void AudioInput::onCaptureWatchdog() {
    const auto& entries = m_devices.entries();
    if (m_openedLine >= 0 &&
        entries[static_cast<std::size_t>(m_openedLine)].kind == AudioDeviceKind::Endpoint) {
        openEndpointMeter(entries[static_cast<std::size_t>(m_openedLine)]);
        return;
    }
    if (secondsBetween(m_lastBufferTime, m_loop.clock().now()) < 8)
        return;
    restartCapture();
}

void AudioInput::restartCapture() {
    const auto& entries = m_devices.entries();
    m_lastBufferTime = m_loop.clock().now();
    // The device opened at start-up, whatever the Setup dialog shows now: a new choice takes effect at the
    // next start. Notifications the old component's driver still posts find it gone and do nothing.
    const AudioDevice* entry = m_selectedEntry >= 0 && m_selectedEntry < static_cast<int>(entries.size())
                                   ? &entries[static_cast<std::size_t>(m_selectedEntry)]
                                   : nullptr;
    try {
        m_waveInCapture->stop();
        m_waveInCapture.reset();
        createCapture(entry);
        m_waveInCapture->start();
    } catch (const std::exception&) {
        if (!m_waveInCapture)
            createCapture(entry);
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
    // Until a delivery comes, the timer polls at the peak holding time.
    m_endpointPollTimer->setInterval(m_peakHoldTimeMs);
    pollEndpoint();
}

void AudioInput::onEndpointDelivery() {
    // While deliveries keep the pace the timer stays back; it polls when one is half a holding time late.
    m_endpointPollTimer->setEnabled(false);
    m_endpointPollTimer->setInterval(m_peakHoldTimeMs + m_peakHoldTimeMs / 2);
    m_endpointPollTimer->setEnabled(true);
    pollEndpoint();
}

void AudioInput::pollEndpoint() {
    if (readEndpointPeaks())
        inputArrived();
    else if (m_inputLost)
        return; // silence is measured meanwhile, not the last peaks the meter gave
    m_measure(MeasureMode::EndpointPeaks, {}, 0);
}

void AudioInput::stopAtExit() {
    const auto& entries = m_devices.entries();
    if (m_selectedEntry < 0 || m_selectedEntry >= static_cast<int>(entries.size()) ||
        entries[static_cast<std::size_t>(m_selectedEntry)].kind == AudioDeviceKind::Endpoint)
        return;
    try {
        m_waveInCapture->stop();
    } catch (const std::exception&) {
    }
}

} // namespace quietmon
