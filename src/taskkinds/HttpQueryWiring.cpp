#include "monitor/Monitor.h"
#include "platform/linux/CurlHttpTransport.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/Placeholders.h"
#include "tasks/http/HttpQuery.h"

namespace quietmon {

namespace {

// "Send HTTP query" over libcurl.
class WiredHttpQuery final : public WiredTaskKind {
public:
    explicit WiredHttpQuery(TaskKindWiring& wiring)
        : m_query(
              wiring.loop, m_http,
              [&monitor = wiring.monitor](std::string_view text) {
                  return expandPlaceholdersForUrl(text, monitor.alarmState());
              },
              wiring.messages, wiring.monitor.taskLog()) {}
    QueueTask& task() override { return m_query; }

private:
    CurlHttpTransport m_http;
    HttpQuery m_query;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::SendHttpQuery>(TaskKindWiring& wiring) {
    return std::make_unique<WiredHttpQuery>(wiring);
}

} // namespace quietmon
