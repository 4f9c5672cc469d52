#include "platform/linux/CaptureBuffers.h"

#include <algorithm>
#include <cstring>

namespace quietmon {

CaptureBuffers::CaptureBuffers(EventLoop& loop, CaptureDriver::BufferDone onBufferDone)
    : m_loop(loop), m_onBufferDone(std::move(onBufferDone)) {}

void CaptureBuffers::add(std::span<std::uint8_t> buffer, int tag) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back({buffer, tag, 0});
}

std::span<std::uint8_t> CaptureBuffers::destination() {
    return firstUnfilled().value_or(std::span<std::uint8_t>(m_scratch));
}

std::optional<std::span<std::uint8_t>> CaptureBuffers::firstUnfilled() {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return std::nullopt;
    Queued& front = m_queue.front();
    return front.buffer.subspan(front.filled);
}

void CaptureBuffers::consumed(std::size_t bytes) {
    std::unique_lock lock(m_mutex);
    if (m_queue.empty())
        return;
    Queued& front = m_queue.front();
    front.filled += bytes;
    if (front.filled < front.buffer.size())
        return;
    const int tag = front.tag;
    m_queue.pop_front();
    ++m_filledCount;
    lock.unlock();
    post(tag);
}

void CaptureBuffers::write(std::span<const std::uint8_t> audio) {
    while (!audio.empty()) {
        const std::optional<std::span<std::uint8_t>> target = firstUnfilled();
        if (!target)
            return; // no buffer queued: what arrived is dropped without being copied anywhere
        const std::size_t bytes = std::min(target->size(), audio.size());
        std::memcpy(target->data(), audio.data(), bytes);
        consumed(bytes);
        audio = audio.subspan(bytes);
    }
}

void CaptureBuffers::returnAll() {
    std::deque<Queued> returned;
    {
        std::lock_guard lock(m_mutex);
        returned.swap(m_queue);
    }
    for (const Queued& buffer : returned)
        post(buffer.tag);
}

std::uint64_t CaptureBuffers::filledCount() {
    std::lock_guard lock(m_mutex);
    return m_filledCount;
}

std::size_t CaptureBuffers::unfilledBytes() {
    return firstUnfilled().value_or(std::span<std::uint8_t>()).size();
}

void CaptureBuffers::post(int tag) {
    m_loop.post([done = m_onBufferDone, tag] { done(tag); });
}

} // namespace quietmon
