#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quietmon {

// What was on air around a silence, for the alarm and return messages. Memory stays bounded whatever the
// silence and return intervals are: a rolling 20 s of everything captured, a clip frozen from it when a
// silence begins (20 s of sound) that grows by at most 10 s of the silence, and one frozen when the sound
// comes back (10 s of the silence) that grows by at most 20 s of the sound.
class AudioClipRecorder {
public:
    static constexpr int beforeSilenceSeconds = 20;
    static constexpr int afterSilenceSeconds = 10;
    static constexpr int beforeSoundSeconds = 10;
    static constexpr int afterSoundSeconds = 20;

    // One captured buffer, interleaved 16-bit stereo, and whether it was silent by the channel rule.
    void add(std::span<const std::int16_t> frames, int framesPerSecond, bool silent);
    int framesPerSecond() const { return m_framesPerSecond; }
    // The last 20 s before the silence began and the silence after it, at most 10 s; empty before any
    // silence.
    const std::vector<std::int16_t>& silenceClip() const { return m_silenceClip; }
    // The last 10 s before the sound came back and the sound since, at most 20 s; empty before any return.
    const std::vector<std::int16_t>& returnClip() const { return m_returnClip; }

private:
    std::size_t samples(int seconds) const;
    void freezeLast(std::vector<std::int16_t>& clip, int seconds) const;
    static void appendUpTo(std::vector<std::int16_t>& clip, std::span<const std::int16_t> frames,
                           std::size_t limit);

    int m_framesPerSecond = 0;
    bool m_silent = false;
    std::vector<std::int16_t> m_rolling; // a ring of the last 20 s
    std::size_t m_rollingEnd = 0;        // where the next sample goes
    std::size_t m_rollingFilled = 0;
    std::vector<std::int16_t> m_silenceClip;
    std::vector<std::int16_t> m_returnClip;
    std::size_t m_silenceClipLimit = 0; // in samples
    std::size_t m_returnClipLimit = 0;
};

} // namespace quietmon
