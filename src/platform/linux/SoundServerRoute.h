#pragma once

#include <optional>
#include <string>

namespace quietmon {

// Where a sound server takes the audio that an ALSA device only forwards.
struct SoundServerSource {
    std::string server; // empty: the server libpulse finds through the environment
    std::string source; // empty: the server's default source
};

// The sound-server source behind the ALSA PCM device `name` ("pulse", "default", "pulse:DEVICE=x", ...)
// when ALSA's configuration resolves it to a plugin that only forwards to a sound server (type "pulse",
// or "pipewire", whose PulseAudio service serves the same sources); nothing for any other device, and for
// a name that the configuration does not define. Nothing is opened.
std::optional<SoundServerSource> soundServerSourceOf(const std::string& name);
// The same by `configuration` (in the syntax of alsa.conf) instead of the system's configuration.
std::optional<SoundServerSource> soundServerSourceOf(const std::string& name,
                                                     const std::string& configuration);

} // namespace quietmon
