#pragma once

#include "config/Settings.h"
#include "config/TaskKinds.h"
#include "config/taskkinds/EmailSettings.h"
#include "monitor/AudioClipRecorder.h"
#include "monitor/LevelHistoryFile.h"
#include "platform/AudioClipEncoding.h"
#include "platform/LevelGraphDrawing.h"
#include "tasks/email/MimeMessage.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quietmon {

// What an alarm or return message can carry as evidence of what happened: a graph of the levels of the
// last 10 minutes, and the sound on air around the silence.
class AlarmEvidence {
public:
    using Log = std::function<void(const std::string&)>;
    static constexpr int graphSeconds = 600;
    static constexpr int graphWidth = 800;
    static constexpr int graphHeight = 300;

    explicit AlarmEvidence(Log log) : m_log(std::move(log)) {}
    // Where graphs are drawn and clips encoded; without them none is attached.
    void setMakers(LevelGraphDrawing* drawing, AudioClipEncoding* encoding) {
        m_drawing = drawing;
        m_encoding = encoding;
    }

    // Every measurement, silent or not by the channel rule.
    void onMeasurement(DateTime now, bool silent);
    // Every captured buffer, as 16-bit stereo frames.
    void onSound(std::span<const std::int16_t> frames, int framesPerSecond, bool silent) {
        m_clips.add(frames, framesPerSecond, silent);
    }

    struct Picture {
        std::vector<LevelSecond> recentSeconds; // oldest first
        int thresholdDb = -25;
        std::string leftName;
        std::string rightName;
        std::string title;
    };
    // The attachments `settings` ask for, for a message of `queue` made at `now`.
    std::vector<MimeAttachment> attachments(const EmailSettings& settings, QueueKind queue, DateTime now,
                                            const Picture& picture);
    // The graph of the `graphSeconds` up to `now`, its silent span shaded.
    LevelGraph graphOf(QueueKind queue, DateTime now, const Picture& picture) const;

private:
    std::optional<MimeAttachment> levelGraph(QueueKind queue, DateTime now, const Picture& picture);
    std::optional<MimeAttachment> audioClip(QueueKind queue, DateTime now);

    Log m_log;
    LevelGraphDrawing* m_drawing = nullptr;
    AudioClipEncoding* m_encoding = nullptr;
    AudioClipRecorder m_clips;
    bool m_silent = false;
    std::optional<DateTime> m_silenceBegan;
    std::optional<DateTime> m_soundBack;
};

} // namespace quietmon
