#pragma once

#include "platform/NetworkStream.h"
#include "runtime/EventLoop.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quietmon {

struct FfmpegStreamState;

// The readers' threads: never joined where the logic thread runs, but counted, so that the end of the
// program can wait a bounded time for them to leave FFmpeg.
class StreamThreads {
public:
    void run(std::function<void()> work);
    // False if some still run after `deadline`.
    bool waitUntilFinished(std::chrono::milliseconds deadline);

private:
    // Shared with the threads, which may outlive the wait.
    struct Count {
        std::mutex mutex;
        std::condition_variable finished;
        int running = 0;
    };
    std::shared_ptr<Count> m_count = std::make_shared<Count>();
};

// Network streams read with FFmpeg's libraries: Icecast and Shoutcast (with their "now playing"
// titles), HLS, and what else libavformat opens over http, https or tls. Each device connects and
// decodes on a thread of its own and hands its buffers over at the audio's own pace, so that the burst
// a streaming server sends on connect is not heard as seconds of sound in one instant.
class FfmpegNetworkStreams final : public NetworkStreams {
public:
    explicit FfmpegNetworkStreams(EventLoop& loop);
    // Interrupts every reader and waits a moment for them to end.
    ~FfmpegNetworkStreams() override;
    FfmpegNetworkStreams(const FfmpegNetworkStreams&) = delete;
    FfmpegNetworkStreams& operator=(const FfmpegNetworkStreams&) = delete;

    std::unique_ptr<CaptureDevice> open(const std::string& address, const CaptureFormat& format,
                                        CaptureDriver::BufferDone onBufferDone, StreamEvents events,
                                        std::string& error) override;

private:
    EventLoop& m_loop;
    std::vector<std::weak_ptr<FfmpegStreamState>> m_opened;
    StreamThreads m_threads;
};

} // namespace quietmon
