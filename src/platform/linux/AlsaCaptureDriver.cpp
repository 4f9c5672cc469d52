#include "platform/linux/AlsaCaptureDriver.h"

#include "platform/linux/AlsaCaptureDevices.h"
#include "platform/linux/AlsaPcmCapture.h"
#include "platform/linux/PulseCapture.h"
#include "platform/linux/SoundBackendProbe.h"
#include "platform/linux/SoundServerRoute.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <mutex>
#include <optional>

namespace quietmon {

namespace {

// alsa-lib prints its errors on standard error; the program reports failures its own way.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

// How long the listing gives a sound server to turn a connection down before taking it to be there.
constexpr std::chrono::milliseconds serverProbeTimeout{500};

void silenceAlsaLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsaErrors); });
}

} // namespace

std::vector<std::string> listAlsaCaptureDevices(std::chrono::milliseconds serverAnswerTimeout) {
    silenceAlsaLibrary();
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return {};
    std::vector<AlsaDeviceHint> entries;
    for (void** hint = hints; *hint; ++hint) {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* direction = snd_device_name_get_hint(*hint, "IOID");
        if (name)
            entries.push_back({name, direction ? direction : ""});
        std::free(name);
        std::free(direction);
    }
    snd_device_name_free_hint(hints);
    SoundBackendProbe probe(serverAnswerTimeout);
    return captureDeviceNames(entries, [&probe](SoundBackend backend, const std::string& device) {
        return probe.present(backend, device);
    });
}

AlsaCaptureDriver::AlsaCaptureDriver(EventLoop& loop, std::chrono::milliseconds answerTimeout)
    : m_loop(loop), m_answerTimeout(answerTimeout) {
    silenceAlsaLibrary();
}

std::vector<std::string> AlsaCaptureDriver::deviceNames() {
    m_names = listAlsaCaptureDevices(std::min(m_answerTimeout, serverProbeTimeout));
    return m_names;
}

std::unique_ptr<CaptureDevice> AlsaCaptureDriver::open(int device, const CaptureFormat& format,
                                                       BufferDone onBufferDone, std::string& error) {
    if (device >= 0 && m_names.empty())
        m_names = listAlsaCaptureDevices(std::min(m_answerTimeout, serverProbeTimeout));
    if (device < -1 || device >= static_cast<int>(m_names.size())) {
        error = "The specified device number is out of range.";
        return nullptr;
    }
    const std::string name =
        device == -1 ? std::string("default") : m_names[static_cast<std::size_t>(device)];
    if (const std::optional<SoundServerSource> source = soundServerSourceOf(name)) {
        auto capture = std::make_unique<PulseCapture>(*source, format, m_loop, onBufferDone);
        switch (capture->connect(m_answerTimeout, error)) {
        case PulseCapture::Connection::recording:
            return capture;
        case PulseCapture::Connection::failed:
            return nullptr;
        case PulseCapture::Connection::noServer:
            // PipeWire without its PulseAudio service still serves its own ALSA plugin.
            break;
        }
    }
    return AlsaPcmCapture::open(name, format, m_loop, std::move(onBufferDone), error);
}

} // namespace quietmon
