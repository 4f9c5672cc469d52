#include "audio/LevelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

struct ChannelScan {
    int highLeft = -32768, lowLeft = 32767, highRight = -32768, lowRight = 32767;
    std::int64_t sumLeft = 0, sumRight = 0;

    void add(std::int16_t left, std::int16_t right) {
        highLeft = std::max<int>(highLeft, left);
        lowLeft = std::min<int>(lowLeft, left);
        highRight = std::max<int>(highRight, right);
        lowRight = std::min<int>(lowRight, right);
        sumLeft += left;
        sumRight += right;
    }
};

#if defined(__SSE2__)
// Eight samples at a time (four frames, Left in the even lanes): 16-bit minimum and maximum, and 32-bit
// sums of each channel through a multiply-add with 1 and 0. SSE2 is part of every x86-64, so the
// shipped binary stays portable.
std::size_t scanVectorFrames(const std::uint8_t* bytes, std::size_t frames, ChannelScan& scan) {
    const std::size_t vectors = frames / 4;
    const __m128i leftOnly = _mm_set_epi16(0, 1, 0, 1, 0, 1, 0, 1);
    const __m128i rightOnly = _mm_set_epi16(1, 0, 1, 0, 1, 0, 1, 0);
    __m128i high = _mm_set1_epi16(-32768), low = _mm_set1_epi16(32767);
    constexpr std::size_t vectorsPerFlush = 8192; // 8192 x 2 x 32768 stays inside a 32-bit lane
    for (std::size_t start = 0; start < vectors; start += vectorsPerFlush) {
        __m128i sumLeft = _mm_setzero_si128(), sumRight = _mm_setzero_si128();
        const std::size_t end = std::min(vectors, start + vectorsPerFlush);
        for (std::size_t v = start; v < end; ++v) {
            const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + v * 16));
            high = _mm_max_epi16(high, samples);
            low = _mm_min_epi16(low, samples);
            sumLeft = _mm_add_epi32(sumLeft, _mm_madd_epi16(samples, leftOnly));
            sumRight = _mm_add_epi32(sumRight, _mm_madd_epi16(samples, rightOnly));
        }
        std::int32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sumLeft);
        scan.sumLeft += std::int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sumRight);
        scan.sumRight += std::int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
    }
    std::int16_t highLanes[8], lowLanes[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(highLanes), high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lowLanes), low);
    for (int lane = 0; lane < 8; lane += 2) {
        scan.highLeft = std::max<int>(scan.highLeft, highLanes[lane]);
        scan.lowLeft = std::min<int>(scan.lowLeft, lowLanes[lane]);
        scan.highRight = std::max<int>(scan.highRight, highLanes[lane + 1]);
        scan.lowRight = std::min<int>(scan.lowRight, lowLanes[lane + 1]);
    }
    return vectors * 4;
}
#else
std::size_t scanVectorFrames(const std::uint8_t*, std::size_t, ChannelScan&) {
    return 0;
}
#endif

// Extremes and sums of each channel in one pass over interleaved 16-bit frames.
ChannelScan scanFrames(const std::uint8_t* bytes, int frames) {
    ChannelScan scan;
    const auto total = static_cast<std::size_t>(frames);
    for (std::size_t frame = scanVectorFrames(bytes, total, scan); frame < total; ++frame) {
        std::int16_t samples[2];
        std::memcpy(samples, bytes + frame * 4, sizeof samples);
        scan.add(samples[0], samples[1]);
    }
    return scan;
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

    const int frames = sizeBytes / 4;
    const ChannelScan scan = scanFrames(buffer.data(), frames);
    // The largest DC-corrected magnitude lies at one of the extremes: raising the peak sample by sample
    // ends the same as comparing it once with the larger of the two.
    const int maxLeft = std::max(scan.highLeft - state.dcLeft, state.dcLeft - scan.lowLeft);
    const int maxRight = std::max(scan.highRight - state.dcRight, state.dcRight - scan.lowRight);
    if (maxLeft > state.peakLeft) {
        state.peakLeft = maxLeft;
        state.decayLeft = 1.0;
    }
    if (maxRight > state.peakRight) {
        state.peakRight = maxRight;
        state.decayRight = 1.0;
    }
    // Applied from the next buffer on; integer division truncates toward zero.
    state.dcLeft = dcFilter ? static_cast<int>(scan.sumLeft / frames) : 0;
    state.dcRight = dcFilter ? static_cast<int>(scan.sumRight / frames) : 0;

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
