#pragma once

#include "config/TaskKindSettings.h"

#include <string>

namespace quietmon {

// "Send email", in both queues.
struct EmailSettings {
    std::string from = "@";
    std::string to = "@";
    std::string subject; // named after the product
    std::string message;
    std::string smtp;
    std::string file;
    std::string username;
    std::string password; // plain in memory, scrambled in the file
    bool authenticate = false;
    bool ssl = false;
    // The fingerprint of the one certificate to accept from the server instead of one the system's trust
    // store vouches for (a station's own server with a self-signed certificate); empty for none.
    std::string trustedCertificate;
    // What the message carries beside "Attach file": a picture of the levels of the last 10 minutes, and
    // the sound on air around the silence (or around its end, for the return message).
    bool attachLevelGraph = false;
    bool attachAudioClip = false;
};

template <> struct SettingsOfKind<TaskKind::SendEmail> { using type = EmailSettings; };

} // namespace quietmon
