#include "audio/LevelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quietmon {

namespace {

constexpr double fullScale = 32767.0;

// The held peak shrinks by the fourth power of its decay base, which grows buffer by buffer until a new
// peak resets it; from 16 on it stops growing and the next division drops any peak to 0.
void age(int& peak, double& decay, int holdMs) {
    if (decay < 1.0)
        decay = 1.0;
    const long double divisor = static_cast<long double>(decay) * decay * decay * decay;
    peak = static_cast<int>(std::trunc(static_cast<long double>(peak) / divisor));
    if (decay < 16.0) {
        const double step = 80.0 / holdMs;
        decay += step * step;
    }
}

} // namespace

int levelDb(double linear) {
    if (linear <= 0.0)
        return -96;
    return static_cast<int>(std::trunc(20.0L * std::log10(static_cast<long double>(linear))));
}

std::optional<Levels> measureBuffer(MeasurementState& state, std::span<const std::uint8_t> buffer,
                                    int sizeBytes, int peakHoldTimeMs, bool dcFilter) {
    if (sizeBytes <= 0 || sizeBytes % 4 != 0 || static_cast<std::size_t>(sizeBytes) > buffer.size())
        return std::nullopt;
    const int hold = std::max(peakHoldTimeMs, 100);
    age(state.peakLeft, state.decayLeft, hold);
    age(state.peakRight, state.decayRight, hold);

    // One pass: the largest DC-corrected magnitude and the sum of each channel. Taking the maximum first
    // is the same as raising the peak sample by sample, and keeps the loop free of branches.
    const int frames = sizeBytes / 4;
    const int dcLeft = state.dcLeft;
    const int dcRight = state.dcRight;
    std::int64_t sumLeft = 0, sumRight = 0;
    int maxLeft = 0, maxRight = 0;
    const std::uint8_t* bytes = buffer.data();
    for (int frame = 0; frame < frames; ++frame) {
        std::int16_t samples[2];
        std::memcpy(samples, bytes + static_cast<std::size_t>(frame) * 4, 4);
        sumLeft += samples[0];
        sumRight += samples[1];
        maxLeft = std::max(maxLeft, std::abs(samples[0] - dcLeft));
        maxRight = std::max(maxRight, std::abs(samples[1] - dcRight));
    }
    if (maxLeft > state.peakLeft) {
        state.peakLeft = maxLeft;
        state.decayLeft = 1.0;
    }
    if (maxRight > state.peakRight) {
        state.peakRight = maxRight;
        state.decayRight = 1.0;
    }
    // Applied from the next buffer on; integer division truncates toward zero.
    state.dcLeft = dcFilter ? static_cast<int>(sumLeft / frames) : 0;
    state.dcRight = dcFilter ? static_cast<int>(sumRight / frames) : 0;

    Levels levels;
    levels.left = state.peakLeft / fullScale;
    levels.right = state.peakRight / fullScale;
    levels.dbLeft = levelDb(levels.left);
    levels.dbRight = levelDb(levels.right);
    return levels;
}

Levels measureEndpointPeaks(float left, float right) {
    Levels levels;
    levels.left = left;
    levels.right = right;
    levels.dbLeft = levelDb(levels.left);
    levels.dbRight = levelDb(levels.right);
    return levels;
}

} // namespace quietmon
