#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace quietmon {

enum class HttpScheme { Http, Https, Ftp };

// Where a request goes, as the program's own URL split found it. Nothing here is decoded or checked:
// the transport hands each piece to the client library on its own.
struct HttpTarget {
    HttpScheme scheme = HttpScheme::Http;
    int port = 80;
    std::string user;
    std::string password;
    std::string host;
    // From the first "/" on, with the query; empty asks for the server's root.
    std::string path;

    friend bool operator==(const HttpTarget&, const HttpTarget&) = default;
};

// A server that accepts a connection and then says nothing must not hold a request for ever: the one
// request the program runs at a time carries every later alarm's query. Zero turns a bound off (curl
// still gives up a connection attempt after 300 s).
struct HttpTimeouts {
    int connectMs = 20000;
    // The transfer is given up when fewer than `lowSpeedBytesPerSecond` bytes a second arrived in a span
    // of `lowSpeedTimeMs`, spans counted on from the start; this also bounds the wait for the first byte.
    int lowSpeedBytesPerSecond = 1;
    int lowSpeedTimeMs = 30000;
    // A server that trickles just fast enough is still cut off here.
    int totalMs = 300000;
};

// How one request ended, beside the body that went to the sink.
struct HttpResult {
    // The status code of the last HTTP answer (after redirects); 0 when no answer came, and for FTP.
    int status = 0;
    // Why the transfer failed, short and readable ("Connection refused", "Timeout was reached",
    // "Couldn't resolve host name"); empty when it ended normally, when the sink refused a chunk, or when
    // a stop was requested.
    std::string failure;

    friend bool operator==(const HttpResult&, const HttpResult&) = default;
};

struct HttpGetOptions {
    std::string agent;
    std::string acceptTypes;
    HttpTimeouts timeouts;
};

// The client side of HTTP, HTTPS and FTP downloads.
class HttpTransport {
public:
    // Takes one chunk of the answer; false stops reading.
    using ChunkSink = std::function<bool(std::string_view chunk)>;

    virtual ~HttpTransport() = default;
    // Runs one request on the calling thread: a GET as HTTP/1.0 with the agent and accept types, past
    // every cache (HTTP, HTTPS), or a passive binary download (FTP). HTTPS certificates are verified
    // against the system's authorities. The answer's body goes to `sink` in chunks of up to 1025 bytes as
    // it arrives, whatever the status code. Returns when the answer ends, a read fails, a time-out passes,
    // `sink` refuses a chunk, or a stop is requested through `stop` (which ends any wait at once).
    // Redirects are followed only on the same host; the body of a redirect is no part of the answer.
    virtual HttpResult get(const HttpTarget& target, const HttpGetOptions& options, std::stop_token stop,
                           const ChunkSink& sink) = 0;
};

} // namespace quietmon
