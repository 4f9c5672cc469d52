#pragma once

#include "config/Folders.h"
#include "runtime/DateTime.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace quietmon {

// One channel as the status endpoint reports it.
struct ChannelStatus {
    std::string label;  // "left" or "right": stable, whatever the operator names the channel
    std::string name;   // the operator's name for it
    int levelDb = -96;  // the held level of the last measurement
    DateTime lastSound; // the last measurement in which it was not silent (the start until then)
};

// What the monitor looks like at one moment, for the status endpoint. The logic thread publishes a new
// one after each measurement and each change of state; the endpoint's thread reads only these.
struct StatusSnapshot {
    // Which of the monitors on the computer this is: its name, or the unnamed monitor's.
    std::string monitor = unnamedMonitorName;
    std::string version;
    std::string title;
    std::string input; // the device's line in the selector, as opened at start-up
    DateTime startedAt;
    std::array<ChannelStatus, 2> channels;
    int thresholdDb = -25;
    bool alarmActive = false;
    bool inputLost = false;
    std::string streamTitle; // the stream's "now playing" title; empty for other inputs
    // While the Setup dialog is open no new alarm can be raised.
    bool setupOpen = false;
    std::int64_t alarmsRaised = 0;
    // By task name; every kind that reports failures is there, from zero.
    std::map<std::string, std::int64_t> taskFailures;
    std::string statusText;
    std::string lastSilence; // the main window's "Last silence:" line; empty before the first alarm
    DateTime lastSilenceAt;  // the moment of the last alarm, also of an earlier run; zero: none yet
};

} // namespace quietmon
