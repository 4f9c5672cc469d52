#pragma once

#include "platform/EventLoop.h"
#include "platform/HttpTransport.h"
#include "platform/MessageBoxes.h"
#include "tasks/TaskServices.h"
#include "tasks/http/THTTPGet.h"

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

    // `expandForUrl` expands and encodes the query text from the alarm state (NahraditHTTP).
    HttpQuery(EventLoop& loop, HttpTransport& transport,
              std::function<std::string(std::string_view)> expandForUrl, MessageBoxes& messages);

    // The address goes out as typed, the query expanded and encoded. The untouched default address
    // sends nothing; a query sent while another one runs is dropped.
    void SendQuery(const QuerySettings& settings, bool show) override;

    // The component's outcome handlers.
    void HTTPGet1DoneString(const std::string& text);
    void HTTPGet1Error();

    THTTPGet& HTTPGet1() { return m_httpGet1; }

private:
    std::function<std::string(std::string_view)> m_expandForUrl;
    MessageBoxes& m_messages;
    // Written by every send, even a dropped one: the flag in force when an answer arrives decides.
    bool m_showHttpResult = false;
    THTTPGet m_httpGet1;
};

} // namespace quietmon
