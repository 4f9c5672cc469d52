#pragma once

#include "support/EnvironmentOverride.h"
#include "support/TempFolder.h"

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quietmon::test {

// How the test's own SMTP server behaves (see smtp-test-server.py beside this file).
struct SmtpTestServerOptions {
    // "smtp", or a broken server: "silent", "drip", "long-line", "endless-reply", "tls-stall", or "slow",
    // which takes a message but answers each line only after `dripIntervalMs`
    std::string mode = "smtp";
    bool starttls = false; // offer STARTTLS, with a certificate made for the test run
    // Which one (see make-test-certificates.py): "trusted" (signed by the test run's own authority, which
    // TrustTestAuthority makes the client trust), "self-signed", "wrong-name", "expired".
    std::string certificate = "trusted";
    bool tls10Only = false;   // speak TLS 1.0 and nothing newer
    bool implicitTls = false; // speak TLS from the first byte, as on port 465, and offer no STARTTLS
    std::string user;         // require AUTH with this user name and password when not empty
    std::string password;
    bool refuseEhlo = false;
    int dripIntervalMs = 100; // "drip": between bytes; "slow": before each reply
};

// The certificates of the test run, made once per test process.
struct TestCertificates {
    std::string folder;
    // The path of NAME's certificate.
    std::string certificate(const std::string& name) const { return folder + "/" + name + ".pem"; }
    // NAME's SHA-256 fingerprint as "AB:CD:...".
    std::string fingerprint(const std::string& name) const;
};
const TestCertificates& testCertificates();

// While it lives, TLS clients of this process trust the test run's own authority as well as the system's.
class TrustTestAuthority {
public:
    TrustTestAuthority();
    ~TrustTestAuthority();
    TrustTestAuthority(const TrustTestAuthority&) = delete;
    TrustTestAuthority& operator=(const TrustTestAuthority&) = delete;

private:
    std::unique_ptr<EnvironmentOverride> m_override;
};

// An SMTP server on a free port of 127.0.0.1, private to one test: it keeps what it receives in a
// temporary folder, and ends with the object (or with the test process, whichever way that ends).
class SmtpTestServer {
public:
    // Starts it and waits until it listens; throws when it does not within 10 s.
    explicit SmtpTestServer(SmtpTestServerOptions options = {});
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    int port() const { return m_port; }
    // "127.0.0.1:port", as the "Outgoing SMTP server" field takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

    // The messages accepted so far, in order: the server's "X-" lines and then the message as received.
    std::vector<std::string> messages() const;
    // Every command line the server read, one per line, and "<closed>" where a connection ended.
    std::vector<std::string> transcript() const;
    // Waits until the transcript holds `count` connection ends; whether it did within `timeoutMs`.
    bool waitForClosedConnections(int count, int timeoutMs = 5000) const;

private:
    // Ends the server this object started, and no other process.
    void stop();

    TempFolder m_folder;
    pid_t m_pid = -1;
    int m_input = -1; // the server's standard input: closing it ends the server
    int m_port = 0;
};

// A port of 127.0.0.1 that refuses connections for the life of the object: bound, never listening.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

// Base64 decoding, to read what a message carries.
std::string decodeBase64(const std::string& text);

} // namespace quietmon::test
