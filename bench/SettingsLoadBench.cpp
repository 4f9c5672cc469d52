// Loading, checking and saving over the largest settings file the monitor accepts: every key is found
// through the index built once, so the time grows with the file's length and not with keys times lines.
#include "config/IniFile.h"
#include "config/SettingsCheck.h"
#include "config/SettingsStore.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace quietmon;

// A file of exactly the largest accepted size, of `line` repeated after `head`.
std::string fileOf(const std::string& head, const std::string& line) {
    std::string text = head;
    while (text.size() + line.size() <= SettingsFile::maxBytes)
        text += line;
    text.append(SettingsFile::maxBytes - text.size(), '\n');
    return text;
}

std::string blankLines() {
    return fileOf("", "\n");
}

// Keys the monitor does not know, all in the section it reads most from.
std::string distinctKeys() {
    std::string text = "[General]\r\n";
    for (int key = 0; text.size() < SettingsFile::maxBytes - 32; ++key)
        text += "Key" + std::to_string(key) + "=" + std::to_string(key) + "\r\n";
    return fileOf(text, "\n");
}

void load(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const IniFile file = IniFile::parse(text);
        Settings settings = defaultSettings("Bench");
        loadWindowKeys(file, settings);
        loadSetupKeys(file, settings);
        benchmark::DoNotOptimize(settings);
    }
}

void save(benchmark::State& state, const std::string& text) {
    const Settings settings = defaultSettings("Bench");
    for (auto _ : state) {
        IniFile file = IniFile::parse(text);
        writeSettings(file, settings, DateTime::fromParts(2026, 1, 1));
        benchmark::DoNotOptimize(file.text());
    }
}

void check(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const SettingsCheck check(IniFile::parse(text));
        benchmark::DoNotOptimize(check.warnings().size());
    }
}

BENCHMARK_CAPTURE(load, blankLines, blankLines())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(load, distinctKeys, distinctKeys())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(save, blankLines, blankLines())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(save, distinctKeys, distinctKeys())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(check, blankLines, blankLines())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(check, distinctKeys, distinctKeys())->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
