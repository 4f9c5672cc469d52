#include "tasks/http/HttpQuery.h"

#include "tasks/http/UrlSplit.h"

namespace quietmon {

HttpQuery::HttpQuery(EventLoop& loop, HttpTransport& transport, ExpandForUrl expandForUrl,
                     MessageBoxes& messages, Log log)
    : m_expandForUrl(std::move(expandForUrl)), m_messages(messages), m_log(std::move(log)),
      m_httpGet(loop, transport) {
    m_httpGet.setOnDoneString(
        [this](const std::string& text, const HttpResult& result) { onHttpDone(text, result); });
    m_httpGet.setOnError([this](const HttpResult& result) { onHttpError(result); });
}

void HttpQuery::sendQuery(const QuerySettings& settings, bool show) {
    if (settings.address.empty() || settings.address == "http://")
        return;
    std::string url = settings.address;
    if (!settings.query.empty())
        url.append("?").append(m_expandForUrl(settings.query));
    m_shouldShowHttpResult = show;
    m_httpGet.getString(url);
}

// The URL and the response stand on two lines; "\n" is the line break of this platform's message boxes.
void HttpQuery::onHttpDone(const std::string& text, const HttpResult& result) {
    logFailure(m_httpGet.url(), result);
    if (m_shouldShowHttpResult)
        m_messages.inform("URL: " + m_httpGet.url() +
                          " \nResponse: " + text.substr(0, shownAnswerCharacters));
}

void HttpQuery::onHttpError(const HttpResult& result) {
    logFailure(m_httpGet.url(), result);
    if (m_shouldShowHttpResult)
        m_messages.inform("URL: " + m_httpGet.url() + " \nResponse: Error");
}

// An error page still counts as an answer for the message box, but the log tells its status. A body
// cut off midway is logged as a failure too.
void HttpQuery::logFailure(const std::string& url, const HttpResult& result) {
    if (!m_log)
        return;
    if (result.status >= 400)
        m_log("HTTP query answered " + std::to_string(result.status) + " (" + urlWithoutCredentials(url) +
              ")");
    else if (!result.failure.empty())
        m_log("HTTP query failed - " + result.failure + " (" + urlWithoutCredentials(url) + ")");
}

} // namespace quietmon
