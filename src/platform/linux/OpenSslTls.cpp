#include "platform/linux/OpenSslTls.h"

#include "platform/Network.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace quietmon {

namespace {

bool isAddressLiteral(const std::string& host) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

std::string lastOpenSslError() {
    unsigned long code = 0;
    unsigned long last = 0;
    while ((code = ::ERR_get_error()) != 0)
        last = code;
    if (last == 0)
        return {};
    const char* reason = ::ERR_reason_error_string(last);
    return reason ? reason : "error " + std::to_string(last);
}

} // namespace

OpenSslTls::OpenSslTls(const std::string& serverName) {
    ::ERR_clear_error();
    if (::OPENSSL_init_ssl(0, nullptr) != 1 || !(m_context = ::SSL_CTX_new(::TLS_client_method())))
        throw NetworkError("Could not load SSL library.");
    // Security level 0 lets OpenSSL 3 speak TLS 1.0 and 1.1 again; the legacy option reaches servers
    // from before secure renegotiation. Without certificate checks neither weakens what TLS gives here.
    ::SSL_CTX_set_security_level(m_context, 0);
    ::SSL_CTX_set_min_proto_version(m_context, TLS1_VERSION);
    ::SSL_CTX_set_max_proto_version(m_context, 0);
    ::SSL_CTX_set_options(m_context, SSL_OP_LEGACY_SERVER_CONNECT);
    ::SSL_CTX_set_verify(m_context, SSL_VERIFY_NONE, nullptr);
    m_ssl = ::SSL_new(m_context);
    m_incoming = ::BIO_new(::BIO_s_mem());
    m_outgoing = ::BIO_new(::BIO_s_mem());
    if (!m_ssl || !m_incoming || !m_outgoing) {
        ::BIO_free(m_incoming);
        ::BIO_free(m_outgoing);
        ::SSL_free(m_ssl);
        ::SSL_CTX_free(m_context);
        throw NetworkError("Could not load SSL library.");
    }
    // An empty incoming buffer means "wait for more", not the end of the stream.
    BIO_set_mem_eof_return(m_incoming, -1);
    ::SSL_set_bio(m_ssl, m_incoming, m_outgoing);
    ::SSL_set_connect_state(m_ssl);
    if (!serverName.empty() && !isAddressLiteral(serverName))
        ::SSL_set_tlsext_host_name(m_ssl, serverName.c_str());
}

OpenSslTls::~OpenSslTls() {
    ::SSL_free(m_ssl);
    ::SSL_CTX_free(m_context);
}

void OpenSslTls::fail(const std::string& what) {
    const std::string reason = lastOpenSslError();
    throw NetworkError(reason.empty() ? what : what + ": " + reason);
}

bool OpenSslTls::handshake() {
    ::ERR_clear_error();
    const int result = ::SSL_do_handshake(m_ssl);
    if (result == 1)
        return true;
    const int error = ::SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return false;
    fail("The TLS handshake failed");
}

void OpenSslTls::putIncoming(const char* bytes, std::size_t size) {
    if (size > 0 && ::BIO_write(m_incoming, bytes, static_cast<int>(size)) != static_cast<int>(size))
        throw NetworkError("Out of memory for TLS data.");
}

std::string OpenSslTls::takeOutgoing() {
    std::string bytes(static_cast<std::size_t>(BIO_ctrl_pending(m_outgoing)), '\0');
    if (!bytes.empty()) {
        const int got = ::BIO_read(m_outgoing, bytes.data(), static_cast<int>(bytes.size()));
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    return bytes;
}

std::size_t OpenSslTls::read(char* buffer, std::size_t capacity) {
    ::ERR_clear_error();
    const int chunk = capacity > 65536 ? 65536 : static_cast<int>(capacity);
    const int result = ::SSL_read(m_ssl, buffer, chunk);
    if (result > 0)
        return static_cast<std::size_t>(result);
    const int error = ::SSL_get_error(m_ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return 0;
    if (error == SSL_ERROR_ZERO_RETURN)
        throw NetworkError("The server closed the connection.");
    fail("Reading through TLS failed");
}

void OpenSslTls::write(std::string_view bytes) {
    ::ERR_clear_error();
    while (!bytes.empty()) {
        // Memory BIOs take everything, so a write never has to wait.
        const int chunk = bytes.size() > 65536 ? 65536 : static_cast<int>(bytes.size());
        const int result = ::SSL_write(m_ssl, bytes.data(), chunk);
        if (result <= 0)
            fail("Writing through TLS failed");
        bytes.remove_prefix(static_cast<std::size_t>(result));
    }
}

void OpenSslTls::shutdown() {
    ::ERR_clear_error();
    ::SSL_shutdown(m_ssl);
    ::ERR_clear_error();
}

} // namespace quietmon
