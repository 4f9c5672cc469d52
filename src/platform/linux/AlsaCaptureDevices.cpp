#include "platform/linux/AlsaCaptureDevices.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quietmon {

namespace {

// Plugins that resample, remix, encode or discard on the way to another device, and the cards' devices
// that exist only to play (some of them carry no direction in their hints). Each also covers its
// variants, such as "samplerate_best".
constexpr std::array<std::string_view, 23> notInputs{
    "null", "lavrate",    "samplerate", "speexrate",  "speex",      "upmix",      "vdownmix",   "a52",
    "dpl",  "usbstream",  "hdmi",       "iec958",     "spdif",      "dmix",       "center_lfe", "rear",
    "side", "surround21", "surround40", "surround41", "surround50", "surround51", "surround71"};

// The devices of sound servers, in the order they are offered.
constexpr std::array<std::string_view, 3> soundServers{"pulse", "pipewire", "jack"};

// The plugin's own name, before its arguments ("hw" of "hw:CARD=PCH,DEV=0").
std::string_view baseName(std::string_view name) {
    return name.substr(0, name.find(':'));
}

bool isInput(const AlsaDeviceHint& hint) {
    if (hint.direction == "Output")
        return false;
    const std::string_view base = baseName(hint.name);
    return std::none_of(notInputs.begin(), notInputs.end(), [base](std::string_view plugin) {
        return base == plugin || (base.starts_with(plugin) && base.substr(plugin.size()).starts_with('_'));
    });
}

// Whether what the device leads to is there, for the devices that lead to a server or to OSS.
bool backendPresent(const std::string& name, const BackendPresent& present) {
    const std::string_view base = baseName(name);
    if (base == "pulse")
        return present(SoundBackend::pulseAudio, name);
    if (base == "pipewire")
        return present(SoundBackend::pulseAudio, name) || present(SoundBackend::pipeWire, name);
    if (base == "jack")
        return present(SoundBackend::jack, name);
    if (base == "oss")
        return present(SoundBackend::oss, name);
    return true;
}

// Where a device goes in the selector: lower first.
std::size_t rank(const std::string& name) {
    if (name == "default")
        return 0;
    const auto server = std::find(soundServers.begin(), soundServers.end(), baseName(name));
    if (server != soundServers.end())
        return 1 + static_cast<std::size_t>(server - soundServers.begin());
    if (name.find("CARD=") != std::string::npos)
        return 1 + soundServers.size();
    return 2 + soundServers.size();
}

} // namespace

std::vector<std::string> captureDeviceNames(const std::vector<AlsaDeviceHint>& hints,
                                            const BackendPresent& present) {
    std::vector<std::string> names;
    for (const AlsaDeviceHint& hint : hints) {
        if (isInput(hint) && backendPresent(hint.name, present))
            names.push_back(hint.name);
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    return names;
}

} // namespace quietmon
