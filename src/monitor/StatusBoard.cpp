#include "monitor/StatusBoard.h"

namespace quietmon {

void StatusBoard::publish(StatusSnapshot snapshot) {
    auto published = std::make_shared<const StatusSnapshot>(std::move(snapshot));
    const std::lock_guard lock(m_mutex);
    m_latest.swap(published);
}

std::shared_ptr<const StatusSnapshot> StatusBoard::latest() const {
    const std::lock_guard lock(m_mutex);
    return m_latest;
}

} // namespace quietmon
