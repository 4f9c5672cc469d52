#include "monitor/LevelHistoryFile.h"

#include "runtime/FileSystem.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace quietmon {
namespace {

constexpr std::array<std::uint8_t, 8> magic{'Q', 'M', 'L', 'E', 'V', 'E', 'L', 'S'};
constexpr std::uint32_t version = 1;
constexpr std::uint64_t headerCopyOffsets[2] = {0, 2048};
constexpr std::size_t jumpsOffset = 40;
constexpr std::size_t checksumOffset = jumpsOffset + LevelHistoryFile::jumpsKept * 16;
constexpr std::size_t headerCopyBytes = checksumOffset + 4;
constexpr std::int64_t noSecond = std::numeric_limits<std::int64_t>::min();
constexpr std::uint16_t emptySlot = 0xFFFF;
constexpr int lowestDb = -96;

std::uint32_t crc32(const std::uint8_t* bytes, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

template <typename Value> void putLittleEndian(std::uint8_t* at, Value value) {
    auto bits = static_cast<std::make_unsigned_t<Value>>(value);
    for (std::size_t i = 0; i < sizeof(Value); ++i, bits >>= 8)
        at[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

template <typename Value> Value getLittleEndian(const std::uint8_t* at) {
    std::make_unsigned_t<Value> bits = 0;
    for (std::size_t i = sizeof(Value); i-- > 0;)
        bits = static_cast<decltype(bits)>((bits << 8) | at[i]);
    return static_cast<Value>(bits);
}

std::uint16_t encode(const LevelSecond& level) {
    const auto attenuation = [](int db) { return static_cast<std::uint16_t>(-std::clamp(db, lowestDb, 0)); };
    return static_cast<std::uint16_t>(attenuation(level.dbLeft) | (attenuation(level.dbRight) << 7) |
                                      (level.alarmActive ? 1u << 14 : 0u) |
                                      (level.inputLost ? 1u << 15 : 0u));
}

std::optional<LevelSecond> decode(std::int64_t second, std::uint16_t code) {
    const int left = code & 0x7F;
    const int right = (code >> 7) & 0x7F;
    if (left > -lowestDb || right > -lowestDb)
        return std::nullopt;
    return LevelSecond{second, -left, -right, (code & (1u << 14)) != 0, (code & (1u << 15)) != 0};
}

std::int64_t slotOf(std::int64_t second) {
    const std::int64_t slot = second % LevelHistoryFile::slotCount;
    return slot < 0 ? slot + LevelHistoryFile::slotCount : slot;
}

std::uint64_t offsetOfSlot(std::int64_t slot) {
    return LevelHistoryFile::headerBytes + static_cast<std::uint64_t>(slot) * 2;
}

struct Header {
    std::uint64_t sequence = 0;
    std::int64_t lastSecond = noSecond;
    std::vector<ClockJump> jumps;
};

// The newer of the two header copies that is whole, or why there is none.
std::optional<Header> readHeader(const FixedSizeFile& file, std::string& reason) {
    if (file.sizeBytes() != LevelHistoryFile::fileBytes) {
        reason = "not the size of a level history";
        return std::nullopt;
    }
    std::optional<Header> newest;
    bool anyCopyMarked = false;
    for (const std::uint64_t offset : headerCopyOffsets) {
        std::array<std::uint8_t, headerCopyBytes> bytes{};
        std::string failure;
        if (!file.read(offset, bytes, failure)) {
            reason = failure;
            continue;
        }
        if (!std::equal(magic.begin(), magic.end(), bytes.begin()))
            continue;
        anyCopyMarked = true;
        if (getLittleEndian<std::uint32_t>(&bytes[checksumOffset]) != crc32(bytes.data(), checksumOffset))
            continue;
        if (getLittleEndian<std::uint32_t>(&bytes[8]) != version ||
            getLittleEndian<std::uint32_t>(&bytes[12]) != LevelHistoryFile::slotCount) {
            reason =
                "version " + std::to_string(getLittleEndian<std::uint32_t>(&bytes[8])) + " of the layout";
            return std::nullopt;
        }
        Header header;
        header.sequence = getLittleEndian<std::uint64_t>(&bytes[16]);
        header.lastSecond = getLittleEndian<std::int64_t>(&bytes[24]);
        const std::uint32_t jumpCount =
            std::min<std::uint32_t>(getLittleEndian<std::uint32_t>(&bytes[32]), LevelHistoryFile::jumpsKept);
        for (std::uint32_t i = 0; i < jumpCount; ++i) {
            const std::uint8_t* jump = &bytes[jumpsOffset + i * 16];
            header.jumps.push_back(
                {getLittleEndian<std::int64_t>(jump), getLittleEndian<std::int64_t>(jump + 8)});
        }
        if (!newest || header.sequence > newest->sequence)
            newest = std::move(header);
    }
    if (!newest)
        reason = anyCopyMarked ? "damaged" : "not a level history";
    return newest;
}

std::string setAsideName(const std::string& path, DateTime now) {
    std::string stamp = now.formatIsoDate() + "-" + now.formatTime();
    std::erase_if(stamp, [](char c) { return c == '-' || c == ':'; });
    return path + ".damaged-" + stamp.substr(0, 8) + "-" + stamp.substr(8);
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::int64_t secondOf(DateTime moment) {
    const std::int64_t ms = moment.milliseconds();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

std::optional<LevelSecond> LevelHistorySpan::at(std::size_t index) const {
    return decode(firstSecond + static_cast<std::int64_t>(index), codes[index]);
}

bool LevelHistoryFile::open(const std::string& path, DateTime now, const Log& log) {
    m_lastSecond.reset();
    m_jumps.clear();
    m_sequence = 0;
    std::string failure;
    if (fileExists(path) || folderExists(path)) {
        std::string reason;
        std::optional<Header> header;
        if (m_file.open(path, failure))
            header = readHeader(m_file, reason);
        else
            reason = failure;
        if (header) {
            m_sequence = header->sequence;
            if (header->lastSecond != noSecond)
                m_lastSecond = header->lastSecond;
            m_jumps = std::move(header->jumps);
            return true;
        }
        m_file.close();
        const std::string aside = setAsideName(path, now);
        if (!renameFile(path, aside)) {
            log("Level history not kept - " + fileNameOf(path) + " is " + reason +
                " and cannot be set aside");
            return false;
        }
        log("Level history file " + fileNameOf(path) + " is " + reason + "; it was set aside as " +
            fileNameOf(aside) + " and a new one started");
    }
    if (!m_file.create(path, fileBytes, 0xFF, failure) || !writeHeader(failure)) {
        m_file.close();
        log("Level history not kept - " + failure);
        return false;
    }
    return true;
}

void LevelHistoryFile::add(const LevelSecond& second) {
    if (m_pending.size() >= pendingLimit)
        m_pending.erase(m_pending.begin());
    m_pending.push_back(second);
}

void LevelHistoryFile::noteClockJump(const ClockJump& jump) {
    m_pendingJumps.push_back(jump);
}

void LevelHistoryFile::rememberJump(const ClockJump& jump) {
    m_jumps.push_back(jump);
    if (m_jumps.size() > jumpsKept)
        m_jumps.erase(m_jumps.begin());
}

bool LevelHistoryFile::write(std::string& failure) {
    if (!m_file.isOpen()) {
        failure = "no file";
        return false;
    }
    if (m_pending.empty() && m_pendingJumps.empty())
        return true;
    for (const LevelSecond& level : m_pending) {
        if (m_lastSecond && level.second > *m_lastSecond + 1) {
            if (!clearSeconds(*m_lastSecond + 1, level.second - 1, failure))
                return false;
        } else if (m_lastSecond && level.second < *m_lastSecond) {
            // The clock went back: the seconds it went back over are recorded again from now on.
            if (!clearSeconds(level.second, *m_lastSecond, failure))
                return false;
            rememberJump({*m_lastSecond, level.second - *m_lastSecond - 1});
        }
        for (auto jump = m_pendingJumps.begin(); jump != m_pendingJumps.end();) {
            if (m_lastSecond && jump->atSecond == *m_lastSecond && jump->bySeconds > 0) {
                rememberJump(*jump);
                jump = m_pendingJumps.erase(jump);
            } else {
                ++jump;
            }
        }
        if (!writeSlot(level.second, encode(level), failure))
            return false;
        m_lastSecond = level.second;
    }
    m_pending.clear();
    m_pendingJumps.clear();
    return m_file.flush(failure) && writeHeader(failure);
}

bool LevelHistoryFile::writeSlot(std::int64_t second, std::uint16_t code, std::string& failure) {
    std::array<std::uint8_t, 2> bytes{};
    putLittleEndian(bytes.data(), code);
    return m_file.write(offsetOfSlot(slotOf(second)), bytes, failure);
}

bool LevelHistoryFile::clearSeconds(std::int64_t first, std::int64_t last, std::string& failure) {
    const std::int64_t count = std::min(last - first + 1, slotCount);
    static const std::vector<std::uint8_t> empty(1 << 16, 0xFF);
    std::int64_t slot = slotOf(first);
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t run =
            std::min({left, slotCount - slot, static_cast<std::int64_t>(empty.size() / 2)});
        if (!m_file.write(offsetOfSlot(slot), std::span(empty).first(static_cast<std::size_t>(run * 2)),
                          failure))
            return false;
        left -= run;
        slot = (slot + run) % slotCount;
    }
    return true;
}

bool LevelHistoryFile::writeHeader(std::string& failure) {
    ++m_sequence;
    std::array<std::uint8_t, headerCopyBytes> bytes{};
    std::copy(magic.begin(), magic.end(), bytes.begin());
    putLittleEndian(&bytes[8], version);
    putLittleEndian(&bytes[12], static_cast<std::uint32_t>(slotCount));
    putLittleEndian(&bytes[16], m_sequence);
    putLittleEndian(&bytes[24], m_lastSecond.value_or(noSecond));
    putLittleEndian(&bytes[32], static_cast<std::uint32_t>(m_jumps.size()));
    for (std::size_t i = 0; i < m_jumps.size(); ++i) {
        putLittleEndian(&bytes[jumpsOffset + i * 16], m_jumps[i].atSecond);
        putLittleEndian(&bytes[jumpsOffset + i * 16 + 8], m_jumps[i].bySeconds);
    }
    putLittleEndian(&bytes[checksumOffset], crc32(bytes.data(), checksumOffset));
    // The copies take turns, so that a write torn by a crash leaves the other one whole.
    return m_file.write(headerCopyOffsets[m_sequence % 2], bytes, failure) && m_file.flush(failure);
}

std::optional<LevelHistorySpan> readLevelHistory(const std::string& path, std::int64_t firstSecond,
                                                 std::int64_t lastSecond, std::string& failure) {
    FixedSizeFile file;
    if (!file.openForReading(path, failure))
        return std::nullopt;
    std::optional<Header> header = readHeader(file, failure);
    if (!header) {
        failure = "the file is " + failure;
        return std::nullopt;
    }
    LevelHistorySpan span;
    span.firstSecond = firstSecond;
    span.codes.assign(static_cast<std::size_t>(std::max<std::int64_t>(lastSecond - firstSecond + 1, 0)),
                      emptySlot);
    if (header->lastSecond == noSecond)
        return span;
    const std::int64_t from = std::max(firstSecond, header->lastSecond - LevelHistoryFile::keptSeconds + 1);
    const std::int64_t to = std::min(lastSecond, header->lastSecond);
    std::vector<std::uint8_t> bytes;
    for (std::int64_t second = from; second <= to;) {
        const std::int64_t slot = slotOf(second);
        const std::int64_t run = std::min(to - second + 1, LevelHistoryFile::slotCount - slot);
        bytes.resize(static_cast<std::size_t>(run * 2));
        if (!file.read(offsetOfSlot(slot), bytes, failure))
            return std::nullopt;
        for (std::int64_t i = 0; i < run; ++i)
            span.codes[static_cast<std::size_t>(second + i - firstSecond)] =
                getLittleEndian<std::uint16_t>(&bytes[static_cast<std::size_t>(i * 2)]);
        second += run;
    }
    for (const ClockJump& jump : header->jumps)
        if (jump.atSecond >= firstSecond - 1 && jump.atSecond <= lastSecond)
            span.jumps.push_back(jump);
    return span;
}

} // namespace quietmon
