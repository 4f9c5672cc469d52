// The per-buffer measurement against copying the same buffer: reading the samples once is the limit.
#include "audio/LevelMeasurement.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int frames = 5512;

std::vector<std::uint8_t> programmeBuffer() {
    std::vector<std::uint8_t> bytes(frames * 4);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    for (int i = 0; i < frames * 2; ++i) {
        const auto value = static_cast<std::int16_t>(sample(random));
        std::memcpy(bytes.data() + i * 2, &value, 2);
    }
    return bytes;
}

void measureOneBuffer(benchmark::State& state) {
    const auto buffer = programmeBuffer();
    quietmon::MeasurementState measurement;
    for (auto _ : state) {
        auto levels =
            quietmon::measureBuffer(measurement, buffer, static_cast<int>(buffer.size()), 100, true);
        benchmark::DoNotOptimize(levels);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(measureOneBuffer);

void copyOneBuffer(benchmark::State& state) {
    const auto buffer = programmeBuffer();
    std::vector<std::uint8_t> target(buffer.size());
    for (auto _ : state) {
        std::memcpy(target.data(), buffer.data(), buffer.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(copyOneBuffer);

} // namespace

BENCHMARK_MAIN();
