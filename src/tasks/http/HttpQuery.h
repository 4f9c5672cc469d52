#pragma once

#include "platform/EventLoop.h"
#include "platform/HttpTransport.h"
#include "platform/MessageBoxes.h"
#include "tasks/TaskServices.h"
#include "tasks/http/HttpGet.h"

#include <functional>
#include <string>
#include <string_view>

namespace quietmon {

// "Send HTTP query": Address?Query as one GET on the request component's worker. Tasks send with the
// show flag off; the Setup dialog's "Test" buttons with it on, and then the answer or the failure
// appears in a message box. A query that got no answer, or an answer of status 400 or more, is logged
// either way, with the URL stripped of its user name and password: a station must learn that its
// paging call did not go through.
class HttpQuery final : public HttpQueryTask {
public:
    static constexpr std::size_t shownAnswerCharacters = 1024;

    using ExpandForUrl = std::function<std::string(std::string_view)>;
    using Log = std::function<void(const std::string&)>;

    // `expandForUrl` expands and encodes the query text from the alarm state (expandPlaceholdersForUrl);
    // `log` writes a line to the program's log.
    HttpQuery(EventLoop& loop, HttpTransport& transport, ExpandForUrl expandForUrl, MessageBoxes& messages,
              Log log);

    // The address goes out as typed, the query expanded and encoded. The untouched default address
    // sends nothing; a query sent while another one runs is dropped.
    void sendQuery(const QuerySettings& settings, bool show) override;

    // The component's outcome handlers.
    void onHttpDone(const std::string& text, const HttpResult& result);
    void onHttpError(const HttpResult& result);

    HttpGet& httpGet() { return m_httpGet; }

private:
    void logFailure(const std::string& url, const HttpResult& result);

    ExpandForUrl m_expandForUrl;
    MessageBoxes& m_messages;
    Log m_log;
    // Written by every send, even a dropped one: the flag in force when an answer arrives decides.
    bool m_shouldShowHttpResult = false;
    HttpGet m_httpGet;
};

} // namespace quietmon
