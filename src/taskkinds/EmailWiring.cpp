#include "config/ProductName.h"
#include "monitor/Monitor.h"
#include "platform/linux/OpusClipEncoder.h"
#include "platform/linux/PosixNetwork.h"
#include "platform/linux/QtLevelGraphPainter.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/Placeholders.h"
#include "tasks/email/EmailSender.h"

namespace quietmon {

namespace {

// "Send email" over the system's sockets and TLS, with the level graph and the sound clip it attaches.
class WiredEmail final : public WiredTaskKind {
public:
    explicit WiredEmail(TaskKindWiring& wiring)
        : m_email(
              wiring.loop, m_network, productName(),
              [&monitor = wiring.monitor](std::string_view text) {
                  return expandPlaceholders(text, monitor.alarmState());
              },
              wiring.monitor.taskLog()) {
        Monitor& monitor = wiring.monitor;
        m_email.setDataFolder([&monitor] { return monitor.folders().dataFolder; });
        monitor.setEvidenceMakers(&m_graphPainter, &m_clipEncoder);
        m_email.setEvidence([&monitor](const EmailSettings& settings, QueueKind queue) {
            return monitor.evidenceFor(settings, queue);
        });
    }
    QueueTask& task() override { return m_email; }

private:
    PosixNetwork m_network;
    EmailSender m_email;
    QtLevelGraphPainter m_graphPainter;
    OpusClipEncoder m_clipEncoder;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::SendEmail>(TaskKindWiring& wiring) {
    return std::make_unique<WiredEmail>(wiring);
}

} // namespace quietmon
