#pragma once

#include <string>
#include <string_view>

namespace quietmon {

struct SmtpServerAddress {
    static constexpr int defaultPort = 25;
    // The port of SMTP over TLS from the first byte ("implicit TLS"), with no STARTTLS.
    static constexpr int implicitTlsPort = 465;

    std::string host;
    // As written; it may lie outside 1..65535, which the connection refuses.
    long port = defaultPort;
};

// The "Outgoing SMTP server" text: "host" or "host:port". A colon among the first three characters
// belongs to the host name (so "ab:25" is a host name), and a port that is not a whole number in the
// five characters after the colon gives the default port.
SmtpServerAddress parseSmtpServerText(std::string_view text);

} // namespace quietmon
