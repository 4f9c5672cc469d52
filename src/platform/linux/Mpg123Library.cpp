#include "platform/linux/Mpg123Library.h"

#include <dlfcn.h>
#include <mpg123.h>
#include <out123.h>
#include <vector>

// The headers map some names onto versioned symbols (mpg123_param is mpg123_param2): the symbol looked
// up is the name after that mapping.
#define QUIETMON_SYMBOL_TEXT(name) #name
#define QUIETMON_SYMBOL_NAME(function) QUIETMON_SYMBOL_TEXT(function)

namespace quietmon {

namespace {

constexpr const char* decoderLibraryName = "libmpg123.so.0";
constexpr const char* outputLibraryName = "libout123.so.0";
constexpr const char* outputDrivers = "pulse,alsa";
// Reads that decode nothing and report no end: a decoder that makes no progress is taken as the end.
constexpr int maxEmptyReads = 1000;

template <typename Function> bool resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

} // namespace

struct Mpg123Library::Functions {
    decltype(&mpg123_init) init = nullptr;
    decltype(&mpg123_exit) exit = nullptr;
    decltype(&mpg123_new) newDecoder = nullptr;
    decltype(&mpg123_delete) deleteDecoder = nullptr;
    decltype(&mpg123_param) decoderParam = nullptr;
    decltype(&mpg123_rates) rates = nullptr;
    decltype(&mpg123_format_none) formatNone = nullptr;
    decltype(&mpg123_format) format = nullptr;
    decltype(&mpg123_open) openFile = nullptr;
    decltype(&mpg123_close) closeFile = nullptr;
    decltype(&mpg123_getformat) getFormat = nullptr;
    decltype(&mpg123_outblock) outblock = nullptr;
    decltype(&mpg123_read) read = nullptr;
    decltype(&out123_new) newOutput = nullptr;
    decltype(&out123_del) deleteOutput = nullptr;
    decltype(&out123_param) outputParam = nullptr;
    decltype(&out123_open) openOutput = nullptr;
    decltype(&out123_start) start = nullptr;
    decltype(&out123_play) play = nullptr;
    decltype(&out123_drop) drop = nullptr;
    decltype(&out123_drain) drain = nullptr;
    decltype(&out123_stop) stop = nullptr;
    decltype(&out123_close) closeOutput = nullptr;

