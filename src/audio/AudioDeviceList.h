#pragma once

#include "config/Settings.h"
#include "platform/AudioCapture.h"
#include "platform/AudioEndpoints.h"

#include <string>
#include <vector>

namespace quietmon {

// None: the "(Default)" line of a list without devices, which opens nothing.
enum class AudioDeviceKind { Capture = 0, Endpoint = 1, Stream = 2, None = 3 };

struct AudioDevice {
    AudioDeviceKind kind;
    std::string name;
    int index;      // capture device: its number; endpoint: its position in the listing
    std::string id; // endpoint: the server's identifier; capture device: empty
};

// The inputs the operator may choose from, one selector line per entry: capture devices first, then the
// sound server's endpoints, then the network stream where the program can read one.
class AudioDeviceList {
public:
    static constexpr std::size_t maxEntries = 1024;
    static constexpr const char* endpointPrefix = "Active endpoint listening: ";
    static constexpr const char* defaultLine = "(Default)";
    static constexpr const char* streamLine = "Network stream";

    // A list with the stream line but no device keeps "(Default)" first, so that a fresh settings file
    // still chooses no device rather than the stream.
    void listAudioDevices(CaptureDriver& waveIn, AudioEndpoints& endpoints, bool offerStream = false);
    // Appends an entry and its selector line; does nothing once the list is full.
    void addAudioDevice(AudioDeviceKind kind, const std::string& name, int index, const std::string& id);
    // The "(Default)" line shown when there is no device at all; its entry opens nothing.
    void addDefaultLine();
    // Selects the stored device's line (by name, else by number), adds "(Default)" to an empty list and
    // falls back to line 0. A stored name that is not listed now (a sound server that starts later, a USB
    // device unplugged) stays in the settings, so the device is found again once it is back. Returns
    // whether the stored name was listed.
    bool chooseStartupLine(GeneralSettings& general);

    const std::vector<AudioDevice>& entries() const { return m_entries; }
    const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::vector<AudioDevice> m_entries;
    std::vector<std::string> m_lines;
};

} // namespace quietmon
