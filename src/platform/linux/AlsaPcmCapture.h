#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/CaptureBuffers.h"
#include "runtime/EventLoop.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

// alsa-lib's handle of an open PCM, as <alsa/asoundlib.h> declares it.
typedef struct _snd_pcm snd_pcm_t;

namespace quietmon {

// Capture from an ALSA PCM device. A thread sleeps in poll() on the PCM and on an eventfd (so that a reset
// ends it at once) and reads into the queued buffers. An overrun never stops the capture; a device that
// vanishes ends the thread, and the program's watchdog takes over.
class AlsaPcmCapture final : public CaptureDevice {
public:
    // Opens the PCM `name` and sets it up for `format`; nothing, and the system's text in `error`, when
    // either fails.
    static std::unique_ptr<AlsaPcmCapture> open(const std::string& name, const CaptureFormat& format,
                                                EventLoop& loop, CaptureDriver::BufferDone onBufferDone,
                                                std::string& error);

    AlsaPcmCapture(snd_pcm_t* pcm, int bytesPerFrame, EventLoop& loop,
                   CaptureDriver::BufferDone onBufferDone);
    ~AlsaPcmCapture() override;
    AlsaPcmCapture(const AlsaPcmCapture&) = delete;
    AlsaPcmCapture& operator=(const AlsaPcmCapture&) = delete;

    bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string& error) override;
    bool start(std::string& error) override;
    void reset() override;

private:
    static constexpr int wakeWithoutDataPauseMs = 10;

    void stopThread();
    bool readAvailable(bool& read);
    void capture();

    snd_pcm_t* m_pcm;
    int m_bytesPerFrame;
    CaptureBuffers m_buffers;
    int m_wake;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace quietmon
