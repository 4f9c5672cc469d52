#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/CaptureBuffers.h"
#include "platform/linux/PulsePollingLoop.h"
#include "platform/linux/SoundServerRoute.h"
#include "runtime/EventLoop.h"
#include "runtime/Timer.h"

#include <chrono>
#include <memory>
#include <string>

struct pa_context;
struct pa_stream;

namespace quietmon {

// Capture straight from a PulseAudio server (or PipeWire's PulseAudio service): one record stream in the
// program's format, one buffer per fragment, the server holding at most as many buffers as the program
// queues. No thread of its own: the logic thread watches the connection and reads what the server sent as
// soon as it comes, right after the server wrote it, and hands each full buffer over. A server that
// delivers in smaller pieces (another reader hurries the source) is not followed piece by piece: after a
// wake-up that filled no buffer, the connection is read again only when the rest of the buffer is due, so
// that a buffer costs at most two wake-ups. A server that goes away ends the delivery; the program's
// watchdog opens the capture again.
class PulseCapture final : public CaptureDevice {
public:
    enum class Connection {
        recording, // ready: buffers flow once started
        noServer,  // no server took the connection
        failed,    // the server answered but refused the stream, or did not answer in time
    };

    PulseCapture(SoundServerSource source, const CaptureFormat& format, EventLoop& loop,
                 CaptureDriver::BufferDone onBufferDone);
    ~PulseCapture() override;
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Connects and sets the stream up, paused; waits at most `answerTimeout` for the server. On failure
    // `error` holds the server's text.
    Connection connect(std::chrono::milliseconds answerTimeout, std::string& error);

    bool addBuffer(std::span<std::uint8_t> buffer, int tag, std::string& error) override;
    bool start(std::string& error) override;
    void reset() override;

private:
    enum class State { connecting, ready, noServer, failed };

    void createStream();
    void readWhatCame();
    void waitForTheRestOfTheBuffer();
    void pause(bool paused);
    void fail(State state);
    std::string lastError() const;

    static void onContextState(pa_context* context, void* userdata);
    static void onStreamState(pa_stream* stream, void* userdata);
    static void onStreamRead(pa_stream* stream, std::size_t bytes, void* userdata);

    const SoundServerSource m_source;
    const CaptureFormat m_format;
    CaptureBuffers m_buffers;
    PulsePollingLoop m_mainloop;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    State m_state = State::connecting;
    bool m_recording = false;
};

} // namespace quietmon
