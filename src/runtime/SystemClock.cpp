#include "runtime/SystemClock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace quietmon {

DateTime SystemClock::now() const {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    // The logic asks several times a second, and turning a second into local time walks the time-zone
    // rules each time: each thread keeps its last second's answer.
    thread_local std::time_t convertedSecond = -1;
    thread_local std::tm local{};
    if (seconds != convertedSecond) {
        ::localtime_r(&seconds, &local);
        convertedSecond = seconds;
    }
    return DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec, static_cast<int>(ms % 1000));
}

void SystemClock::sleep(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(Liveness::waitSliceMs)));
        m_liveness.stillAlive();
    }
}

} // namespace quietmon
