#include "monitor/Monitor.h"
#include "platform/linux/TermiosSerialLine.h"
#include "runtime/EventLoop.h"
#include "taskkinds/TaskKindWiring.h"
#include "tasks/serialport/PortPinSwitcher.h"

namespace quietmon {

namespace {

// "Switch port pin" over a serial line driver.
class WiredPortPin final : public WiredTaskKind {
public:
    explicit WiredPortPin(TaskKindWiring& wiring)
        : m_portPin(m_serialLine, wiring.loop.clock(), wiring.monitor.taskLog()) {}
    QueueTask& task() override { return m_portPin; }

private:
    TermiosSerialLine m_serialLine;
    PortPinSwitcher m_portPin;
};

} // namespace

template <> std::unique_ptr<WiredTaskKind> wireTaskKind<TaskKind::SwitchPortPin>(TaskKindWiring& wiring) {
    return std::make_unique<WiredPortPin>(wiring);
}

} // namespace quietmon
