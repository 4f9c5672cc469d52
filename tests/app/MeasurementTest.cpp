#include "fakes/RecordingView.h"
#include "support/MonitorHarness.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

// The monitor's measurement step, fed by the capture driver in virtual time.
class MeasurementTest : public ::testing::Test, protected test::MonitorHarness {
protected:
    void start(const std::string& settingsFile = "") {
        writeSettings(settingsFile);
        monitor.setView(&view);
        startUp();
    }
    // One buffer from the driver, every sample `value`.
    Measurement measure(std::int16_t value) {
        waveIn.fill(1, value);
        loop.runPending();
        return shown.back();
    }

    test::RecordingView view;
    std::vector<Measurement>& shown = view.measurements;
};

TEST_F(MeasurementTest, AtPosition25MinusTwentyFiveIsSoundAndMinusTwentySixIsSilence) {
    start("[General]\nThreshold=25\n");
    // 1800 of 32767 reads -25.2, truncated to -25; 1600 reads -26.2, truncated to -26.
    Measurement loud = measure(1800);
    EXPECT_EQ(loud.dbLeft, -25);
    EXPECT_FALSE(loud.leftSilent);
    EXPECT_FALSE(loud.rightSilent);
    monitor.settings().general.dcFilter = false;
    loop.advance(2000); // the held peak of 1800 decays away
    for (int i = 0; i < 10; ++i)
        measure(0);
    const Measurement quiet = measure(1600);
    EXPECT_EQ(quiet.dbLeft, -26);
    EXPECT_TRUE(quiet.leftSilent);
    EXPECT_TRUE(quiet.rightSilent);
}

TEST_F(MeasurementTest, TheMeterGetsTheLinearLevelTimesOnePointTwo) {
    start();
    const Measurement half = measure(16384);
    EXPECT_DOUBLE_EQ(half.meterLeft, 16384 / 32767.0 * 1.2);
    EXPECT_DOUBLE_EQ(half.meterRight, 16384 / 32767.0 * 1.2);
}

TEST_F(MeasurementTest, DigitalSilenceIsNeverBelowMinus96) {
    start("[General]\nMinThreshold=-96\nThreshold=96\n");
    const Measurement silence = measure(0);
    EXPECT_EQ(silence.dbLeft, -96);
    EXPECT_FALSE(silence.leftSilent);
    monitor.settings().state.threshold = 95;
    EXPECT_TRUE(measure(0).leftSilent);
}

TEST_F(MeasurementTest, AnEmptyBufferChangesNothingButStillFeedsTheWatchdog) {
    start();
    measure(16384);
    loop.advance(900);
    const std::size_t shownBefore = shown.size();
    monitor.onAudioRecorded(MeasureMode::CapturedBuffer, {}, 0);
    EXPECT_EQ(shown.size(), shownBefore);
    EXPECT_EQ(monitor.audioInput().lastBufferTime(), loop.clock().now());
    loop.advance(999); // counted again from the empty buffer
    EXPECT_EQ(waveIn.opens, 1);
    loop.advance(1);
    EXPECT_EQ(waveIn.opens, 2);
}

TEST_F(MeasurementTest, EndpointPeaksAreMeasuredWithoutHoldOrFilter) {
    endpoints.readings = {std::vector<float>{0.5f, 0.0009f}, std::vector<float>{0.0f, 0.0f}};
    start("[General]\nAudioInDeviceName=Active endpoint listening: Monitor of Null Output\n");
    loop.advance(100);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].dbLeft, -6);
    EXPECT_EQ(shown[0].dbRight, -60); // 20 log10(0.0009) = -60.9
    EXPECT_TRUE(shown[0].rightSilent);
    loop.advance(100);
    EXPECT_EQ(shown[1].dbLeft, -96); // no hold
}

} // namespace
} // namespace quietmon
