#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace quietmon {

// A descriptor the logic thread watches for reading; the watch ends when this goes, which must be before
// the loop that made it goes and before the descriptor is closed.
class DescriptorWatch {
public:
    virtual ~DescriptorWatch() = default;
};

// The descriptors an event loop watches, for the loop to poll as it sees fit. A callback may end any
// watch, its own included, or start new ones, which wait for the next round.
class DescriptorWatchList {
public:
    // What the loop is told when a watch starts (it answers with a tag of its own for it) and ends.
    struct Hooks {
        std::function<void*(int fd)> started;
        std::function<void(void* tag)> ended;
    };

    explicit DescriptorWatchList(Hooks hooks = {}) : m_hooks(std::move(hooks)) {}
    DescriptorWatchList(const DescriptorWatchList&) = delete;
    DescriptorWatchList& operator=(const DescriptorWatchList&) = delete;

    std::unique_ptr<DescriptorWatch> add(int fd, std::function<void()> onReadable);
    bool empty() const { return m_watches.empty(); }
    // Whether `isReady` holds for any watch, given its descriptor and its tag.
    bool anyReady(const std::function<bool(int fd, void* tag)>& isReady) const;
    // Hands the callback of each watch that `isReady` holds for to `run`, in the order the watches
    // were made.
    void runReady(const std::function<bool(int fd, void* tag)>& isReady,
                  const std::function<void(const std::function<void()>&)>& run);
    // Polls every watched descriptor without waiting and runs the callbacks of the readable ones.
    void pollAndRun(const std::function<void(const std::function<void()>&)>& run);

private:
    class Handle;
    struct Entry {
        int fd;
        void* tag;
        std::function<void()> onReadable;
    };

    void remove(std::uint64_t id);

    Hooks m_hooks;
    std::map<std::uint64_t, Entry> m_watches;
    std::uint64_t m_nextId = 0;
};

} // namespace quietmon
