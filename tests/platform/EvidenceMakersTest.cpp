// The level graph drawn offscreen and the audio clip encoded, read back as a mail program would.
#include "platform/linux/OpusClipEncoder.h"
#include "platform/linux/QtLevelGraphPainter.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(QtLevelGraphPainterTest, DrawsAPngOfTheAskedSizeWithTheSilenceShaded) {
    LevelGraph graph;
    graph.start = DateTime::fromParts(2026, 3, 14, 3, 0, 0);
    graph.thresholdDb = -25;
    graph.leftName = "Studio L";
    graph.rightName = "Studio R";
    graph.title = "Radio One";
    for (int second = 0; second < 600; ++second)
        graph.seconds.push_back({second < 300 || second > 450, second < 400 ? -10 : -96, -12});
    graph.silenceFrom = 400;
    QtLevelGraphPainter painter;
    std::string failure;
    const std::string png = painter.drawPng(graph, 800, 300, failure);
    ASSERT_FALSE(png.empty()) << failure;
    QImage image;
    ASSERT_TRUE(
        image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(image.size(), QSize(800, 300));
    // Columns inside the shaded span are tinted; those before it are not (away from lines and text).
    const auto pixelAt = [&image](double fraction) {
        return image.pixelColor(44 + static_cast<int>((800 - 54) * fraction), 24 + 252 * 5 / 6);
    };
    EXPECT_EQ(pixelAt(0.8), QColor(0xf6, 0xd0, 0xd0));
    EXPECT_EQ(pixelAt(0.55), QColor(Qt::white));
}

TEST(OpusClipEncoderTest, EncodesStereoSoundAsOggOpus) {
    std::vector<std::int16_t> frames;
    for (int frame = 0; frame < 44100 * 2; ++frame) {
        const auto sample = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 1000 * frame / 44100.0));
        frames.insert(frames.end(), {sample, sample});
    }
    OpusClipEncoder encoder;
    std::string failure;
    const std::string clip = encoder.encode(frames, 44100, failure);
    ASSERT_FALSE(clip.empty()) << failure;
    EXPECT_EQ(clip.substr(0, 4), "OggS");
    EXPECT_NE(clip.find("OpusHead"), std::string::npos);
    // About 64 kbit/s: two seconds in 12 to 20 kB.
    EXPECT_GT(clip.size(), 12'000u);
    EXPECT_LT(clip.size(), 20'000u);
    EXPECT_TRUE(encoder.encode({}, 44100, failure).empty());
    EXPECT_EQ(failure, "no sound was captured");
}

} // namespace
} // namespace quietmon
