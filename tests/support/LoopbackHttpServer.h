#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quietmon::test {

// A small HTTP server on 127.0.0.1 for the tests of the program's client side. It reads each request's
// head as it arrives on the wire and lets the test's handler answer with whatever bytes it likes: a whole
// answer, an endless one, or nothing at all. Each connection is served on a thread of its own and closed
// when the handler returns, as an HTTP/1.0 server does.
class LoopbackHttpServer {
public:
    struct Request {
        // The request line and the headers as received, without the blank line.
        std::string head;

        std::string requestLine() const;
        // The first header of that name (any letter case), its value without surrounding spaces; empty
        // when absent.
        std::string header(std::string_view name) const;
    };

    class Exchange {
    public:
        Exchange(LoopbackHttpServer& server, int socket, Request request)
            : m_server(server), m_socket(socket), m_request(std::move(request)) {}
        const Request& request() const { return m_request; }
        // False once the client has gone.
        bool send(std::string_view bytes);
        // Waits until the test releases held exchanges or the server stops.
        void holdUntilReleased();

    private:
        LoopbackHttpServer& m_server;
        int m_socket;
        Request m_request;
    };

    using Handler = std::function<void(Exchange&)>;

    explicit LoopbackHttpServer(Handler handler);
    // Stops listening, wakes held exchanges, cuts open connections and waits for their handlers.
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(std::string_view path) const;

    std::vector<Request> requests() const;
    // Whether `count` requests had arrived within `timeout`.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void release();

    // A whole answer with a Content-Length.
    static std::string answer(int status, std::string_view reason, std::string_view body,
                              std::string_view contentType = "text/html");

private:
    void acceptConnections();
    void serve(int socket);

    Handler m_handler;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Request> m_requests;
    std::set<int> m_open;
    bool m_released = false;
    bool m_stopping = false;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

// A loopback port on which nothing listens (the port was free a moment ago).
int unusedLoopbackPort();

} // namespace quietmon::test
