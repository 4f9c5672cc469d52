#pragma once

#include "support/TempFolder.h"

#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quietmon::test {

// `openssl s_server -www` on 127.0.0.1 with a certificate made for the test, which no authority the
// system trusts has signed. A client that checks certificates must refuse it; one that does not gets a
// status page, or with Content::Files the files the test put at servedFile().
class SelfSignedHttpsServer {
public:
    enum class Content { StatusPage, Files };

    // Throws when openssl is missing or the server does not listen within 10 s.
    explicit SelfSignedHttpsServer(Content content = Content::StatusPage);
    // Ends the server it started and waits for it.
    ~SelfSignedHttpsServer();
    SelfSignedHttpsServer(const SelfSignedHttpsServer&) = delete;
    SelfSignedHttpsServer& operator=(const SelfSignedHttpsServer&) = delete;

    int port() const { return m_port; }
    // Where a file the server gives as /<name> goes.
    std::string servedFile(const std::string& name) const { return m_served.file(name); }
    // What the server printed so far: its accepts and the alerts of refused handshakes.
    std::string log() const;
    // Whether the log held `text` within `timeout`.
    bool waitForLog(std::string_view text, std::chrono::milliseconds timeout) const;

private:
    bool start();

    TempFolder m_folder;
    TempFolder m_served;
    Content m_content;
    int m_port = 0;
    pid_t m_pid = -1;
};

} // namespace quietmon::test
