#include "tasks/http/HttpQuery.h"

#include "tasks/http/UrlSplit.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quietmon {

namespace {

// The standard reason phrases of the statuses a paging or logging service is likely to answer with; the
// server's own wording is not kept (HTTP/2 has none).
constexpr std::pair<int, std::string_view> reasonPhrases[] = {
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {204, "No Content"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {307, "Temporary Redirect"},
    {308, "Permanent Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {410, "Gone"},
    {429, "Too Many Requests"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
};

// The first line of a "Test" box: the server's status with its reason, what went wrong on the way, or
// both; an FTP download has no status of its own.
std::string statusLine(const HttpResult& result, bool answered) {
    std::string status;
    if (result.status > 0) {
        status = std::to_string(result.status);
        const auto* known =
            std::find_if(std::begin(reasonPhrases), std::end(reasonPhrases),
                         [&result](const auto& phrase) { return phrase.first == result.status; });
        if (known != std::end(reasonPhrases))
            status.append(" ").append(known->second); // appended: GCC 12 misreads " " + string as overlapping
    }
    if (!result.failure.empty())
        status.append(status.empty() ? "" : " - ").append(result.failure);
    if (status.empty())
        status = answered ? "received" : "nothing received";
    return "Status: " + status + "\n";
}

} // namespace

HttpQuery::HttpQuery(EventLoop& loop, HttpTransport& transport, ExpandForUrl expandForUrl,
                     MessageBoxes& messages, Log log)
    : m_expandForUrl(std::move(expandForUrl)), m_messages(messages), m_log(std::move(log)),
      m_httpGet(loop, transport) {
    m_httpGet.setOnDoneString([this](const std::string& text, const HttpResult& result) {
        onHttpDone(finishRunningQuery(), text, result);
    });
    m_httpGet.setOnError([this](const HttpResult& result) { onHttpError(finishRunningQuery(), result); });
}

void HttpQuery::sendQuery(const QuerySettings& settings, bool show) {
    if (settings.address.empty() || settings.address == "http://")
        return;
    m_waiting.push_back(
        {settings.address, settings.query.empty() ? std::string() : m_expandForUrl(settings.query), show});
    if (m_waiting.size() > maxWaitingQueries) {
        m_log.failure(TaskKind::SendHttpQuery,
                      "HTTP query dropped, too many waiting (" + m_waiting.front().shownUrl() + ")");
        m_waiting.pop_front();
    }
    startNextQuery();
}

void HttpQuery::startNextQuery() {
    while (!m_httpGet.busy() && !m_waiting.empty()) {
        SentQuery next = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (m_httpGet.getString(next.address, next.query)) {
            m_running = std::move(next);
            return;
        }
        // The system is out of threads; this query is lost, and said so, but the next may fare better.
        onHttpError(next, {.failure = "No thread could be started"});
    }
}

// The running query's outcome is back on this thread and the component is free. The next waiting
// query starts before the handler runs: its message box may stay open, and the queries of alarms must
// not wait for someone to close it.
HttpQuery::SentQuery HttpQuery::finishRunningQuery() {
    SentQuery finished = std::move(m_running);
    startNextQuery();
    return finished;
}

// The box shows the URL without its user name and password, as the log does: anyone near the screen can
// read it. The status, the URL and the response stand on three lines; "\n" is the line break of this
// platform's message boxes. An error page counts as an answer, so the status is what tells it apart.
void HttpQuery::onHttpDone(const SentQuery& query, const std::string& text, const HttpResult& result) {
    logFailure(query, result);
    if (query.show)
        m_messages.inform(statusLine(result, true) + "URL: " + query.shownUrl() +
                          " \nResponse: " + text.substr(0, shownAnswerCharacters));
}

void HttpQuery::onHttpError(const SentQuery& query, const HttpResult& result) {
    logFailure(query, result);
    if (query.show)
        m_messages.inform(statusLine(result, false) + "URL: " + query.shownUrl() + " \nResponse: Error");
}

// An error page still counts as an answer for the message box, but the log tells its status. A body
// cut off midway is logged as a failure too.
void HttpQuery::logFailure(const SentQuery& query, const HttpResult& result) {
    if (result.status >= 400)
        m_log.failure(TaskKind::SendHttpQuery,
                      "HTTP query answered " + std::to_string(result.status) + " (" + query.shownUrl() + ")");
    else if (!result.failure.empty())
        m_log.failure(TaskKind::SendHttpQuery,
                      "HTTP query failed - " + result.failure + " (" + query.shownUrl() + ")");
}

std::string HttpQuery::SentQuery::shownUrl() const {
    return urlWithoutCredentials(address, query);
}

} // namespace quietmon
