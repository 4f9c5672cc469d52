#pragma once

#include "platform/EventLoop.h"
#include "platform/WaveIn.h"
#include "platform/linux/CaptureBuffers.h"
#include "platform/linux/SoundServerRoute.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace quietmon {

// Capture straight from a PulseAudio server (or PipeWire's PulseAudio service): one record stream in the
// program's format whose fragments are one buffer long, the server holding at most as many buffers as the
// program queues. Its mainloop thread is the one reader: it gathers what the server delivers into the
// queued buffers and posts each full one, so that a buffer costs one wake-up of each thread. A server that
// goes away ends the delivery; the program's watchdog opens the capture again.
class PulseCapture final : public WaveInDevice {
public:
    enum class Connection {
        recording, // ready: buffers flow once started
        noServer,  // no server took the connection
        failed,    // the server answered but refused the stream, or did not answer in time
    };

    PulseCapture(SoundServerSource source, const WaveInFormat& format, EventLoop& loop,
                 WaveInDriver::BufferDone onBufferDone);
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

    void setState(State state);
    void createStream();
    void pause(bool paused);
    std::string lastError() const;

    static void onContextState(pa_context* context, void* userdata);
    static void onStreamState(pa_stream* stream, void* userdata);
    static void onStreamRead(pa_stream* stream, std::size_t bytes, void* userdata);

    const SoundServerSource m_source;
    const WaveInFormat m_format;
    CaptureBuffers m_buffers;
    pa_threaded_mainloop* m_mainloop = nullptr;

    // The mainloop thread's, or under the mainloop's lock.
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    bool m_recording = false;

    // How far the connection got, for the thread that waits in connect().
    std::mutex m_mutex;
    std::condition_variable m_stateChanged;
    State m_state = State::connecting;
};

} // namespace quietmon
