#include "monitor/AudioClipRecorder.h"

#include <algorithm>

namespace quietmon {

void AudioClipRecorder::add(std::span<const std::int16_t> frames, int framesPerSecond, bool silent) {
    if (framesPerSecond != m_framesPerSecond) {
        // Another device or format: what was kept no longer fits what comes.
        *this = AudioClipRecorder();
        m_framesPerSecond = framesPerSecond;
    }
    const auto samples = [this](int seconds) {
        return static_cast<std::size_t>(seconds) * static_cast<std::size_t>(m_framesPerSecond) * 2;
    };
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
    m_rolling.insert(m_rolling.end(), frames.begin(), frames.end());
    const std::size_t rollingLimit = samples(beforeSilenceSeconds);
    if (m_rolling.size() > rollingLimit)
        m_rolling.erase(m_rolling.begin(),
                        m_rolling.begin() + static_cast<std::ptrdiff_t>(m_rolling.size() - rollingLimit));
}

void AudioClipRecorder::freezeLast(std::vector<std::int16_t>& clip, int seconds) const {
    const std::size_t wanted =
        std::min(m_rolling.size(),
                 static_cast<std::size_t>(seconds) * static_cast<std::size_t>(m_framesPerSecond) * 2);
    clip.assign(m_rolling.end() - static_cast<std::ptrdiff_t>(wanted), m_rolling.end());
}

void AudioClipRecorder::appendUpTo(std::vector<std::int16_t>& clip, std::span<const std::int16_t> frames,
                                   std::size_t limit) {
    const std::size_t room = limit > clip.size() ? limit - clip.size() : 0;
    const std::size_t taken = std::min(room, frames.size()) & ~std::size_t{1}; // whole frames
    clip.insert(clip.end(), frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(taken));
}

} // namespace quietmon
