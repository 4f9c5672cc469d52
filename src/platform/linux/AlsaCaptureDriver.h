#pragma once

#include "platform/AudioCapture.h"
#include "runtime/EventLoop.h"

#include <chrono>

namespace quietmon {

// The capture devices that ALSA lists. A device that only forwards to a sound server ("pulse", "pipewire",
// or "default" where ALSA's configuration makes it one of those) is read straight from that server on the
// logic thread (PulseCapture), which spares the plugin's own client thread, a reader thread and their
// wake-ups; every other device is read through ALSA by a thread of its own (AlsaPcmCapture). Either way
// the queued buffers are filled in order and each full one is posted to the logic thread.
class AlsaCaptureDriver final : public CaptureDriver {
public:
    // `answerTimeout` bounds the wait for a sound server when a device is opened: one that accepts the
    // connection but never answers must not hold the logic thread.
    explicit AlsaCaptureDriver(EventLoop& loop,
                               std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));

    // The ALSA PCM devices to listen to, by their full names ("default", "pulse", "sysdefault:CARD=..."), in
    // the order of captureDeviceNames: a sound server's device only while its server is there.
    std::vector<std::string> deviceNames() override;
    std::unique_ptr<CaptureDevice> open(int device, const CaptureFormat& format, BufferDone onBufferDone,
                                        std::string& error) override;

private:
    EventLoop& m_loop;
    std::chrono::milliseconds m_answerTimeout;
    std::vector<std::string> m_names;
};

// The capture devices of this machine as ALSA's hints name them now, by captureDeviceNames; a PulseAudio
// server whose connection has not failed within `serverAnswerTimeout` counts as there.
std::vector<std::string> listAlsaCaptureDevices(std::chrono::milliseconds serverAnswerTimeout);

} // namespace quietmon
