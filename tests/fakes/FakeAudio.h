#pragma once

#include "platform/AudioCapture.h"
#include "platform/AudioEndpoints.h"
#include "platform/NetworkStream.h"
#include "runtime/EventLoop.h"

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace quietmon::test {

// A capture driver in the test's hands: it fills queued buffers only when the test says so, posting
// each as the real driver does.
class FakeCaptureDriver final : public CaptureDriver {
public:
    struct Device final : CaptureDevice {
        Device(FakeCaptureDriver& driver, BufferDone onDone) : driver(driver), onDone(std::move(onDone)) {}
        ~Device() override {
            if (driver.openDevice == this)
                driver.openDevice = nullptr;
            ++driver.closes;
        }
        bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string& error) override {
            if (driver.failAddBuffer) {
                error = "The buffer was refused.";
                return false;
            }
            queue.push_back({buffer, tag});
            return true;
        }
        bool start(std::string& error) override {
            if (driver.failStart) {
                error = "The device is busy.";
                return false;
            }
            started = true;
            return true;
        }
        void reset() override {
            ++resets;
            while (!queue.empty())
                complete(0, 0);
        }
        // The driver posts the first queued buffer, its frames alternating +value and -value on each
        // channel: a level of `value` with no DC offset.
        void complete(std::int16_t left, std::int16_t right) {
            const auto [buffer, queuedTag] = queue.front();
            const int tag = queuedTag;
            queue.pop_front();
            for (std::size_t frame = 0; frame + 3 < buffer.size(); frame += 4) {
                const bool odd = (frame / 4) % 2 == 1;
                const auto l = static_cast<std::int16_t>(odd ? -left : left);
                const auto r = static_cast<std::int16_t>(odd ? -right : right);
                std::memcpy(buffer.data() + frame, &l, 2);
                std::memcpy(buffer.data() + frame + 2, &r, 2);
            }
            driver.loop.post([done = onDone, tag] { done(tag); });
        }

        FakeCaptureDriver& driver;
        BufferDone onDone;
        std::deque<std::pair<std::span<std::uint8_t>, int>> queue;
        bool started = false;
        int resets = 0;
    };

    explicit FakeCaptureDriver(EventLoop& loop) : loop(loop) {}

    std::vector<std::string> deviceNames() override { return names; }
    std::unique_ptr<CaptureDevice> open(int device, const CaptureFormat& format, BufferDone onBufferDone,
                                        std::string& error) override {
        openedNumbers.push_back(device);
        lastFormat = format;
        if (failOpen) {
            error = "The device is not there.";
            return nullptr;
        }
        auto created = std::make_unique<Device>(*this, std::move(onBufferDone));
        openDevice = created.get();
        ++opens;
        return created;
    }
    // Fills the next `count` queued buffers of the open device.
    void fill(int count, std::int16_t sample = 0) { fill(count, sample, sample); }
    void fill(int count, std::int16_t left, std::int16_t right) {
        for (int i = 0; i < count && openDevice && !openDevice->queue.empty(); ++i)
            openDevice->complete(left, right);
    }

    EventLoop& loop;
    std::vector<std::string> names{"default", "pulse"};
    bool failOpen = false;
    bool failStart = false;
    bool failAddBuffer = false;
    Device* openDevice = nullptr;
    std::vector<int> openedNumbers;
    CaptureFormat lastFormat;
    int opens = 0;
    int closes = 0;
};

// Network streams whose devices are the fake capture driver's; the test plays the reader's events.
class FakeNetworkStreams final : public NetworkStreams {
public:
    explicit FakeNetworkStreams(EventLoop& loop) : driver(loop) {}
    std::unique_ptr<CaptureDevice> open(const std::string& address, const CaptureFormat& format,
                                        CaptureDriver::BufferDone onBufferDone, StreamEvents streamEvents,
                                        std::string& error) override {
        addresses.push_back(address);
        events = std::move(streamEvents);
        return driver.open(0, format, std::move(onBufferDone), error);
    }

    FakeCaptureDriver driver;
    std::vector<std::string> addresses;
    StreamEvents events;
};

class FakeEndpointMeter final : public EndpointPeakMeter {
public:
    FakeEndpointMeter(std::deque<std::optional<std::vector<float>>>& readings,
                      std::vector<int>& readIntervals, std::function<void()>& onDelivery)
        : readings(readings), readIntervals(readIntervals), onDelivery(onDelivery) {}
    std::optional<std::vector<float>> readPeaks() override {
        if (readings.empty())
            return std::vector<float>{0.0f, 0.0f};
        auto next = readings.front();
        readings.pop_front();
        return next;
    }
    void setReadInterval(int ms) override { readIntervals.push_back(ms); }
    void notifyDeliveries(EventLoop&, std::function<void()> notify) override {
        onDelivery = std::move(notify);
    }
    ~FakeEndpointMeter() override { onDelivery = nullptr; }
    std::deque<std::optional<std::vector<float>>>& readings;
    std::vector<int>& readIntervals;
    std::function<void()>& onDelivery;
};

// Endpoints whose listing and meter readings the test sets.
class FakeAudioEndpoints final : public AudioEndpoints {
public:
    std::vector<AudioEndpoint> list() override { return endpoints; }
    std::unique_ptr<EndpointPeakMeter> openMeter(const std::string& id, int readIntervalMs) override {
        openedIds.push_back(id);
        for (const auto& endpoint : endpoints) {
            if (endpoint.id == id && !failOpen) {
                readIntervals.push_back(readIntervalMs);
                return std::make_unique<FakeEndpointMeter>(readings, readIntervals, onDelivery);
            }
        }
        return nullptr;
    }

    // The open meter's server delivered, as the meter tells its reader.
    void deliver() {
        if (onDelivery)
            onDelivery();
    }

    std::vector<AudioEndpoint> endpoints{{"ci_sink.monitor", "Monitor of Null Output"}};
    std::deque<std::optional<std::vector<float>>> readings;
    std::function<void()> onDelivery;
    std::vector<std::string> openedIds;
    // The read interval each meter was opened with, then each one it was told later.
    std::vector<int> readIntervals;
    bool failOpen = false;
};

} // namespace quietmon::test
