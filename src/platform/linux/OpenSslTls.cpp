#include "platform/linux/OpenSslTls.h"

#include "platform/Network.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ctime>
#include <memory>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

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

struct CertificateFree {
    void operator()(X509* certificate) const { ::X509_free(certificate); }
};
using CertificateHandle = std::unique_ptr<X509, CertificateFree>;

// "CN=mail.example.org, O=Example", UTF-8 kept as it is.
std::string nameText(const X509_NAME* name) {
    BIO* text = ::BIO_new(::BIO_s_mem());
    if (!text)
        return {};
    ::X509_NAME_print_ex(text, name, 0, XN_FLAG_ONELINE & ~XN_FLAG_SPC_EQ & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(text, &data);
    std::string result(data, static_cast<std::size_t>(std::max(size, 0L)));
    ::BIO_free(text);
    return result;
}

std::string timeText(const ASN1_TIME* when) {
    std::tm parts{};
    if (!when || ::ASN1_TIME_to_tm(when, &parts) != 1)
        return "unknown";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

} // namespace

OpenSslTls::OpenSslTls(const std::string& serverName, const TlsTrust& trust) : m_trust(trust) {
    ::ERR_clear_error();
    if (::OPENSSL_init_ssl(0, nullptr) != 1 || !(m_context = ::SSL_CTX_new(::TLS_client_method())))
        throw NetworkError("Could not load SSL library.");
    // OpenSSL's default security level; nothing older than TLS 1.2, which every maintained mail server
    // speaks: the older versions' weaknesses would let a login be read after all.
    ::SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    ::SSL_CTX_set_max_proto_version(m_context, 0);
    // The system's trust store (or the one SSL_CERT_FILE / SSL_CERT_DIR name). The chain is verified
    // during the handshake but judged after it, so that a refusal can name the certificate it refused.
    ::SSL_CTX_set_default_verify_paths(m_context);
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
    // The certificate must name the host as written in the settings: a name, or an address literal.
    ::SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (isAddressLiteral(serverName)) {
        ::X509_VERIFY_PARAM_set1_ip_asc(::SSL_get0_param(m_ssl), serverName.c_str());
    } else {
        ::SSL_set1_host(m_ssl, serverName.c_str());
        if (!serverName.empty())
            ::SSL_set_tlsext_host_name(m_ssl, serverName.c_str());
    }
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

void OpenSslTls::checkCertificate() const {
    const CertificateHandle certificate(::SSL_get1_peer_certificate(m_ssl));
    if (!certificate)
        throw UntrustedCertificateError({.problem = "the server sent no certificate"});
    CertificateDetails details;
    unsigned int digestLength = 0;
    if (::X509_digest(certificate.get(), ::EVP_sha256(), details.sha256.data(), &digestLength) != 1 ||
        digestLength != details.sha256.size())
        throw NetworkError("The server's certificate could not be read.");
    if (m_trust.pinnedSha256 && *m_trust.pinnedSha256 == details.sha256)
        return;
    const long verification = ::SSL_get_verify_result(m_ssl);
    if (verification == X509_V_OK)
        return;
    details.problem = ::X509_verify_cert_error_string(verification);
    if (m_trust.pinnedSha256)
        details.problem += ", and it is not the certificate trusted for this server";
    details.subject = nameText(::X509_get_subject_name(certificate.get()));
    details.issuer = nameText(::X509_get_issuer_name(certificate.get()));
    details.expires = timeText(::X509_get0_notAfter(certificate.get()));
    throw UntrustedCertificateError(std::move(details));
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
