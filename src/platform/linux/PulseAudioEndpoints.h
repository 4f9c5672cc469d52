#pragma once

#include "platform/AudioEndpoints.h"

#include <chrono>

namespace quietmon {

// The sources of the PulseAudio server (or PipeWire's PulseAudio service) that libpulse finds through the
// environment: PULSE_SERVER, the user's runtime folder, client.conf. Every call connects anew, so a server
// that restarted between calls is simply found again.
class PulseAudioEndpoints final : public AudioEndpoints {
public:
    // `answerTimeout` bounds every wait for the server: one that accepts connections but never answers
    // must not hold the caller.
    explicit PulseAudioEndpoints(std::chrono::milliseconds answerTimeout = std::chrono::seconds(5));

    std::vector<AudioEndpoint> list() override;
    // The meter is streaming when it is returned; nothing when the server, or a source of that name, does
    // not answer within the timeout.
    std::unique_ptr<EndpointPeakMeter> openMeter(const std::string& id, int readIntervalMs) override;

private:
    std::chrono::milliseconds m_answerTimeout;
};

} // namespace quietmon
