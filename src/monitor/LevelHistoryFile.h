#pragma once

#include "runtime/DateTime.h"
#include "runtime/FixedSizeFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quietmon {

// One second of the level history: each channel's highest level of that second in whole dBFS (-96 to
// 0, as the meter shows it) and whether the alarm or an input loss was active in it.
struct LevelSecond {
    std::int64_t second = 0; // whole seconds of local time since the DateTime zero
    int dbLeft = -96;
    int dbRight = -96;
    bool alarmActive = false;
    bool inputLost = false;

    friend bool operator==(const LevelSecond&, const LevelSecond&) = default;
};

// The wall clock went back, or skipped forward while the program ran: after `atSecond` the next second
// recorded was `atSecond + 1 + bySeconds`.
struct ClockJump {
    std::int64_t atSecond = 0;
    std::int64_t bySeconds = 0;

    friend bool operator==(const ClockJump&, const ClockJump&) = default;
};

std::int64_t secondOf(DateTime moment);

// The level history kept in the data folder: a ring of one slot per second for the last 31 days, in a
// file of fixed size (the layout is in docs/level-history.md). A second is written to the slot of its
// wall-clock second, so the file never grows; seconds with no record (the program stopped, the clock
// skipped) read as none. Records are collected in memory and written by `write`, which the owner calls at
// most once a minute and after each alarm and return. A file that is not such a ring (foreign, damaged,
// another version or size) is renamed aside and a new one started.
class LevelHistoryFile {
public:
    static constexpr std::int64_t keptSeconds = 31LL * 86'400;
    // Slots past the newest second that a write torn by a crash may have touched; never read.
    static constexpr std::int64_t guardSeconds = 240;
    static constexpr std::int64_t slotCount = keptSeconds + guardSeconds;
    static constexpr std::uint64_t headerBytes = 4096;
    static constexpr std::uint64_t fileBytes = headerBytes + slotCount * 2;
    static constexpr std::size_t jumpsKept = 32;
    // At most this many records wait in memory; older ones are dropped when the file cannot be written.
    static constexpr std::size_t pendingLimit = 200;

    using Log = std::function<void(const std::string&)>;

    // Opens the ring at `path`, or makes a new one. False (logged) when none could be made.
    bool open(const std::string& path, DateTime now, const Log& log);
    bool isOpen() const { return m_file.isOpen(); }
    void add(const LevelSecond& second);
    void noteClockJump(const ClockJump& jump);
    // Writes the records collected since the last write. False with the reason when the file refused.
    bool write(std::string& failure);
    std::size_t pendingCount() const { return m_pending.size(); }

private:
    bool writeSlot(std::int64_t second, std::uint16_t code, std::string& failure);
    bool clearSeconds(std::int64_t first, std::int64_t last, std::string& failure);
    bool writeHeader(std::string& failure);
    void rememberJump(const ClockJump& jump);

    FixedSizeFile m_file;
    std::vector<LevelSecond> m_pending;
    std::vector<ClockJump> m_pendingJumps;
    std::uint64_t m_sequence = 0;
    std::optional<std::int64_t> m_lastSecond;
    std::vector<ClockJump> m_jumps; // the newest `jumpsKept`, oldest first
};

// What a reader finds in a level-history file for a span of seconds.
struct LevelHistorySpan {
    std::int64_t firstSecond = 0;
    // One slot's contents per second from `firstSecond`, as the file holds them (two bytes a second, so
    // that a month's span stays small).
    std::vector<std::uint16_t> codes;
    std::vector<ClockJump> jumps; // those inside the span

    std::size_t size() const { return codes.size(); }
    // The second at `index`; none where nothing was recorded.
    std::optional<LevelSecond> at(std::size_t index) const;
};

// The seconds from `firstSecond` to `lastSecond` (both included) as far as the ring at `path` holds them.
// Nothing, with the reason in `failure`, when the file cannot be read or is not a level history.
std::optional<LevelHistorySpan> readLevelHistory(const std::string& path, std::int64_t firstSecond,
                                                 std::int64_t lastSecond, std::string& failure);

} // namespace quietmon
