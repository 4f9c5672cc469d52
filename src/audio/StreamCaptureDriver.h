#pragma once

#include "platform/AudioCapture.h"
#include "platform/NetworkStream.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quietmon {

// The network stream as a capture device, so that its buffers take the sound card's path: a
// BufferedCapture opened on it gets 44100 Hz 16-bit stereo buffers at the audio's own pace. A lost
// stream is logged once until it connects again, however often the capture is made anew meanwhile;
// the address is logged without its credentials.
class StreamCaptureDriver final : public CaptureDriver {
public:
    using Log = std::function<void(const std::string& text)>;

    StreamCaptureDriver(NetworkStreams& streams, Log log);

    void setAddress(std::string address) { m_address = std::move(address); }
    // The last "now playing" title the stream's server sent; empty before the first.
    const std::string& streamTitle() const { return m_title; }
    void setOnTitleChanged(std::function<void()> handler) { m_onTitleChanged = std::move(handler); }

    std::vector<std::string> deviceNames() override { return {}; }
    // `device` is ignored: there is one stream.
    std::unique_ptr<CaptureDevice> open(int device, const CaptureFormat& format, BufferDone onBufferDone,
                                        std::string& error) override;

private:
    void logLoss(const std::string& reason);

    NetworkStreams& m_streams;
    Log m_log;
    std::string m_address;
    std::string m_title;
    std::function<void()> m_onTitleChanged;
    bool m_lossLogged = false;
};

} // namespace quietmon
