#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace quietmon {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event-loop thread, so that a logout, a service
// stop or Ctrl+C closes the program the normal way: settings saved, "Exit" logged.
class SignalCloser final : public QObject {
public:
    explicit SignalCloser(std::function<void()> onSignal);
    ~SignalCloser() override;

private:
    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quietmon
