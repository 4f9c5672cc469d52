#include "tasks/http/HttpGet.h"

#include "tasks/http/UrlSplit.h"

#include <cstdint>
#include <exception>

namespace quietmon {

HttpGet::HttpGet(EventLoop& loop, HttpTransport& transport) : m_loop(loop), m_transport(transport) {}

HttpGet::~HttpGet() {
    m_self.reset();
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
}

bool HttpGet::getString(const std::string& address, const std::string& query) {
    if (busy())
        return false;
    m_url = query.empty() ? address : address + "?" + query;
    HttpGetOptions options{agent, acceptTypes, m_timeouts};
    try {
        m_worker = std::jthread([&loop = m_loop, &transport = m_transport, target = splitUrl(address, query),
                                 options = std::move(options),
                                 self = std::weak_ptr<HttpGet*>(m_self)](std::stop_token stop) {
            Outcome outcome = fetch(transport, target, options, stop);
            if (stop.stop_requested())
                return;
            try {
                loop.post([self, outcome = std::move(outcome)]() mutable {
                    if (const std::shared_ptr<HttpGet*> alive = self.lock())
                        (*alive)->finished(std::move(outcome));
                });
            } catch (...) {
                // Out of memory for the event: the component stays busy, as it would for a hung server.
            }
        });
    } catch (...) {
        return false;
    }
    return true;
}

HttpGet::Outcome HttpGet::fetch(HttpTransport& transport, const HttpTarget& target,
                                const HttpGetOptions& options, const std::stop_token& stop) {
    Outcome outcome;
    std::uint64_t received = 0;
    try {
        outcome.result = transport.get(target, options, stop, [&](std::string_view chunk) {
            received += chunk.size();
            outcome.text.append(chunk.substr(0, keptAnswerBytes - outcome.text.size()));
            return outcome.text.size() < keptAnswerBytes && !stop.stop_requested();
        });
    } catch (const std::exception& error) {
        return {.result = {.failure = error.what()}};
    } catch (...) {
        return {.result = {.failure = "Unknown error"}};
    }
    // The status code does not decide: an error page with a body is an answer too.
    outcome.success = received > 0;
    return outcome;
}

void HttpGet::finished(Outcome outcome) {
    // The worker posted this as its last act.
    m_worker.join();
    // Free before the handlers run: one may hold a message box open, and the queries of alarms raised
    // meanwhile must still go out.
    if (outcome.success) {
        if (m_onDoneString)
            m_onDoneString(outcome.text, outcome.result);
    } else if (m_onError) {
        m_onError(outcome.result);
    }
}

} // namespace quietmon
