#include "audio/StreamCaptureDriver.h"

#include "config/StreamAddress.h"

namespace quietmon {

StreamCaptureDriver::StreamCaptureDriver(NetworkStreams& streams, Log log)
    : m_streams(streams), m_log(std::move(log)) {}

std::unique_ptr<CaptureDevice> StreamCaptureDriver::open(int, const CaptureFormat& format,
                                                         BufferDone onBufferDone, std::string& error) {
    if (const auto refusal = streamAddressRefusal(m_address)) {
        logLoss(*refusal);
        error = *refusal;
        return nullptr;
    }
    StreamEvents events;
    events.connected = [this](const std::string& codec, int sampleRate, int channels) {
        m_lossLogged = false;
        m_log("Stream connected: " + addressWithoutCredentials(m_address) + " (" + codec + ", " +
              std::to_string(sampleRate) + " Hz, " + std::to_string(channels) + " channel(s))");
    };
    events.lost = [this](const std::string& reason) { logLoss(reason); };
    events.title = [this](const std::string& title) {
        m_title = title;
        if (m_onTitleChanged)
            m_onTitleChanged();
    };
    return m_streams.open(m_address, format, std::move(onBufferDone), std::move(events), error);
}

void StreamCaptureDriver::logLoss(const std::string& reason) {
    if (m_lossLogged)
        return;
    m_lossLogged = true;
    m_log("Stream lost - " + reason + " (" + addressWithoutCredentials(m_address) + ")");
}

} // namespace quietmon
