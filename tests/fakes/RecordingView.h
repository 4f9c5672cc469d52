#pragma once

#include "monitor/Monitor.h"

#include <functional>
#include <string>
#include <vector>

namespace quietmon::test {

// A main window that remembers everything it was asked to show.
class RecordingView final : public MonitorView {
public:
    void showStatus(const std::string& text, StatusColour colour) override {
        statuses.push_back(text);
        statusColour = colour;
    }
    void showMeasurement(const Measurement& measurement) override { measurements.push_back(measurement); }
    void showLastSilence(const std::string& text) override { lastSilence = text; }
    void updateTray() override { ++trayUpdates; }
    void repaintNow() override { ++repaints; }
    void setAlarmTaskPagesEnabled(bool enabled) override { alarmTaskPagesEnabled = enabled; }
    void alarmActivated(const std::string& channels) override {
        alarms.push_back({now ? now() : 0, channels});
    }
    void returnStarted() override { returnsAt.push_back(now ? now() : 0); }

    struct Alarm {
        std::int64_t atMs;
        std::string channels;
    };
    std::function<std::int64_t()> now; // virtual milliseconds, for the moments above
    std::vector<Alarm> alarms;
    std::vector<std::int64_t> returnsAt;
    std::vector<std::string> statuses;
    StatusColour statusColour = StatusColour::Normal;
    std::vector<Measurement> measurements;
    std::string lastSilence = "Last silence:";
    int trayUpdates = 0;
    int repaints = 0;
    bool alarmTaskPagesEnabled = true;
};

} // namespace quietmon::test
