#include "audio/LevelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace quietmon {
namespace {

// A buffer of 5512 stereo frames, every frame `left`, `right`, except where a test sets samples.
struct Buffer {
    explicit Buffer(std::int16_t left = 0, std::int16_t right = 0, int frames = 5512)
        : bytes(std::size_t(frames) * 4) {
        for (int i = 0; i < frames; ++i)
            set(i, left, right);
    }
    void set(int frame, std::int16_t left, std::int16_t right) {
        std::memcpy(bytes.data() + std::size_t(frame) * 4, &left, 2);
        std::memcpy(bytes.data() + std::size_t(frame) * 4 + 2, &right, 2);
    }
    int size() const { return static_cast<int>(bytes.size()); }
    std::vector<std::uint8_t> bytes;
};

// The Left dB of buffers 0..count-1: one full-scale sample in buffer 0, zeros after it, DC filter off.
std::vector<int> peakHoldSequence(int holdMs, int count) {
    MeasurementState state;
    std::vector<int> levels;
    Buffer first;
    first.set(100, 32767, 0);
    const Buffer zeros;
    for (int k = 0; k < count; ++k) {
        const Buffer& buffer = k == 0 ? first : zeros;
        levels.push_back(measureBuffer(state, buffer.bytes, buffer.size(), holdMs, false)->dbLeft);
    }
    return levels;
}

TEST(LevelMeasurement, AFullScaleSampleFadesInTheHundredMillisecondSequence) {
    EXPECT_EQ(peakHoldSequence(100, 6), (std::vector<int>{0, 0, -17, -45, -84, -96}));
}

TEST(LevelMeasurement, AFullScaleSampleFadesInTheOneSecondSequence) {
    EXPECT_EQ(peakHoldSequence(1000, 11), (std::vector<int>{0, 0, 0, 0, -1, -2, -3, -4, -6, -7, -9}));
}

TEST(LevelMeasurement, HoldTimesBelow100CountAs100) {
    EXPECT_EQ(peakHoldSequence(50, 6), peakHoldSequence(100, 6));
}

TEST(LevelMeasurement, AnEmptyOrPartFrameBufferChangesNothing) {
    MeasurementState state;
    state.peakLeft = 1000;
    const Buffer buffer(5000, 5000);
    EXPECT_FALSE(measureBuffer(state, buffer.bytes, 0, 100, true));
    EXPECT_FALSE(measureBuffer(state, buffer.bytes, 22046, 100, true));
    EXPECT_EQ(state.peakLeft, 1000);
    EXPECT_EQ(state.decayLeft, 1.0);
    EXPECT_EQ(state.dcLeft, 0);
}

TEST(LevelMeasurement, DigitalSilenceReadsMinus96) {
    MeasurementState state;
    const Buffer silence;
    const auto levels = measureBuffer(state, silence.bytes, silence.size(), 100, true);
    EXPECT_EQ(levels->dbLeft, -96);
    EXPECT_EQ(levels->dbRight, -96);
    EXPECT_EQ(levels->left, 0.0);
}

TEST(LevelMeasurement, AConstantInputFallsAwayWithTheDcFilterOn) {
    MeasurementState state;
    const Buffer constant(16384, -8192);
    std::vector<int> left, right;
    for (int k = 0; k < 8; ++k) {
        const auto levels = measureBuffer(state, constant.bytes, constant.size(), 100, true);
        left.push_back(levels->dbLeft);
        right.push_back(levels->dbRight);
    }
    // Its own level for two buffers, then the offset cancels it and the held peak decays.
    EXPECT_EQ(left[0], -6);
    EXPECT_EQ(left[1], -6);
    EXPECT_LT(left[2], -6);
    EXPECT_EQ(left[7], -96);
    EXPECT_EQ(right[0], -12);
    EXPECT_EQ(right[7], -96);
    EXPECT_EQ(state.dcLeft, 16384);
    EXPECT_EQ(state.dcRight, -8192);
}

TEST(LevelMeasurement, AConstantInputKeepsItsLevelWithTheDcFilterOff) {
    MeasurementState state;
    const Buffer constant(16384, -8192);
    for (int k = 0; k < 8; ++k) {
        const auto levels = measureBuffer(state, constant.bytes, constant.size(), 100, false);
        EXPECT_EQ(levels->dbLeft, -6);
        EXPECT_EQ(levels->dbRight, -12);
    }
    EXPECT_EQ(state.dcLeft, 0);
}

TEST(LevelMeasurement, TheDcOffsetIsTheTruncatedMeanOfThePreviousBuffer) {
    MeasurementState state;
    Buffer buffer(0, 0, 4);
    buffer.set(0, 3, -3);
    buffer.set(1, 2, -2); // sums 5 and -5 over 4 frames
    measureBuffer(state, buffer.bytes, buffer.size(), 100, true);
    EXPECT_EQ(state.dcLeft, 1);
    EXPECT_EQ(state.dcRight, -1);
}

TEST(LevelMeasurement, APeakAboveFullScaleReadsPositive) {
    MeasurementState state;
    state.dcLeft = 10'000; // the last buffer's mean
    Buffer buffer(0, 0, 4);
    buffer.set(2, -32768, 0);
    const auto levels = measureBuffer(state, buffer.bytes, buffer.size(), 100, true);
    EXPECT_EQ(state.peakLeft, 42768);
    EXPECT_EQ(levels->dbLeft, 2); // 20 log10(42768 / 32767) = 2.31
}

TEST(LevelMeasurement, OnlyAStrictlyLargerSampleRestartsTheHold) {
    MeasurementState state;
    Buffer loud(0, 0, 4);
    loud.set(0, 1000, 0);
    measureBuffer(state, loud.bytes, loud.size(), 100, false);
    state.decayLeft = 1.0;                                     // no ageing for this step
    measureBuffer(state, loud.bytes, loud.size(), 100, false); // ages by 1.0: still 1000, decay grows
    EXPECT_EQ(state.peakLeft, 1000);
    EXPECT_DOUBLE_EQ(state.decayLeft, 1.64); // 1000 is not above the held 1000
}

// Steps as written: sample by sample, a strictly larger magnitude raises the peak.
void referenceScan(MeasurementState& state, const std::vector<std::int16_t>& samples, bool dcFilter) {
    std::int64_t sums[2] = {0, 0};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int channel = static_cast<int>(i % 2);
        sums[channel] += samples[i];
        int& peak = channel == 0 ? state.peakLeft : state.peakRight;
        double& decay = channel == 0 ? state.decayLeft : state.decayRight;
        const int magnitude = std::abs(samples[i] - (channel == 0 ? state.dcLeft : state.dcRight));
        if (magnitude > peak) {
            peak = magnitude;
            decay = 1.0;
        }
    }
    const auto frames = static_cast<std::int64_t>(samples.size() / 2);
    state.dcLeft = dcFilter ? static_cast<int>(sums[0] / frames) : 0;
    state.dcRight = dcFilter ? static_cast<int>(sums[1] / frames) : 0;
}

