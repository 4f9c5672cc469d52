#include "app/RecordingScan.h"

#include "app/Monitor.h"
#include "audio/WavReader.h"
#include "config/ProductName.h"
#include "platform/VirtualEventLoop.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <ostream>

namespace quietmon {

namespace {

constexpr int framesPerBuffer = 5512;

// The capture driver of a scan: the one device is the recording, and a buffer is filled when the scan
// hands it the next frames.
class RecordingDriver final : public WaveInDriver {
public:
    explicit RecordingDriver(EventLoop& loop) : m_loop(loop) {}

    std::vector<std::string> deviceNames() override { return {"recording"}; }
    std::unique_ptr<WaveInDevice> open(int, const WaveInFormat&, BufferDone onBufferDone,
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
    struct Device final : WaveInDevice {
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
    std::unique_ptr<EndpointPeakMeter> openMeter(const std::string&) override { return nullptr; }
};

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// Prints what the monitor shows, stamped with the offset of the buffer being measured.
class ScanPrinter final : public MonitorView {
public:
    ScanPrinter(std::ostream& out, bool levels) : m_out(out), m_levels(levels) {}
    void setOffset(double offsetSeconds) { m_offset = offsetSeconds; }

    void showStatus(const std::string&, StatusColour) override {}
    void showMeasurement(const Measurement& measurement) override {
        if (m_levels)
            m_out << seconds(m_offset) << ' ' << measurement.dbLeft << ' ' << measurement.dbRight << '\n';
    }

private:
    std::ostream& m_out;
    bool m_levels;
    double m_offset = 0.0;
};

} // namespace

int runRecordingScan(const ScanOptions& options, const Folders& folders, std::ostream& out,
                     std::ostream& errors) {
    WavReader recording;
    std::string error;
    if (!recording.open(options.recording, error)) {
        errors << "quietmon: " << error << '\n';
        return 2;
    }

    VirtualEventLoop loop;
    RecordingDriver driver(loop);
    NoEndpoints endpoints;
    Folders scanFolders = folders;
    scanFolders.settingsFileOverride = options.settingsFile;
    Monitor monitor(
        loop, productName(), [scanFolders] { return scanFolders; }, driver, endpoints);
    ScanPrinter printer(out, options.levels);
    monitor.setView(&printer);

    monitor.prepareMainWindow();
    monitor.listAudioDevices();
    monitor.loadSetupSettings();
    Settings& settings = monitor.settings();
    // A recording has no wall clock and nothing to act on.
    settings.general.startUpDelay = 0;
    settings.activation.condition2 = settings.activation.condition3 = settings.activation.condition4 = false;
    settings.tasks = {};
    settings.retTasks = {};
    settings.general.audioInDevice = 0;
    monitor.openAudioDevice();
    monitor.applyPreferences();
    settings.state.threshold = std::clamp(settings.state.threshold, 0, -settings.general.minThreshold);

    std::vector<std::uint8_t> frames;
    const double rate = recording.sampleRate();
    for (std::int64_t k = 0;; ++k) {
        frames.clear();
        if (recording.readStereo(framesPerBuffer, frames) < framesPerBuffer)
            break; // a capture that stops mid-buffer delivers nothing
        const double offset = static_cast<double>(k + 1) * framesPerBuffer / rate;
        loop.advance(std::llround(offset * 1000.0) - loop.elapsedMs());
        printer.setOffset(offset);
        driver.deliver(frames);
        loop.runPending();
    }
    return 0;
}

} // namespace quietmon
