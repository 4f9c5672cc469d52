#include "platform/linux/AlsaCaptureDevices.h"

#include "platform/linux/SoundBackendProbe.h"
#include "support/EnvironmentOverride.h"
#include "support/PulseTestServer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

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

TEST(CaptureDeviceNames, ListDefaultThenSoundServersThenCardsAndLeaveOutWhatCannotDeliver) {
    using enum SoundBackend;
    struct Case {
        const char* what;
        Hints hints; // in ALSA's order
        std::set<SoundBackend> present;
        Names names;
    };
    const std::vector<Case> cases{
        {"PulseAudio without a card",
         joined({{{"null", ""}, {"default", ""}}, debianPlugins}),
         {pulseAudio},
         {"default", "pulse"}},
        {"no sound server and no card", joined({{{"null", ""}}, debianPlugins}), {}, {}},
        {"a card without a sound server",
         joined({{{"null", ""}, {"default", ""}}, onboardCard}),
         {},
         {"default", "hw:CARD=PCH,DEV=0", "plughw:CARD=PCH,DEV=0", "sysdefault:CARD=PCH",
          "front:CARD=PCH,DEV=0", "dsnoop:CARD=PCH,DEV=0"}},
        {"PipeWire with its PulseAudio service and a card",
         joined({{{"null", ""}, {"pipewire", ""}, {"default", ""}},
                 debianPlugins,
                 onboardCard,
                 {{"studio_in", "Input"}}}),
         {pulseAudio, pipeWire},
         {"default", "pulse", "pipewire", "hw:CARD=PCH,DEV=0", "plughw:CARD=PCH,DEV=0", "sysdefault:CARD=PCH",
          "front:CARD=PCH,DEV=0", "dsnoop:CARD=PCH,DEV=0", "studio_in"}},
        // Its own plugin still reaches it.
        {"PipeWire without its PulseAudio service",
         joined({{{"pipewire", ""}, {"default", ""}}, debianPlugins}),
         {pipeWire},
         {"default", "pipewire"}},
        {"a JACK server and an OSS device", debianPlugins, {jack, oss}, {"jack", "oss"}},
        {"plugins named with their arguments",
         {{"lavrate:SLAVE=hw", ""},
          {"speexrate_medium", ""},
          {"upmix:CHANNELS=6", ""},
          {"pulse:DEVICE=mic", ""}},
         {pulseAudio},
         {"pulse:DEVICE=mic"}},
        {"no hints", {}, {pulseAudio, pipeWire, jack, oss}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::set<std::string> asked;
        const auto present = [&](SoundBackend backend, const std::string& device) {
            asked.insert(device);
            return c.present.contains(backend);
        };
        EXPECT_EQ(captureDeviceNames(c.hints, present), c.names);
        // Only the devices that lead to a server or to OSS are asked about, each by its whole name.
        for (const std::string& device : asked) {
            const std::string base = device.substr(0, device.find(':'));
            EXPECT_TRUE(base == "pulse" || base == "pipewire" || base == "jack" || base == "oss") << device;
        }
    }
}

TEST(SoundBackendProbe, AServerIsThereOnlyWhileASocketListensWhereItsClientsLook) {
    using namespace std::chrono_literals;
    test::TempFolder runtime;
    const std::string jackServer = "quietmon-test-" + std::to_string(::getpid());
    const test::EnvironmentOverride jackName("JACK_DEFAULT_SERVER", jackServer);
    const test::EnvironmentOverride pipeWireFolder("PIPEWIRE_RUNTIME_DIR", runtime.path());
    const test::EnvironmentOverride runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
    const test::EnvironmentOverride defaultRemote("PIPEWIRE_REMOTE", "");
    const std::pair<SoundBackend, std::string> cases[] = {
        {SoundBackend::jack, "/dev/shm/jack_" + jackServer + "_" + std::to_string(::getuid()) + "_0"},
        {SoundBackend::pipeWire, runtime.file("pipewire-0")},
    };
    for (const auto& [backend, path] : cases) {
        SCOPED_TRACE(path);
        const auto present = [backend = backend] { return SoundBackendProbe(1s).present(backend, ""); };
        EXPECT_FALSE(present());
        {
            const test::UnansweringServer listening(path);
            EXPECT_TRUE(present());
        }
        EXPECT_FALSE(present()) << "the file of a server that is gone is left";
        ::unlink(path.c_str());
    }
}

} // namespace
} // namespace quietmon
