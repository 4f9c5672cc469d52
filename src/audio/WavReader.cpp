#include "audio/WavReader.h"

#include <array>
#include <cstring>

namespace quietmon {

namespace {

std::uint32_t le32(const std::uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatExtensible = 0xFFFE;

} // namespace

WavReader::~WavReader() {
    if (m_file)
        std::fclose(m_file);
}

bool WavReader::open(const std::string& path, std::string& error) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    return open(stream, path, error);
}

bool WavReader::open(std::FILE* stream, const std::string& path, std::string& error) {
    if (m_file)
        std::fclose(m_file);
    m_file = stream;
    std::array<std::uint8_t, 12> riff{};
    if (std::fread(riff.data(), 1, riff.size(), m_file) != riff.size() ||
        std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a WAV file";
        return false;
    }
    bool haveFormat = false;
    for (;;) {
        std::array<std::uint8_t, 8> header{};
        if (std::fread(header.data(), 1, header.size(), m_file) != header.size()) {
            error = path + " has no audio data";
            return false;
        }
        const std::uint32_t size = le32(header.data() + 4);
        if (std::memcmp(header.data(), "fmt ", 4) == 0) {
            if (size < 16 || size > 1024) {
                error = path + " has a broken format chunk";
                return false;
            }
            std::vector<std::uint8_t> format(size + (size & 1));
            if (std::fread(format.data(), 1, format.size(), m_file) != format.size()) {
                error = path + " has a broken format chunk";
                return false;
            }
            std::uint16_t tag = le16(format.data());
            if (tag == formatExtensible && size >= 40)
                tag = le16(format.data() + 24); // the sub-format's first two bytes
            m_channels = le16(format.data() + 2);
            m_sampleRate = static_cast<int>(le32(format.data() + 4));
            const int bits = le16(format.data() + 14);
            if (tag != formatPcm || bits != 16) {
                error = path + " is not 16-bit PCM (format " + std::to_string(tag) + ", " +
                        std::to_string(bits) + " bits); only 16-bit PCM WAV files can be scanned";
                return false;
            }
            if (m_channels < 1 || m_channels > 2 || m_sampleRate < 1 || m_sampleRate > 1'000'000) {
                error = path + " has " + std::to_string(m_channels) + " channels at " +
                        std::to_string(m_sampleRate) + " Hz; only mono or stereo files can be scanned";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(header.data(), "data", 4) == 0) {
            if (!haveFormat) {
                error = path + " has its audio data before its format";
                return false;
            }
            m_frames = size / (2u * static_cast<unsigned>(m_channels));
            m_framesLeft = m_frames;
            return true;
        } else if (std::fseek(m_file, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) {
            error = path + " has no audio data";
            return false;
        }
    }
}

std::size_t WavReader::readStereo(std::size_t frames, std::vector<std::uint8_t>& out) {
    frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, m_framesLeft));
    const std::size_t bytesPerFrame = 2u * static_cast<std::size_t>(m_channels);
    m_raw.resize(frames * bytesPerFrame);
    const std::size_t got = m_file ? std::fread(m_raw.data(), bytesPerFrame, frames, m_file) : 0;
    m_framesLeft -= got;
    if (got == 0)
        return 0;
    const std::size_t start = out.size();
    out.resize(start + got * 4);
    if (m_channels == 2) {
        std::memcpy(out.data() + start, m_raw.data(), got * 4);
    } else {
        for (std::size_t i = 0; i < got; ++i) {
            std::memcpy(out.data() + start + i * 4, m_raw.data() + i * 2, 2);
            std::memcpy(out.data() + start + i * 4 + 2, m_raw.data() + i * 2, 2);
        }
    }
    return got;
}

} // namespace quietmon
