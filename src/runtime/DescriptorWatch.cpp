#include "runtime/DescriptorWatch.h"

#include <algorithm>
#include <poll.h>
#include <vector>

namespace quietmon {

class DescriptorWatchList::Handle final : public DescriptorWatch {
public:
    Handle(DescriptorWatchList& list, std::uint64_t id) : m_list(list), m_id(id) {}
    ~Handle() override { m_list.remove(m_id); }

private:
    DescriptorWatchList& m_list;
    std::uint64_t m_id;
};

std::unique_ptr<DescriptorWatch> DescriptorWatchList::add(int fd, std::function<void()> onReadable) {
    void* tag = m_hooks.started ? m_hooks.started(fd) : nullptr;
    const std::uint64_t id = m_nextId++;
    m_watches.emplace(id, Entry{fd, tag, std::move(onReadable)});
    return std::make_unique<Handle>(*this, id);
}

void DescriptorWatchList::remove(std::uint64_t id) {
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    if (m_hooks.ended)
        m_hooks.ended(found->second.tag);
    m_watches.erase(found);
}

bool DescriptorWatchList::anyReady(const std::function<bool(int fd, void* tag)>& isReady) const {
    return std::any_of(m_watches.begin(), m_watches.end(),
                       [&](const auto& watch) { return isReady(watch.second.fd, watch.second.tag); });
}

void DescriptorWatchList::runReady(const std::function<bool(int fd, void* tag)>& isReady,
                                   const std::function<void(const std::function<void()>&)>& run) {
    // Readiness is taken for every watch first: a callback that reads may change what the others see.
    std::vector<std::uint64_t> ready;
    for (const auto& [id, watch] : m_watches) {
        if (isReady(watch.fd, watch.tag))
            ready.push_back(id);
    }
    for (const std::uint64_t id : ready) {
        const auto found = m_watches.find(id);
        if (found == m_watches.end())
            continue; // an earlier callback ended it
        // A copy: the callback may end its own watch.
        const std::function<void()> onReadable = found->second.onReadable;
        run(onReadable);
    }
}

void DescriptorWatchList::pollAndRun(const std::function<void(const std::function<void()>&)>& run) {
    if (m_watches.empty())
        return;
    std::vector<pollfd> fds;
    fds.reserve(m_watches.size());
    for (const auto& [id, watch] : m_watches)
        fds.push_back({watch.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 0) <= 0)
        return;
    runReady(
        [&fds](int fd, void*) {
            return std::any_of(fds.begin(), fds.end(),
                               [fd](const pollfd& polled) { return polled.fd == fd && polled.revents != 0; });
        },
        run);
}

} // namespace quietmon
