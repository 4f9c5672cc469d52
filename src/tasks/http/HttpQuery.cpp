#include "tasks/http/HttpQuery.h"

namespace quietmon {

HttpQuery::HttpQuery(EventLoop& loop, HttpTransport& transport,
                     std::function<std::string(std::string_view)> expandForUrl, MessageBoxes& messages)
    : m_expandForUrl(std::move(expandForUrl)), m_messages(messages), m_httpGet(loop, transport) {
    m_httpGet.setOnDoneString([this](const std::string& text) { onHttpDone(text); });
    m_httpGet.setOnError([this] { onHttpError(); });
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
void HttpQuery::onHttpDone(const std::string& text) {
    if (m_shouldShowHttpResult)
        m_messages.inform("URL: " + m_httpGet.url() +
                          " \nResponse: " + text.substr(0, shownAnswerCharacters));
}

void HttpQuery::onHttpError() {
    if (m_shouldShowHttpResult)
        m_messages.inform("URL: " + m_httpGet.url() + " \nResponse: Error");
}

} // namespace quietmon
