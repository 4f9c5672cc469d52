#pragma once

#include "platform/HttpTransport.h"
#include "platform/MessageBoxes.h"
#include "runtime/EventLoop.h"
#include "tasks/TaskLog.h"
#include "tasks/http/HttpGet.h"
#include "tasks/http/HttpQueryTask.h"

#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace quietmon {

// "Send HTTP query": Address?Query as one GET on the request component's worker. Tasks send with the
// show flag off; the Setup dialog's "Test" buttons with it on, and then the answer or the failure
// appears in a message box. A query that got no answer, or an answer of status 400 or more, is logged
// either way: a station must learn that its paging call did not go through. Neither the log nor the
// message box ever shows the URL's user name and password.
//
// One query runs at a time; those sent meanwhile wait in order, each with its own URL and show flag, so
// that a "Test" button never shows a task's answer nor the reverse.
class HttpQuery final : public HttpQueryTask {
public:
    static constexpr std::size_t shownAnswerCharacters = 1024;
    // Queries that may wait behind the running one. A server that hangs holds the line until its
    // time-outs; meanwhile the newest alarms matter most, so a ninth pushes the oldest out.
    static constexpr std::size_t maxWaitingQueries = 8;

    // A query as sent: where it goes and whether its outcome is shown.
    struct SentQuery {
        std::string address;
        // Expanded and encoded; empty for none.
        std::string query;
        bool show = false;

        // Without the user name and password, for the log and the message box.
        std::string shownUrl() const;
    };

    using ExpandForUrl = std::function<std::string(std::string_view)>;
    using Log = TaskLog;

    // `expandForUrl` expands and encodes the query text from the alarm state (expandPlaceholdersForUrl);
    // `log` writes a line to the program's log.
    HttpQuery(EventLoop& loop, HttpTransport& transport, ExpandForUrl expandForUrl, MessageBoxes& messages,
              Log log);

    // The address goes out as typed, the query expanded and encoded. The untouched default address
    // sends nothing; a query sent while another one runs waits for it.
    void sendQuery(const QuerySettings& settings, bool show) override;
    // Whether a query runs or waits.
    bool busy() const { return m_httpGet.busy() || !m_waiting.empty(); }

    // The outcome handlers, each with the query it answers.
    void onHttpDone(const SentQuery& query, const std::string& text, const HttpResult& result);
    void onHttpError(const SentQuery& query, const HttpResult& result);

    HttpGet& httpGet() { return m_httpGet; }

private:
    void startNextQuery();
    SentQuery finishRunningQuery();
    void logFailure(const SentQuery& query, const HttpResult& result);

    ExpandForUrl m_expandForUrl;
    MessageBoxes& m_messages;
    Log m_log;
    // The query on the component's worker; valid while the component is busy.
    SentQuery m_running;
    std::deque<SentQuery> m_waiting;
    // Last, so that it goes first at exit: the running worker is stopped before the line is discarded.
    HttpGet m_httpGet;
};

} // namespace quietmon
