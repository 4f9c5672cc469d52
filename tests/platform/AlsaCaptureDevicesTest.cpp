#include "platform/linux/AlsaCaptureDevices.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

using Hints = std::vector<AlsaDeviceHint>;
using Names = std::vector<std::string>;

// The global plugins Debian's libasound2-plugins defines, in the order ALSA hints them.
const Hints debianPlugins{{"lavrate", ""},  {"samplerate", ""},     {"speexrate", ""}, {"jack", ""},
                          {"oss", ""},      {"pulse", ""},          {"speex", ""},     {"upmix", ""},
                          {"vdownmix", ""}, {"samplerate_best", ""}};

// One onboard card and one HDMI output, as ALSA hints their devices.
const Hints onboardCard{{"hw:CARD=PCH,DEV=0", ""},
                        {"plughw:CARD=PCH,DEV=0", ""},
                        {"sysdefault:CARD=PCH", ""},
                        {"front:CARD=PCH,DEV=0", ""},
                        {"surround40:CARD=PCH,DEV=0", "Output"},
                        {"surround51:CARD=PCH,DEV=0", "Output"},
                        {"iec958:CARD=PCH,DEV=0", "Output"},
                        {"dmix:CARD=PCH,DEV=0", "Output"},
                        {"dsnoop:CARD=PCH,DEV=0", "Input"},
                        {"usbstream:CARD=PCH", ""},
                        {"hdmi:CARD=HDMI,DEV=0", ""},
                        {"hw:CARD=HDMI,DEV=3", "Output"}};

Hints joined(std::initializer_list<Hints> parts) {
    Hints all;
    for (const Hints& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(CaptureDeviceNames, ListDefaultThenSoundServersThenCardsAndLeaveOutWhatIsNoInput) {
    struct Case {
        const char* what;
        Hints hints; // in ALSA's order
        Names names;
    };
    const std::vector<Case> cases{
        {"PulseAudio without a card",
         joined({{{"null", ""}, {"default", ""}}, debianPlugins}),
         {"default", "pulse", "jack", "oss"}},
        {"no sound server and no card", joined({{{"null", ""}}, debianPlugins}), {"pulse", "jack", "oss"}},
        {"a card without a sound server",
         joined({{{"null", ""}, {"default", ""}}, onboardCard}),
         {"default", "hw:CARD=PCH,DEV=0", "plughw:CARD=PCH,DEV=0", "sysdefault:CARD=PCH",
          "front:CARD=PCH,DEV=0", "dsnoop:CARD=PCH,DEV=0"}},
        {"PipeWire with its PulseAudio service and a card",
         joined({{{"null", ""}, {"pipewire", ""}, {"default", ""}},
                 debianPlugins,
                 onboardCard,
                 {{"studio_in", "Input"}}}),
         {"default", "pulse", "pipewire", "jack", "hw:CARD=PCH,DEV=0", "plughw:CARD=PCH,DEV=0",
          "sysdefault:CARD=PCH", "front:CARD=PCH,DEV=0", "dsnoop:CARD=PCH,DEV=0", "oss", "studio_in"}},
        {"plugins named with their arguments",
         {{"lavrate:SLAVE=hw", ""},
          {"speexrate_medium", ""},
          {"upmix:CHANNELS=6", ""},
          {"pulse:DEVICE=mic", ""}},
         {"pulse:DEVICE=mic"}},
        {"no hints", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(captureDeviceNames(c.hints), c.names);
    }
}

} // namespace
} // namespace quietmon
