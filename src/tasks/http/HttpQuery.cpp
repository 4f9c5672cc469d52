#include "tasks/http/HttpQuery.h"

namespace quietmon {

HttpQuery::HttpQuery(EventLoop& loop, HttpTransport& transport,
                     std::function<std::string(std::string_view)> expandForUrl, MessageBoxes& messages)
    : m_expandForUrl(std::move(expandForUrl)), m_messages(messages), m_httpGet1(loop, transport) {
    m_httpGet1.setOnDoneString([this](const std::string& text) { HTTPGet1DoneString(text); });
    m_httpGet1.setOnError([this] { HTTPGet1Error(); });
}

void HttpQuery::SendQuery(const QuerySettings& settings, bool show) {
    if (settings.address.empty() || settings.address == "http://")
        return;
    std::string url = settings.address;
    if (!settings.query.empty())
        url.append("?").append(m_expandForUrl(settings.query));
    m_showHttpResult = show;
    m_httpGet1.GetString(url);
}

// The URL and the response stand on two lines; "\n" is the line break of this platform's message boxes.
void HttpQuery::HTTPGet1DoneString(const std::string& text) {
    if (m_showHttpResult)
        m_messages.inform("URL: " + m_httpGet1.url() +
                          " \nResponse: " + text.substr(0, shownAnswerCharacters));
}

void HttpQuery::HTTPGet1Error() {
    if (m_showHttpResult)
        m_messages.inform("URL: " + m_httpGet1.url() + " \nResponse: Error");
}

} // namespace quietmon
