#pragma once

#include "platform/AudioCapture.h"
#include "runtime/EventLoop.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace quietmon {

// The program's buffers queued at a capture device. The thread that reads the audio fills them in the
// order they were added and posts each one to the logic thread as soon as it is full, so that the logic
// thread wakes once per buffer however the audio arrived. With no buffer queued (the logic thread is
// busy) the audio is read and dropped: the reader never blocks and never falls behind.
class CaptureBuffers {
public:
    CaptureBuffers(EventLoop& loop, CaptureDriver::BufferDone onBufferDone);

    // Queues a buffer; `tag` comes back with it. Any thread.
    void add(std::span<std::uint8_t> buffer, int tag);
    // Where the next bytes go: the unfilled rest of the first buffer, or scratch space whose contents are
    // dropped. The reading thread's.
    std::span<std::uint8_t> destination();
    // `bytes` were written to the destination: the first buffer, once full, goes to the logic thread.
    void consumed(std::size_t bytes);
    // Copies audio that arrived in a block of its own into the buffers, as far as they reach.
    void write(std::span<const std::uint8_t> audio);
    // Hands every queued buffer back at once, in order, whatever it holds.
    void returnAll();
    // How many buffers were filled so far, and how many bytes the one being filled still lacks (0 with
    // none queued).
    std::uint64_t filledCount();
    std::size_t unfilledBytes();

private:
    struct Queued {
        std::span<std::uint8_t> buffer;
        int tag;
        std::size_t filled;
    };

    // The unfilled rest of the first queued buffer; nothing when none is queued.
    std::optional<std::span<std::uint8_t>> firstUnfilled();
    void post(int tag);

    EventLoop& m_loop;
    CaptureDriver::BufferDone m_onBufferDone;
    std::mutex m_mutex;
    std::deque<Queued> m_queue;
    std::uint64_t m_filledCount = 0;
    std::vector<std::uint8_t> m_scratch = std::vector<std::uint8_t>(16384);
};

} // namespace quietmon
