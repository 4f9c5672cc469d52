#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quietmon {

// One entry of ALSA's PCM device name hints.
struct AlsaDeviceHint {
    std::string name;      // the full device name: "default", "pulse", "hw:CARD=PCH,DEV=0", ...
    std::string direction; // "Input", "Output", or empty for both
};

// What a plugin device of ALSA leads to, which must be there for it to deliver anything.
enum class SoundBackend {
    pulseAudio, // a server speaking PulseAudio's protocol (PulseAudio, or PipeWire's PulseAudio service)
    pipeWire,   // PipeWire's own server
    jack,
    oss, // the kernel's OSS device, /dev/dsp
};

// Whether `backend` is there now; `device` is the ALSA device asking (its configuration may name a
// server of its own).
using BackendPresent = std::function<bool(SoundBackend backend, const std::string& device)>;

// The devices among `hints` that the program can listen to, in the order the device selector shows them:
// "default", then the sound servers' own devices, then the cards' devices, then any other input, each
// group in ALSA's order. Left out: devices that only play, "null", ALSA's rate-converter, channel-mixing
// and encoder plugins, which are ways to another device rather than inputs, and the devices of a sound
// server or of OSS that is not there by `present`: "pulse" needs a PulseAudio server, "pipewire" that or
// PipeWire's own (its plugin speaks to either), "jack" a JACK server, "oss" /dev/dsp.
std::vector<std::string> captureDeviceNames(const std::vector<AlsaDeviceHint>& hints,
                                            const BackendPresent& present);

} // namespace quietmon
