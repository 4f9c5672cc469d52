#include "status/StatusServer.h"

#include "runtime/SystemClock.h"
#include "status/HistoryPage.h"
#include "status/StatusPageHtml.h"
#include "status/StatusPages.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>

namespace quietmon {

namespace {

// Tokens are compared by their digests, which have one length whatever the token's, with a comparison
// that does not stop at the first difference: the time an answer takes tells nothing of the token.
std::array<unsigned char, SHA256_DIGEST_LENGTH> digestOf(std::string_view text) {
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest.data());
    return digest;
}

} // namespace

struct StatusServerCallbacks {
    // Called once the headers are in. The answer is queued at once: libmicrohttpd then reads no body (it
    // sends no "100 Continue" either) and closes the connection after the answer.
    static MHD_Result onRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                                const char* /*version*/, const char* /*uploadData*/,
                                std::size_t* /*uploadSize*/, void** /*state*/) {
        const auto& server = *static_cast<const StatusServer*>(self);
        const StatusServer::Answer answer = server.answer(connection, method, url);
        MHD_Response* response = MHD_create_response_from_buffer(
            answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType);
        if (answer.status == MHD_HTTP_UNAUTHORIZED)
            MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer realm=\"quietmon\"");
        if (answer.status == MHD_HTTP_METHOD_NOT_ALLOWED)
            MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
        MHD_destroy_response(response);
        return queued;
    }

    // libmicrohttpd reports a closed connection before it closes the socket.
    static void onConnection(void* self, MHD_Connection* connection, void** /*socketContext*/,
                             MHD_ConnectionNotificationCode change) {
        ConnectionDeadlines& deadlines = static_cast<StatusServer*>(self)->m_deadlines;
        if (change == MHD_CONNECTION_NOTIFY_CLOSED) {
            deadlines.closed(connection);
            return;
        }
        if (const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
            deadlines.opened(connection, info->connect_fd);
    }
};

StatusServer::StatusServer(const StatusBoard& board, const std::string& token)
    : m_board(board), m_tokenNeeded(!token.empty()), m_tokenDigest(digestOf(token)) {}

StatusServer::~StatusServer() {
    if (m_daemon)
        MHD_stop_daemon(m_daemon); // before the deadlines go: it reports the connections it closes
}

std::optional<std::string> StatusServer::start(const StatusListenAddress& address) {
    sockaddr_storage socketAddress{};
    // No error log: it would write a line to stderr for every connection beyond the limits.
    unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD;
    if (address.ipv6) {
        auto& ipv6 = reinterpret_cast<sockaddr_in6&>(socketAddress);
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(static_cast<std::uint16_t>(address.port));
        inet_pton(AF_INET6, address.host.c_str(), &ipv6.sin6_addr);
        flags |= MHD_USE_IPv6;
    } else {
        auto& ipv4 = reinterpret_cast<sockaddr_in&>(socketAddress);
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(static_cast<std::uint16_t>(address.port));
        inet_pton(AF_INET, address.host.c_str(), &ipv4.sin_addr);
    }
    errno = 0;
    m_daemon = MHD_start_daemon(
        flags, static_cast<std::uint16_t>(address.port), nullptr, nullptr, &StatusServerCallbacks::onRequest,
        this, MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&socketAddress), MHD_OPTION_CONNECTION_LIMIT,
        connectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT, connectionsPerClient,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, memoryPerConnection, MHD_OPTION_CONNECTION_TIMEOUT,
        idleTimeoutSeconds, MHD_OPTION_NOTIFY_CONNECTION, &StatusServerCallbacks::onConnection, this,
        MHD_OPTION_END);
    if (!m_daemon)
        return "cannot listen on " + (address.ipv6 ? "[" + address.host + "]" : address.host) + ":" +
               std::to_string(address.port) +
               (errno ? std::string(": ") + std::strerror(errno) : std::string());
    return std::nullopt;
}

bool StatusServer::authorised(MHD_Connection* connection) const {
    if (!m_tokenNeeded)
        return true;
    const char* header =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    constexpr std::string_view scheme = "Bearer ";
    const std::string_view given = header ? header : "";
    if (!given.starts_with(scheme))
        return false;
    const Digest givenDigest = digestOf(given.substr(scheme.size()));
    return CRYPTO_memcmp(givenDigest.data(), m_tokenDigest.data(), givenDigest.size()) == 0;
}

StatusServer::Answer StatusServer::answer(MHD_Connection* connection, const std::string& method,
                                          const std::string& path) const {
    constexpr const char* text = "text/plain; charset=utf-8";
    const bool readsOnly = method == MHD_HTTP_METHOD_GET || method == MHD_HTTP_METHOD_HEAD;
    if (path == "/" && readsOnly)
        return {MHD_HTTP_OK, std::string(statusPageHtml), "text/html; charset=utf-8"};
    if (!authorised(connection))
        return {MHD_HTTP_UNAUTHORIZED, "A bearer token is needed.\n", text};
    if (path != "/" && path != "/metrics" && path != "/status" && path != "/history")
        return {MHD_HTTP_NOT_FOUND, "Not found: /, /metrics, /status and /history are here.\n", text};
    if (!readsOnly)
        return {MHD_HTTP_METHOD_NOT_ALLOWED, "Only GET and HEAD.\n", text};
    if (path == "/history") {
        const char* hoursText = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "hours");
        const std::optional<int> hours = parseHistoryHours(hoursText ? hoursText : "");
        if (!hours)
            return {MHD_HTTP_BAD_REQUEST, "hours must be a whole number from 1 to 744 (31 days).\n", text};
        std::string failure;
        const std::optional<std::string> page =
            historyPage(m_levelHistoryPath, m_alarmHistoryPath, *hours, SystemClock().now(), failure);
        if (!page)
            return {MHD_HTTP_SERVICE_UNAVAILABLE, "No level history: " + failure + "\n", text};
        return {MHD_HTTP_OK, *page, "application/json"};
    }
    const std::shared_ptr<const StatusSnapshot> snapshot = m_board.latest();
    if (!snapshot)
        return {MHD_HTTP_SERVICE_UNAVAILABLE, "The monitor is starting.\n", text};
    const DateTime now = SystemClock().now();
    if (path == "/metrics")
        return {MHD_HTTP_OK, metricsPage(*snapshot, now), "text/plain; version=0.0.4; charset=utf-8"};
    return {MHD_HTTP_OK, statusPage(*snapshot, now), "application/json"};
}

} // namespace quietmon
