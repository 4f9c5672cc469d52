#pragma once

#include "config/ProductIdentity.h"
#include "platform/HttpTransport.h"
#include "runtime/EventLoop.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quietmon {

// The request component: one GET at a time, run by a worker thread of its own so that the caller goes on
// at once. The worker works on its own copies and hands its outcome back through the event loop; the
// component is busy from the start of a request until that outcome has been delivered, and turns away
// every request meanwhile.
class HttpGet {
public:
    static constexpr const char* agent = productNameText;
    static constexpr const char* acceptTypes = "*/*";
    // Reading stops once this much of an answer is in. Nobody is shown more than 1024 characters, and a
    // server that sends without end must not fill the memory.
    static constexpr std::size_t keptAnswerBytes = 64 * 1024;

    // `transport` runs on the worker; both must outlive the component.
    HttpGet(EventLoop& loop, HttpTransport& transport);
    // Tells a running worker to stop and waits for it; its outcome is then never delivered.
    ~HttpGet();
    HttpGet(const HttpGet&) = delete;
    HttpGet& operator=(const HttpGet&) = delete;

    void setTimeouts(const HttpTimeouts& timeouts) { m_timeouts = timeouts; }
    // Called on the logic thread with the answer when at least one byte of it arrived, whatever the
    // status; `result` tells the status and whether the transfer broke off.
    using DoneHandler = std::function<void(const std::string& text, const HttpResult& result)>;
    // Called on the logic thread when nothing arrived: no connection, no answer, an empty answer.
    using ErrorHandler = std::function<void(const HttpResult& result)>;
    void setOnDoneString(DoneHandler handler) { m_onDoneString = std::move(handler); }
    void setOnError(ErrorHandler handler) { m_onError = std::move(handler); }

    // Starts a worker for the URL and returns at once. False, with nothing started, while a request
    // runs or when no thread could be started; otherwise exactly one of the two handlers follows.
    // The URL is the address and, when `query` is not empty, "?" and the query, which counts as path
    // only (splitUrl).
    bool getString(const std::string& address, const std::string& query = {});
    bool busy() const { return m_worker.joinable(); }
    // The URL of the request running now, or of the last one.
    const std::string& url() const { return m_url; }

private:
    struct Outcome { // each member with its initialiser, so that a designated initialiser may leave it out
        bool success = false;
        std::string text{};
        HttpResult result{};
    };

    static Outcome fetch(HttpTransport& transport, const HttpTarget& target, const HttpGetOptions& options,
                         const std::stop_token& stop);
    void finished(Outcome outcome);

    EventLoop& m_loop;
    HttpTransport& m_transport;
    HttpTimeouts m_timeouts;
    DoneHandler m_onDoneString;
    ErrorHandler m_onError;
    std::string m_url;
    // What a worker's posted outcome finds when it runs: nothing once the component is gone.
    std::shared_ptr<HttpGet*> m_self = std::make_shared<HttpGet*>(this);
    std::jthread m_worker;
};

} // namespace quietmon
