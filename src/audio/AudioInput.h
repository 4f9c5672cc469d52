#pragma once

#include "audio/AudioDeviceList.h"
#include "audio/BufferedCapture.h"
#include "audio/StreamCaptureDriver.h"
#include "config/Settings.h"
#include "platform/AudioCapture.h"
#include "platform/AudioEndpoints.h"
#include "platform/NetworkStream.h"
#include "runtime/EventLoop.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quietmon {

// What a measurement is made of: a filled captured buffer, the endpoint's stored peaks, or nothing at all
// (the input delivers nothing, which counts as digital silence).
enum class MeasureMode { CapturedBuffer = 0, EndpointPeaks = 1, InputLost = 2 };

// Brings levels into the program: the device list, the device opened at start-up, the capture
// component with its watchdog, and the endpoint peak meter with its polling. The meter is read once per
// peak holding time: as soon as the server delivered that much, so that a read costs no wake-up of its
// own, and by the polling timer when a delivery is half a holding time late or the endpoint delivers
// nothing. An input that delivers
// nothing is never taken for a quiet one that cannot be heard: after `inputLostAfterMs` without a buffer
// or a successful meter reading, the measurement is fed digital silence every `lostMeasurementIntervalMs`
// until input comes back, so a dead capture, a lost sound server or a device that never opened raises
// the alarm as a silent programme would. A capture that stalls is made anew at once (the endpoint meter
// does so by itself), then by the watchdog every 10 s.
class AudioInput {
public:
    // The level measurement: a filled buffer (mode 0) or the stored endpoint peaks (mode 1, no buffer).
    using Measure = std::function<void(MeasureMode mode, std::span<const std::uint8_t> buffer, int size)>;
    using Log = std::function<void(const std::string& text)>;

    static constexpr int watchdogIntervalMs = 10'000;
    static constexpr int inputLostAfterMs = 1000;
    static constexpr int lostMeasurementIntervalMs = 125;
    // How long a device just opened may take to deliver its first input.
    static constexpr int firstInputGraceMs = 3000;

    AudioInput(EventLoop& loop, CaptureDriver& waveIn, AudioEndpoints& endpoints, Log log, Measure measure);

    AudioDeviceList& devices() { return m_devices; }
    // Offers the "Network stream" line, read through `streams`; before the devices are listed.
    void offerNetworkStreams(NetworkStreams& streams);
    void listAudioDevices() { m_devices.listAudioDevices(m_waveIn, m_endpoints, m_stream != nullptr); }
    // The last "now playing" title of the stream; empty for every other input.
    std::string streamTitle() const;
    // The selector line of the device opened at start-up; empty when none was.
    std::string openedDeviceLine() const;
    void setOnStreamTitleChanged(std::function<void()> handler) {
        m_onStreamTitleChanged = std::move(handler);
    }
    // Chooses the line of the device stored in the settings; a stored device that is not listed now is
    // reported when the device is opened, once the log is open.
    void chooseStartupDevice(GeneralSettings& general);
    void openSelectedAudioDevice(int selectedLine);
    // A captured buffer reached the measurement: the watchdog starts counting again.
    void bufferReachedMeasurement(DateTime now);
    // At exit: a buffered capture is stopped, errors ignored.
    void stopAtExit();
    // The endpoint meter's polling interval; a meter opened after this is asked for data at that pace.
    void setPeakHoldTime(int ms);
    bool inputLost() const { return m_inputLost; }

    int selectedDeviceEntry() const { return m_selectedEntry; }
    float endpointPeakLeft() const { return m_endpointPeakLeft; }
    float endpointPeakRight() const { return m_endpointPeakRight; }
    DateTime lastBufferTime() const { return m_lastBufferTime; }
    BufferedCapture& waveInCapture() { return *m_waveInCapture; }
    Timer& captureWatchdog() { return *m_watchdog; }
    Timer& endpointPollTimer() { return *m_endpointPollTimer; }
    Timer& inputLossTimer() { return *m_inputLossTimer; }

private:
    void createCapture(const AudioDevice* entry);
    bool openCapture(const AudioDevice& entry);
    bool openEndpointMeter(const AudioDevice& entry);
    // A buffer or a meter reading arrived: the input is there, and the count towards "lost" begins again.
    void inputArrived();
    // The input counts as lost unless something arrives within `ms` from now.
    void countTowardsLoss(int ms);
    void onInputLossTimer();
    // "Audio input lost" and "Audio input back", but a stream that keeps stalling after each fresh start,
    // coming back for moments only, is logged once an hour and not at every stall.
    void logLoss(DateTime now);
    void logReturn(DateTime now);
    // A fresh buffered capture of the device opened at start-up.
    void restartCapture();
    int inputLostAfter() const;
    bool onBufferFilled(std::span<const std::uint8_t> buffer, int& size);
    void onCaptureWatchdog();
    void onEndpointPollTimer();
    void onEndpointDelivery();
    void pollEndpoint();
    bool readEndpointPeaks();

    EventLoop& m_loop;
    CaptureDriver& m_waveIn;
    AudioEndpoints& m_endpoints;
    Log m_log;
    Measure m_measure;
    AudioDeviceList m_devices;
    std::unique_ptr<StreamCaptureDriver> m_stream; // with the stream offered
    std::function<void()> m_onStreamTitleChanged;
    std::unique_ptr<BufferedCapture> m_waveInCapture;
    std::unique_ptr<EndpointPeakMeter> m_meter;
    int m_selectedEntry = -1;
    int m_openedLine = -1;        // the line opened at start-up, tried again while it cannot be opened
    std::string m_deviceNotFound; // logged when the device is opened
    float m_endpointPeakLeft = 0.0f;
    float m_endpointPeakRight = 0.0f;
    DateTime m_lastBufferTime;
    int m_peakHoldTimeMs = Timer::defaultIntervalMs;
    std::unique_ptr<Timer> m_watchdog;
    std::unique_ptr<Timer> m_endpointPollTimer;
    std::unique_ptr<Timer> m_inputLossTimer;
    bool m_inputLost = false;
    std::optional<DateTime> m_inputBackAt;  // when input last came back after a loss
    std::optional<DateTime> m_lossLoggedAt; // when a loss was last logged
    bool m_lossLogged = false;              // the present or last loss
};

} // namespace quietmon
