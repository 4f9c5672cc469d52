#include "platform/linux/SoundServerRoute.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cctype>

namespace quietmon {

namespace {

// As many aliases as alsa-lib itself follows before it gives up on a loop.
constexpr int maxAliasHops = 64;

std::string textOf(snd_config_t* definition, const char* key) {
    snd_config_t* node = nullptr;
    const char* text = nullptr;
    if (snd_config_search(definition, key, &node) < 0 || snd_config_get_string(node, &text) < 0 || !text)
        return {};
    return text;
}

// PipeWire's plugin takes "-1" (or nothing) for the default node, else a node's name, which is also the name
// of its source in PipeWire's PulseAudio service, or its number, which that service does not know.
std::optional<SoundServerSource> pipeWireSource(const std::string& node) {
    if (node.empty() || node == "-1")
        return SoundServerSource{};
    if (std::all_of(node.begin(), node.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return SoundServerSource{{}, node};
}

std::optional<SoundServerSource> sourceOfDefinition(snd_config_t* definition) {
    const std::string type = textOf(definition, "type");
    if (type == "pulse")
        return SoundServerSource{textOf(definition, "server"), textOf(definition, "device")};
    if (type == "pipewire")
        return pipeWireSource(textOf(definition, "capture_node"));
    return std::nullopt;
}

// Resolves `name` as snd_pcm_open would: its definition with the arguments filled in, following a
// definition that is only another device's name.
std::optional<SoundServerSource> resolve(snd_config_t* configuration, std::string name) {
    for (int hop = 0; hop < maxAliasHops; ++hop) {
        snd_config_t* definition = nullptr;
        if (snd_config_search_definition(configuration, "pcm", name.c_str(), &definition) < 0)
            return std::nullopt;
        const char* alias = nullptr;
        if (snd_config_get_string(definition, &alias) >= 0 && alias) {
            name = alias;
            snd_config_delete(definition);
            continue;
        }
        std::optional<SoundServerSource> source = sourceOfDefinition(definition);
        snd_config_delete(definition);
        return source;
    }
    return std::nullopt;
}

} // namespace

std::optional<SoundServerSource> soundServerSourceOf(const std::string& name) {
    snd_config_t* configuration = nullptr;
    if (snd_config_update_ref(&configuration) < 0 || !configuration)
        return std::nullopt;
    std::optional<SoundServerSource> source = resolve(configuration, name);
    snd_config_unref(configuration);
    return source;
}

std::optional<SoundServerSource> soundServerSourceOf(const std::string& name,
                                                     const std::string& configuration) {
    snd_config_t* top = nullptr;
    if (snd_config_top(&top) < 0)
        return std::nullopt;
    snd_input_t* input = nullptr;
    std::optional<SoundServerSource> source;
    if (snd_input_buffer_open(&input, configuration.data(), static_cast<ssize_t>(configuration.size())) >=
        0) {
        if (snd_config_load(top, input) >= 0)
            source = resolve(top, name);
        snd_input_close(input);
    }
    snd_config_delete(top);
    return source;
}

} // namespace quietmon
