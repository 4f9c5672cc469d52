#pragma once

#include "audio/AudioDeviceList.h"
#include "audio/WaveInCapture.h"
#include "config/Settings.h"
#include "platform/AudioEndpoints.h"
#include "platform/EventLoop.h"
#include "platform/WaveIn.h"

#include <functional>
#include <memory>
#include <span>
#include <string>

namespace quietmon {

enum class MeasureMode { WaveInBuffer = 0, EndpointPeaks = 1 };

// Brings levels into the program: the device list, the device opened at start-up, the capture
// component with its watchdog, and the endpoint peak meter with its polling timer.
class AudioInput {
public:
    // The level measurement: a filled buffer (mode 0) or the stored endpoint peaks (mode 1, no buffer).
    using Measure = std::function<void(MeasureMode mode, std::span<const std::uint8_t> buffer, int size)>;
    using Log = std::function<void(const std::string& text)>;

    static constexpr int watchdogIntervalMs = 10'000;

    AudioInput(EventLoop& loop, WaveInDriver& waveIn, AudioEndpoints& endpoints, Log log, Measure measure);

    AudioDeviceList& devices() { return m_devices; }
    void listAudioDevices() { m_devices.listAudioDevices(m_waveIn, m_endpoints); }
    void chooseStartupDevice(GeneralSettings& general) { m_devices.chooseStartupLine(general); }
    void openSelectedAudioDevice(int selectedLine);
    // A wave-in buffer reached the measurement: the watchdog starts counting again.
    void bufferReachedMeasurement(DateTime now);
    // At exit: a wave-in capture is stopped, errors ignored.
    void stopAtExit();
    void setPeakHoldTime(int ms) { m_endpointPollTimer->setInterval(ms); }

    int selectedDeviceEntry() const { return m_selectedEntry; }
    float endpointPeakLeft() const { return m_endpointPeakLeft; }
    float endpointPeakRight() const { return m_endpointPeakRight; }
    DateTime lastBufferTime() const { return m_lastBufferTime; }
    WaveInCapture& waveInCapture() { return *m_waveInCapture; }
    Timer& captureWatchdog() { return *m_watchdog; }
    Timer& endpointPollTimer() { return *m_endpointPollTimer; }

private:
    void createCapture(int waveDevice);
    bool onBufferFilled(std::span<const std::uint8_t> buffer, int& size);
    void onCaptureWatchdog();
    void onEndpointPollTimer();
    bool readEndpointPeaks();

    EventLoop& m_loop;
    WaveInDriver& m_waveIn;
    AudioEndpoints& m_endpoints;
    Log m_log;
    Measure m_measure;
    AudioDeviceList m_devices;
    std::unique_ptr<WaveInCapture> m_waveInCapture;
    std::unique_ptr<EndpointPeakMeter> m_meter;
    int m_selectedEntry = -1;
    float m_endpointPeakLeft = 0.0f;
    float m_endpointPeakRight = 0.0f;
    DateTime m_lastBufferTime;
    std::unique_ptr<Timer> m_watchdog;
    std::unique_ptr<Timer> m_endpointPollTimer;
};

} // namespace quietmon
