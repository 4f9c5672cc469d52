#include "monitor/AudioClipRecorder.h"

#include <algorithm>

namespace quietmon {

std::size_t AudioClipRecorder::samples(int seconds) const {
    return static_cast<std::size_t>(seconds) * static_cast<std::size_t>(m_framesPerSecond) * 2;
}

void AudioClipRecorder::add(std::span<const std::int16_t> frames, int framesPerSecond, bool silent) {
    if (framesPerSecond != m_framesPerSecond) {
        // Another device or format: what was kept no longer fits what comes.
        *this = AudioClipRecorder();
        m_framesPerSecond = framesPerSecond;
        m_rolling.assign(samples(beforeSilenceSeconds), 0);
    }
    if (silent && !m_silent) {
        freezeLast(m_silenceClip, beforeSilenceSeconds);
        m_silenceClipLimit = m_silenceClip.size() + samples(afterSilenceSeconds);
    } else if (!silent && m_silent) {
        freezeLast(m_returnClip, beforeSoundSeconds);
        m_returnClipLimit = m_returnClip.size() + samples(afterSoundSeconds);
    }
    m_silent = silent;
    appendUpTo(silent ? m_silenceClip : m_returnClip, frames,
               silent ? m_silenceClipLimit : m_returnClipLimit);
    // Into the ring, the oldest samples overwritten; a buffer longer than the ring leaves its end.
    const std::span<const std::int16_t> kept =
        frames.size() > m_rolling.size() ? frames.last(m_rolling.size()) : frames;
    const std::size_t first = std::min(kept.size(), m_rolling.size() - m_rollingEnd);
    std::copy_n(kept.begin(), first, m_rolling.begin() + static_cast<std::ptrdiff_t>(m_rollingEnd));
    std::copy(kept.begin() + static_cast<std::ptrdiff_t>(first), kept.end(), m_rolling.begin());
    m_rollingEnd = (m_rollingEnd + kept.size()) % m_rolling.size();
    m_rollingFilled = std::min(m_rolling.size(), m_rollingFilled + kept.size());
}

void AudioClipRecorder::freezeLast(std::vector<std::int16_t>& clip, int seconds) const {
    const std::size_t wanted = std::min(m_rollingFilled, samples(seconds));
    clip.resize(wanted);
    const std::size_t start = (m_rollingEnd + m_rolling.size() - wanted) % m_rolling.size();
    const std::size_t first = std::min(wanted, m_rolling.size() - start);
    std::copy_n(m_rolling.begin() + static_cast<std::ptrdiff_t>(start), first, clip.begin());
    std::copy_n(m_rolling.begin(), wanted - first, clip.begin() + static_cast<std::ptrdiff_t>(first));
}

void AudioClipRecorder::appendUpTo(std::vector<std::int16_t>& clip, std::span<const std::int16_t> frames,
                                   std::size_t limit) {
    const std::size_t room = limit > clip.size() ? limit - clip.size() : 0;
    const std::size_t taken = std::min(room, frames.size()) & ~std::size_t{1}; // whole frames
    clip.insert(clip.end(), frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(taken));
}

} // namespace quietmon
