#include "monitor/RecordingScan.h"

#include "audio/WavReader.h"
#include "config/ProductName.h"
#include "monitor/Monitor.h"
#include "runtime/VirtualEventLoop.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <ostream>

namespace quietmon {

namespace {

constexpr int framesPerBuffer = 5512;

// The capture driver of a scan: the one device is the recording, and a buffer is filled when the scan
// hands it the next frames.
class RecordingDriver final : public CaptureDriver {
public:
    explicit RecordingDriver(EventLoop& loop) : m_loop(loop) {}

    std::vector<std::string> deviceNames() override { return {"recording"}; }
    std::unique_ptr<CaptureDevice> open(int, const CaptureFormat&, BufferDone onBufferDone,
                                        std::string&) override {
        auto device = std::make_unique<Device>(*this, std::move(onBufferDone));
        m_device = device.get();
        return device;
    }

    // Fills the first queued buffer with `frames` and posts it; false if no buffer is queued.
    bool deliver(std::span<const std::uint8_t> frames) {
        if (!m_device || m_device->queue.empty())
            return false;
        auto [buffer, tag] = m_device->queue.front();
        m_device->queue.pop_front();
        std::memcpy(buffer.data(), frames.data(), std::min(buffer.size(), frames.size()));
        m_loop.post([done = m_device->onDone, doneTag = tag] { done(doneTag); });
        return true;
    }

private:
    struct Device final : CaptureDevice {
        Device(RecordingDriver& driver, BufferDone done) : owner(driver), onDone(std::move(done)) {}
        ~Device() override {
            if (owner.m_device == this)
                owner.m_device = nullptr;
        }
        bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string&) override {
            queue.emplace_back(buffer, tag);
            return true;
        }
        bool start(std::string&) override { return true; }
        void reset() override { queue.clear(); }

        RecordingDriver& owner;
        BufferDone onDone;
        std::deque<std::pair<std::span<std::uint8_t>, int>> queue;
    };

    EventLoop& m_loop;
    Device* m_device = nullptr;
};

class NoEndpoints final : public AudioEndpoints {
public:
    std::vector<AudioEndpoint> list() override { return {}; }
    std::unique_ptr<EndpointPeakMeter> openMeter(const std::string&, int) override { return nullptr; }
};

// A recording has no desktop: the window condition is never in force during a scan.
class NoWindows final : public DesktopWindows {
public:
    std::optional<TopLevelWindow> findWindow(const std::string&, bool) override { return std::nullopt; }
    std::vector<TopLevelWindow> listWindows() override { return {}; }
    bool windowExists(std::uint64_t) override { return false; }
    std::optional<TopLevelWindow> findWindowByTitleAndClass(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool requestWindowClose(std::uint64_t, int) override { return false; }
    int windowProcessId(std::uint64_t) override { return 0; }
};

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// Prints what the monitor decides: levels stamped with the offset of the buffer being measured, the
// alarm and the return at the moment their countdowns fire.
class ScanPrinter final : public MonitorView {
public:
    ScanPrinter(std::ostream& out, bool levels, const VirtualEventLoop& loop)
        : m_out(out), m_levels(levels), m_loop(loop) {}
    void setOffset(double offsetSeconds) { m_offset = offsetSeconds; }

    void showMeasurement(const Measurement& measurement) override {
        if (m_levels)
            m_out << seconds(m_offset) << ' ' << measurement.dbLeft << ' ' << measurement.dbRight << '\n';
    }
    int alarms() const { return m_alarms; }

    void alarmActivated(const std::string& silentChannels) override {
        ++m_alarms;
        m_out << seconds(static_cast<double>(m_loop.elapsedMs()) / 1000.0) << " alarm " << silentChannels
              << '\n';
    }
    void returnStarted() override {
        m_out << seconds(static_cast<double>(m_loop.elapsedMs()) / 1000.0) << " return\n";
    }

