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
// appears in a message box. Nothing is logged either way.
class HttpQuery final : public HttpQueryTask {
public:
    static constexpr std::size_t shownAnswerCharacters = 1024;

    // `expandForUrl` expands and encodes the query text from the alarm state (expandPlaceholdersForUrl).
    HttpQuery(EventLoop& loop, HttpTransport& transport,
              std::function<std::string(std::string_view)> expandForUrl, MessageBoxes& messages);

    // The address goes out as typed, the query expanded and encoded. The untouched default address
    // sends nothing; a query sent while another one runs is dropped.
    void sendQuery(const QuerySettings& settings, bool show) override;

    // The component's outcome handlers.
    void onHttpDone(const std::string& text);
    void onHttpError();

    HttpGet& httpGet() { return m_httpGet; }

private:
    std::function<std::string(std::string_view)> m_expandForUrl;
    MessageBoxes& m_messages;
    // Written by every send, even a dropped one: the flag in force when an answer arrives decides.
    bool m_shouldShowHttpResult = false;
    HttpGet m_httpGet;
};

} // namespace quietmon