TEST(LevelMeasurement, TheOnePassScanAgreesWithTheSampleBySampleSteps) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> sample(-32768, 32767), frameCount(1, 9000), offset(-3000, 3000);
    for (int round = 0; round < 300; ++round) {
        const int frames = round < 20 ? round + 1 : frameCount(random);
        std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
        const int bias = offset(random);
        for (auto& value : samples)
            value =
                static_cast<std::int16_t>(std::clamp(sample(random) / (1 + round % 7) + bias, -32768, 32767));
        MeasurementState measured, expected;
        measured.dcLeft = expected.dcLeft = offset(random);
        measured.dcRight = expected.dcRight = offset(random);
        measured.peakLeft = expected.peakLeft = round % 3 == 0 ? 40000 : 0;
        std::vector<std::uint8_t> bytes(samples.size() * 2);
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        const bool dcFilter = round % 2 == 0;
        measureBuffer(measured, bytes, static_cast<int>(bytes.size()), 10000, dcFilter);
        // The reference skips the ageing, so age it the same way first: hold 10000 keeps the decay at 1.
        expected.decayLeft = expected.decayRight = 1.0;
        expected.decayLeft += 0.000064;
        expected.decayRight += 0.000064;
        referenceScan(expected, samples, dcFilter);
        ASSERT_EQ(measured.peakLeft, expected.peakLeft) << round;
        ASSERT_EQ(measured.peakRight, expected.peakRight) << round;
        ASSERT_EQ(measured.dcLeft, expected.dcLeft) << round;
        ASSERT_EQ(measured.dcRight, expected.dcRight) << round;
        ASSERT_DOUBLE_EQ(measured.decayLeft, expected.decayLeft) << round;
    }
}

TEST(LevelMeasurement, WholeDecibelsAreTruncatedTowardZero) {
    EXPECT_EQ(levelDb(1.0), 0);
    EXPECT_EQ(levelDb(1.0 / 32767.0), -90);
    EXPECT_EQ(levelDb(std::pow(10.0, -40.9 / 20.0)), -40);
    EXPECT_EQ(levelDb(0.0), -96);
}

TEST(LevelMeasurement, EndpointPeaksAreTakenAsTheyAreAndMayReadBelowMinus96) {
    const Levels levels = measureEndpointPeaks(0.5f, 1e-5f);
    EXPECT_EQ(levels.dbLeft, -6);
    EXPECT_EQ(levels.dbRight, -100);
    EXPECT_EQ(measureEndpointPeaks(0.0f, 0.0f).dbLeft, -96);
}

} // namespace
} // namespace quietmon
