#pragma once

#include "platform/Network.h"

#include <cstddef>
#include <string>
#include <string_view>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace quietmon {

// A TLS client session that does no I/O of its own: the connection feeds it what the socket received
// and sends what it produced. So every wait stays with the connection, under its deadlines, and no
// write of OpenSSL's can raise SIGPIPE.
//
// It speaks TLS 1.2 and later only, and the server's certificate is checked once the handshake is done,
// before the connection carries anything (checkCertificate): a login or a message never goes to a server
// that could be anyone on the way.
class OpenSslTls {
public:
    // Throws NetworkError "Could not load SSL library." when OpenSSL cannot give a client context.
    // `serverName` is the host the certificate must name; `trust` may pin one certificate instead.
    OpenSslTls(const std::string& serverName, const TlsTrust& trust);
    ~OpenSslTls();
    OpenSslTls(const OpenSslTls&) = delete;
    OpenSslTls& operator=(const OpenSslTls&) = delete;

    // One step of the handshake; true once it is complete. Throws NetworkError when it failed.
    bool handshake();
    // After the handshake: throws UntrustedCertificateError unless the server's certificate is the pinned
    // one, or chains to the system's trust store (or SSL_CERT_FILE, SSL_CERT_DIR) and names the host.
    void checkCertificate() const;
    // Bytes the socket received.
    void putIncoming(const char* bytes, std::size_t size);
    // Bytes to send on the socket, taken out of the session.
    std::string takeOutgoing();
    // Decrypted bytes into `buffer`; 0 when more must be received first. Throws NetworkError when the
    // server ended the session or broke the protocol.
    std::size_t read(char* buffer, std::size_t capacity);
    // Encrypts `bytes` into the outgoing data.
    void write(std::string_view bytes);
    // Queues the close notification.
    void shutdown();

private:
    [[noreturn]] void fail(const std::string& what);

    TlsTrust m_trust;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    BIO* m_incoming = nullptr; // owned by m_ssl
    BIO* m_outgoing = nullptr; // owned by m_ssl
};

} // namespace quietmon
