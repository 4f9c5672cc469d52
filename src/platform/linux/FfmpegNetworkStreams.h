#pragma once

#include "platform/NetworkStream.h"
#include "runtime/EventLoop.h"

namespace quietmon {

// Network streams read with FFmpeg's libraries: Icecast and Shoutcast (with their "now playing"
// titles), HLS, and what else libavformat opens over http, https or tls. Each device connects and
// decodes on a thread of its own and hands its buffers over at the audio's own pace, so that the burst
// a streaming server sends on connect is not heard as seconds of sound in one instant.
class FfmpegNetworkStreams final : public NetworkStreams {
public:
    explicit FfmpegNetworkStreams(EventLoop& loop);

    std::unique_ptr<CaptureDevice> open(const std::string& address, const CaptureFormat& format,
                                        CaptureDriver::BufferDone onBufferDone, StreamEvents events,
                                        std::string& error) override;

private:
    EventLoop& m_loop;
};

} // namespace quietmon
