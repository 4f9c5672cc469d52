#include "platform/linux/SoundServerRoute.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

// Definitions as the plugins' own configuration files and a user's asoundrc write them.
constexpr const char* configuration = R"(
pcm.forwarder { type pulse }
pcm.elsewhere { type pulse server "unix:/run/studio/native" device "studio_mic" }
pcm.argued {
    @args [ DEVICE ]
    @args.DEVICE { type string default "" }
    type pulse
    device $DEVICE
}
pcm.aliased "forwarder"
pcm.pipewireDefault { type pipewire playback_node "-1" capture_node "-1" }
pcm.pipewireNamed { type pipewire capture_node "alsa_input.usb-mixer" }
pcm.pipewireNumbered { type pipewire capture_node "42" }
pcm.card { type hw card 0 }
pcm.converted { type plug slave.pcm "forwarder" }
)";

TEST(SoundServerSourceOf, ADeviceIsReadFromTheServerOnlyWhereItsPluginOnlyForwardsThere) {
    struct Case {
        const char* device;
        std::optional<SoundServerSource> expected;
    };
    const Case cases[] = {
        {"forwarder", SoundServerSource{}},
        {"elsewhere", SoundServerSource{"unix:/run/studio/native", "studio_mic"}},
        {"argued", SoundServerSource{}},
        {"argued:DEVICE=studio_mic", SoundServerSource{"", "studio_mic"}},
        {"aliased", SoundServerSource{}},
        {"pipewireDefault", SoundServerSource{}},
        {"pipewireNamed", SoundServerSource{"", "alsa_input.usb-mixer"}},
        // A node by number has no name in the PulseAudio service: ALSA reads it.
        {"pipewireNumbered", std::nullopt},
        {"card", std::nullopt},
        // A converter on the way makes it another device's audio.
        {"converted", std::nullopt},
        {"missing", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<SoundServerSource> found = soundServerSourceOf(c.device, configuration);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.device;
        if (found) {
            EXPECT_EQ(found->server, c.expected->server) << c.device;
            EXPECT_EQ(found->source, c.expected->source) << c.device;
        }
    }
}

} // namespace
} // namespace quietmon