    bool resolveDecoder(void* library) {
#define QUIETMON_RESOLVE(member, function) resolve(library, QUIETMON_SYMBOL_NAME(function), member)
        return QUIETMON_RESOLVE(init, mpg123_init) && QUIETMON_RESOLVE(exit, mpg123_exit) &&
               QUIETMON_RESOLVE(newDecoder, mpg123_new) && QUIETMON_RESOLVE(deleteDecoder, mpg123_delete) &&
               QUIETMON_RESOLVE(decoderParam, mpg123_param) && QUIETMON_RESOLVE(rates, mpg123_rates) &&
               QUIETMON_RESOLVE(formatNone, mpg123_format_none) && QUIETMON_RESOLVE(format, mpg123_format) &&
               QUIETMON_RESOLVE(openFile, mpg123_open) && QUIETMON_RESOLVE(closeFile, mpg123_close) &&
               QUIETMON_RESOLVE(getFormat, mpg123_getformat) && QUIETMON_RESOLVE(outblock, mpg123_outblock) &&
               QUIETMON_RESOLVE(read, mpg123_read);
    }
    bool resolveOutput(void* library) {
        return QUIETMON_RESOLVE(newOutput, out123_new) && QUIETMON_RESOLVE(deleteOutput, out123_del) &&
               QUIETMON_RESOLVE(outputParam, out123_param) && QUIETMON_RESOLVE(openOutput, out123_open) &&
               QUIETMON_RESOLVE(start, out123_start) && QUIETMON_RESOLVE(play, out123_play) &&
               QUIETMON_RESOLVE(drop, out123_drop) && QUIETMON_RESOLVE(drain, out123_drain) &&
               QUIETMON_RESOLVE(stop, out123_stop) && QUIETMON_RESOLVE(closeOutput, out123_close);
#undef QUIETMON_RESOLVE
    }
};

Mpg123Library::Mpg123Library() : m_api(std::make_unique<Functions>()) {}

Mpg123Library::~Mpg123Library() {
    deinitialise();
    unload();
}

bool Mpg123Library::load() {
    if (m_decoderLibrary)
        return true;
    m_decoderLibrary = ::dlopen(decoderLibraryName, RTLD_NOW | RTLD_LOCAL);
    m_outputLibrary = ::dlopen(outputLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (m_decoderLibrary && m_outputLibrary && m_api->resolveDecoder(m_decoderLibrary) &&
        m_api->resolveOutput(m_outputLibrary))
        return true;
    unload();
    return false;
}

void Mpg123Library::unload() {
    if (m_decoderLibrary)
        ::dlclose(m_decoderLibrary);
    if (m_outputLibrary)
        ::dlclose(m_outputLibrary);
    m_decoderLibrary = m_outputLibrary = nullptr;
    *m_api = Functions();
}

bool Mpg123Library::initialise() {
    if (!m_decoderLibrary || m_decoder)
        return false;
    if (m_api->init() != MPG123_OK)
        return false;
    m_decoder = m_api->newDecoder(nullptr, nullptr);
    m_output = m_api->newOutput();
    if (!m_decoder || !m_output) {
        deinitialise();
        return false;
    }
    // Nothing of the player is ever reported, least of all on the program's standard error.
    m_api->decoderParam(m_decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    m_api->outputParam(m_output, OUT123_ADD_FLAGS, OUT123_QUIET, 0.0, nullptr);
    // 16-bit samples at the file's own rate: what every sound server and card takes.
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    m_api->rates(&rates, &rateCount);
    m_api->formatNone(m_decoder);
    for (std::size_t i = 0; i < rateCount; ++i)
        m_api->format(m_decoder, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return true;
}

bool Mpg123Library::deinitialise() {
    if (!m_decoderLibrary)
        return false;
    close();
    if (m_output)
        m_api->deleteOutput(m_output);
    if (m_decoder)
        m_api->deleteDecoder(m_decoder);
    const bool wasInitialised = m_decoder || m_output;
    m_output = nullptr;
    m_decoder = nullptr;
    if (wasInitialised)
        m_api->exit();
    return wasInitialised;
}

bool Mpg123Library::open(const std::string& file) {
    if (!m_decoder)
        return false;
    close();
    if (m_api->openFile(m_decoder, file.c_str()) != MPG123_OK)
        return false;
    m_fileOpen = true;
    m_mode = Mp3PlayerMode::Stopped;
    return true;
}

bool Mpg123Library::play() {
    if (!m_fileOpen || m_playback.joinable())
        return false;
    // Reads the first frames: a file with none is not started.
    if (m_api->getFormat(m_decoder, &m_rate, &m_channels, &m_encoding) != MPG123_OK)
        return false;
    if (m_api->openOutput(m_output, outputDrivers, nullptr) != 0)
        return false;
    m_outputOpen = true;
    if (m_api->start(m_output, m_rate, m_channels, m_encoding) != 0) {
        endPlayback();
        return false;
    }
    m_stopRequested = false;
    m_mode = Mp3PlayerMode::Playing;
    m_playback = std::thread([this] { decodeAndPlay(); });
    return true;
}

void Mpg123Library::decodeAndPlay() {
    std::vector<unsigned char> buffer(m_api->outblock(m_decoder));
    int emptyReads = 0;
    for (;;) {
        std::size_t decoded = 0;
        const int result = m_api->read(m_decoder, buffer.data(), buffer.size(), &decoded);
        if (decoded > 0 && !writeAll(buffer.data(), decoded))
            break;
        if (result == MPG123_NEW_FORMAT) {
            if (!followFormatChange())
                break;
            continue;
        }
        emptyReads = decoded > 0 ? 0 : emptyReads + 1;
        if (result != MPG123_OK || emptyReads > maxEmptyReads) {
            // The end of the file, or of what could be decoded of it: the sound still buffered is heard.
            m_api->drain(m_output);
            m_mode = m_stopRequested ? Mp3PlayerMode::Stopped : Mp3PlayerMode::Ended;
            return;
        }
    }
    m_mode = Mp3PlayerMode::Stopped;
}

bool Mpg123Library::writeAll(unsigned char* data, std::size_t size) {
    while (size > 0) {
        if (m_stopRequested)
            return false;
        const std::size_t written = m_api->play(m_output, data, size);
        if (written == 0)
            return false; // the sound server went away
        data += written;
        size -= written;
    }
    return true;
}

bool Mpg123Library::followFormatChange() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (m_api->getFormat(m_decoder, &rate, &channels, &encoding) != MPG123_OK)
        return false;
    if (rate == m_rate && channels == m_channels && encoding == m_encoding)
        return true;
    m_rate = rate;
    m_channels = channels;
    m_encoding = encoding;
    m_api->stop(m_output);
    return m_api->start(m_output, m_rate, m_channels, m_encoding) == 0;
}

void Mpg123Library::endPlayback() {
    if (m_playback.joinable()) {
        m_stopRequested = true;
        m_playback.join();
    }
    if (m_outputOpen) {
        m_api->drop(m_output);
        m_api->closeOutput(m_output);
        m_outputOpen = false;
    }
}

bool Mpg123Library::stop() {
    if (!m_fileOpen)
        return false;
    endPlayback();
    m_mode = Mp3PlayerMode::Stopped;
    return true;
}

bool Mpg123Library::close() {
    if (!m_decoder)
        return false;
    endPlayback();
    if (m_fileOpen)
        m_api->closeFile(m_decoder);
    m_fileOpen = false;
    m_mode = Mp3PlayerMode::NothingOpen;
    return true;
}

} // namespace quietmon
