#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quietmon {

// The held peak of each channel, its decay and the DC offsets; lives for the whole run.
struct MeasurementState {
    int peakLeft = 0;
    int peakRight = 0;
    double decayLeft = 1.0;
    double decayRight = 1.0;
    int dcLeft = 0;
    int dcRight = 0;
};

struct Levels {
    double left = 0.0; // linear, 1.0 = full scale
    double right = 0.0;
    int dbLeft = -96; // whole dBFS
    int dbRight = -96;
};

// Whole dBFS of a linear level: 20 log10 truncated toward zero, -96 for nothing at all.
int levelDb(double linear);

// One 16-bit stereo buffer: the held peaks age, the buffer is scanned, the DC offsets are taken for the
// next buffer. Nothing when the size is 0 or not whole frames: such a buffer changes nothing.
std::optional<Levels> measureBuffer(MeasurementState& state, std::span<const std::uint8_t> buffer,
                                    int sizeBytes, int peakHoldTimeMs, bool dcFilter);

// The endpoint meter's peaks, taken as they are: no hold, no DC filter.
Levels measureEndpointPeaks(float left, float right);

} // namespace quietmon