    void showStatus(const std::string&, StatusColour) override {}
    void showLastSilence(const std::string&) override {}
    void updateTray() override {}
    void repaintNow() override {}
    void setAlarmTaskPagesEnabled(bool) override {}

private:
    std::ostream& m_out;
    bool m_levels;
    const VirtualEventLoop& m_loop;
    double m_offset = 0.0;
    int m_alarms = 0;
};

std::string channelRuleText(const Settings& settings) {
    // A rule with no line selected reads as the detector counts it: both channels.
    switch (settings.activation.channels.value_or(ChannelRule::BothChannels)) {
    case ChannelRule::AnyChannel:
        return "in any channel";
    case ChannelRule::LeftChannel:
        return "in channel " + settings.general.leftName;
    case ChannelRule::RightChannel:
        return "in channel " + settings.general.rightName;
    case ChannelRule::BothChannels:
        break;
    }
    return "in both channels";
}

// The settings that decided the events, so that a scan that found nothing shows what it looked for.
std::string scanSummary(const Settings& settings, int alarms) {
    return "scan: silence " + std::to_string(settings.activation.silenceSeconds) + " s, return " +
           std::to_string(settings.activation.returnSeconds) + " s, threshold " +
           std::to_string(-settings.state.threshold) + " dB, " + channelRuleText(settings) + "; " +
           std::to_string(alarms) + (alarms == 1 ? " alarm" : " alarms");
}

// A 16-bit PCM WAV file is read directly, the fastest way; everything else goes to the decoder.
std::unique_ptr<RecordingReader> openRecording(const std::string& path, RecordingDecoder& decoder,
                                               std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    auto wav = std::make_unique<WavReader>();
    if (wav->open(file, path, error))
        return wav;
    wav.reset();
    std::string decodingError;
    if (auto recording = decoder.open(path, decodingError))
        return recording;
    error = path + " holds no audio that can be scanned: " + decodingError;
    return nullptr;
}

} // namespace

int runRecordingScan(const ScanOptions& options, const std::function<Folders()>& locateFolders,
                     RecordingDecoder& decoder, std::ostream& out, std::ostream& errors) {
    std::string error;
    const std::unique_ptr<RecordingReader> recording = openRecording(options.recording, decoder, error);
    if (!recording) {
        errors << "quietmon: " << error << '\n';
        return 2;
    }
    std::error_code ignored;
    const std::string settingsFile = options.settingsFile.empty()
                                         ? std::string()
                                         : std::filesystem::absolute(options.settingsFile, ignored).string();
    const Folders folders = locateFolders();

    VirtualEventLoop loop;
    RecordingDriver driver(loop);
    NoEndpoints endpoints;
    NoWindows windows;
    Folders scanFolders = folders;
    scanFolders.settingsFileOverride = settingsFile;
    Monitor monitor(
        loop, productName(), [scanFolders] { return scanFolders; }, driver, endpoints, windows);
    ScanPrinter printer(out, options.levels, loop);
    monitor.setView(&printer);

    monitor.beginStartUp();
    monitor.listAudioDevices();
    monitor.loadSettings();
    Settings& settings = monitor.settings();
    // A recording has no wall clock and nothing to act on.
    settings.general.startUpDelay = 0;
    settings.activation.weekdayConditionOn = settings.activation.timeConditionOn =
        settings.activation.windowConditionOn = false;
    std::ranges::fill(settings.alarmQueue.rows, std::string());
    std::ranges::fill(settings.returnQueue.rows, std::string());
    settings.general.audioInDevice = 0;
    monitor.openAudioDevice();
    monitor.applyPreferences();
    settings.state.threshold = std::clamp(settings.state.threshold, 0, -settings.general.minThreshold);

    std::vector<std::uint8_t> frames;
    const double rate = recording->sampleRate();
    for (std::int64_t k = 0;; ++k) {
        frames.clear();
        if (recording->readStereo(framesPerBuffer, frames) < framesPerBuffer)
            break; // a capture that stops mid-buffer delivers nothing
        const double offset = static_cast<double>(k + 1) * framesPerBuffer / rate;
        loop.advance(std::llround(offset * 1000.0) - loop.elapsedMs());
        printer.setOffset(offset);
        driver.deliver(frames);
        loop.runPending();
    }
    errors << scanSummary(settings, printer.alarms()) << '\n';
    return 0;
}

} // namespace quietmon
