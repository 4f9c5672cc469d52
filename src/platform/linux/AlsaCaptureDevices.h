#pragma once

#include <string>
#include <vector>

namespace quietmon {

// One entry of ALSA's PCM device name hints.
struct AlsaDeviceHint {
    std::string name;      // the full device name: "default", "pulse", "hw:CARD=PCH,DEV=0", ...
    std::string direction; // "Input", "Output", or empty for both
};

// The devices among `hints` that the program can listen to, in the order the device selector shows them:
// "default", then the sound servers' own devices, then the cards' devices, then any other input, each
// group in ALSA's order. Left out: devices that only play, "null", and ALSA's rate-converter,
// channel-mixing and encoder plugins, which are ways to another device rather than inputs.
std::vector<std::string> captureDeviceNames(const std::vector<AlsaDeviceHint>& hints);

} // namespace quietmon
