#pragma once

#include "platform/EventLoop.h"
#include "platform/WaveIn.h"

namespace quietmon {

// Capture through ALSA. Each open device has a thread that sleeps in poll() on the PCM and on an eventfd
// (so that a reset ends it at once), reads into the queued buffers in order and posts each filled one to
// the logic thread. With no buffer queued (the logic thread is busy) the audio is read and dropped: the
// driver never blocks and an overrun never stops the capture.
class AlsaWaveInDriver final : public WaveInDriver {
public:
    explicit AlsaWaveInDriver(EventLoop& loop);

    // The ALSA PCM devices to listen to, by their full names ("default", "pulse", "sysdefault:CARD=..."), in
    // the order of captureDeviceNames.
    std::vector<std::string> deviceNames() override;
    std::unique_ptr<WaveInDevice> open(int device, const WaveInFormat& format, BufferDone onBufferDone,
                                       std::string& error) override;

private:
    EventLoop& m_loop;
    std::vector<std::string> m_names;
};

// The capture devices of this machine as ALSA's hints name them now, by captureDeviceNames.
std::vector<std::string> listAlsaCaptureDevices();

} // namespace quietmon
