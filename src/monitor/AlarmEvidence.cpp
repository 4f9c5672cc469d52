#include "monitor/AlarmEvidence.h"

#include <algorithm>

namespace quietmon {
namespace {

std::string fileStamp(DateTime moment) {
    std::string stamp = moment.formatIsoDate() + "-" + moment.formatTime();
    std::erase_if(stamp, [](char c) { return c == ':'; });
    std::erase(stamp, '-');
    return stamp.substr(0, 8) + "-" + stamp.substr(8);
}

} // namespace

void AlarmEvidence::onMeasurement(DateTime now, bool silent) {
    if (silent && !m_silent)
        m_silenceBegan = now;
    else if (!silent && m_silent)
        m_soundBack = now;
    m_silent = silent;
}

std::vector<MimeAttachment> AlarmEvidence::attachments(const EmailSettings& settings, QueueKind queue,
                                                       DateTime now, const Picture& picture) {
    std::vector<MimeAttachment> made;
    if (settings.attachLevelGraph) {
        if (std::optional<MimeAttachment> graph = levelGraph(queue, now, picture))
            made.push_back(std::move(*graph));
    }
    if (settings.attachAudioClip) {
        if (std::optional<MimeAttachment> clip = audioClip(queue, now))
            made.push_back(std::move(*clip));
    }
    return made;
}

LevelGraph AlarmEvidence::graphOf(QueueKind queue, DateTime now, const Picture& picture) const {
    LevelGraph graph;
    const std::int64_t last = secondOf(now);
    const std::int64_t first = last - graphSeconds + 1;
    graph.start = DateTime::fromMilliseconds(first * 1000);
    graph.seconds.resize(graphSeconds);
    // From the newest second back to the last time the clock went back: earlier seconds would be drawn
    // over later ones.
    std::optional<std::int64_t> newer;
    for (auto second = picture.recentSeconds.rbegin(); second != picture.recentSeconds.rend(); ++second) {
        if (newer && second->second >= *newer)
            break;
        newer = second->second;
        if (second->second > last)
            continue;
        if (second->second < first)
            break;
        graph.seconds[static_cast<std::size_t>(second->second - first)] = {true, second->dbLeft,
                                                                           second->dbRight};
    }
    graph.thresholdDb = picture.thresholdDb;
    graph.leftName = picture.leftName;
    graph.rightName = picture.rightName;
    graph.title = picture.title;
    const auto offsetOf = [first](DateTime moment) {
        return static_cast<int>(std::clamp<std::int64_t>(secondOf(moment) - first, 0, graphSeconds));
    };
    if (m_silenceBegan) {
        graph.silenceFrom = offsetOf(*m_silenceBegan);
        // The return message shows the silence up to the sound's coming back.
        if (queue == QueueKind::Return && m_soundBack && *m_soundBack > *m_silenceBegan)
            graph.silenceTo = offsetOf(*m_soundBack);
    }
    return graph;
}

std::optional<MimeAttachment> AlarmEvidence::levelGraph(QueueKind queue, DateTime now,
                                                        const Picture& picture) {
    std::string failure = "no graph drawing in this program";
    std::string png;
    if (m_drawing)
        png = m_drawing->drawPng(graphOf(queue, now, picture), graphWidth, graphHeight, failure);
    if (png.empty()) {
        m_log("Level graph not attached - " + failure);
        return std::nullopt;
    }
    return MimeAttachment{"levels-" + fileStamp(now) + ".png", std::move(png), "image/png"};
}

std::optional<MimeAttachment> AlarmEvidence::audioClip(QueueKind queue, DateTime now) {
    const std::vector<std::int16_t>& frames =
        queue == QueueKind::Return ? m_clips.returnClip() : m_clips.silenceClip();
    std::string failure = "no audio encoder in this program";
    std::string clip;
    if (frames.empty())
        failure = "no sound was captured (an endpoint meter gives levels only)";
    else if (m_encoding)
        clip = m_encoding->encode(frames, m_clips.framesPerSecond(), failure);
    if (clip.empty()) {
        m_log("Audio clip not attached - " + failure);
        return std::nullopt;
    }
    return MimeAttachment{"on-air-" + fileStamp(now) + "." + m_encoding->extension(), std::move(clip),
                          m_encoding->contentType()};
}

} // namespace quietmon
