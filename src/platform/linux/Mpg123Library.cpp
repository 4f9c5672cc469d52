#include "platform/linux/Mpg123Library.h"

#include "platform/linux/Mpg123Functions.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dlfcn.h>
#include <mpg123.h>
#include <mutex>
#include <out123.h>
#include <vector>

namespace quietmon {

namespace {

constexpr const char* decoderLibraryName = "libmpg123.so.0";
constexpr const char* outputLibraryName = "libout123.so.0";
constexpr const char* outputDrivers = "pulse,alsa";
// Reads that decode nothing and report no end: a decoder that makes no progress is taken as the end.
constexpr int maxEmptyReads = 1000;

} // namespace

struct Mpg123Library::Functions : Mpg123Functions {
    decltype(&out123_new) newOutput = nullptr;
    decltype(&out123_del) deleteOutput = nullptr;
    decltype(&out123_param) outputParam = nullptr;
    decltype(&out123_open) openOutput = nullptr;
    decltype(&out123_start) start = nullptr;
    decltype(&out123_play) play = nullptr;
    decltype(&out123_drop) drop = nullptr;
    decltype(&out123_drain) drain = nullptr;
    decltype(&out123_stop) stop = nullptr;

    bool resolveOutput(void* library) {
#define QUIETMON_RESOLVE(member, function) resolveSymbol(library, QUIETMON_SYMBOL_NAME(function), member)
        return QUIETMON_RESOLVE(newOutput, out123_new) && QUIETMON_RESOLVE(deleteOutput, out123_del) &&
               QUIETMON_RESOLVE(outputParam, out123_param) && QUIETMON_RESOLVE(openOutput, out123_open) &&
               QUIETMON_RESOLVE(start, out123_start) && QUIETMON_RESOLVE(play, out123_play) &&
               QUIETMON_RESOLVE(drop, out123_drop) && QUIETMON_RESOLVE(drain, out123_drain) &&
               QUIETMON_RESOLVE(stop, out123_stop);
#undef QUIETMON_RESOLVE
    }
};

// The two loaded libraries and what was found in them; unloaded when the player and every playback thread
// left to end on its own have let go of them.
struct Mpg123Library::Libraries {
    void* decoder = nullptr;
    void* output = nullptr;
    Functions api;

    Libraries() = default;
    Libraries(const Libraries&) = delete;
    Libraries& operator=(const Libraries&) = delete;
    ~Libraries() {
        if (decoder)
            ::dlclose(decoder);
        if (output)
            ::dlclose(output);
    }
};

// One play of the open file, from the output's start to its close, shared by the player and the thread
// that runs it. The thread owns the output. It borrows the player's decoder, unless the player left it to
// end on its own: then the decoder is the thread's too, and the thread closes and deletes it at its end.
class Mpg123Library::Playback {
public:
    Playback(std::shared_ptr<const Libraries> libraries, mpg123_handle* decoder, out123_handle* output,
             long rate, int channels, int encoding)
        : m_libraries(std::move(libraries)), m_api(m_libraries->api), m_decoder(decoder), m_output(output),
          m_rate(rate), m_channels(channels), m_encoding(encoding) {}

    // The thread's body: decodes into the output until the file's end (whose sound is then heard to its
    // end), a stop or a failed output; then closes the output.
    void run() {
        const bool played = decodeToOutput();
        if (played && !m_stopRequested)
            m_api.drain(m_output);
        if (m_stopRequested)
            m_api.drop(m_output);
        m_api.deleteOutput(m_output); // closes it first
        const std::lock_guard lock(m_mutex);
        if (m_ownsDecoder) {
            m_api.closeFile(m_decoder);
            m_api.deleteDecoder(m_decoder);
        }
        m_mode = played && !m_stopRequested ? Mp3PlayerMode::Ended : Mp3PlayerMode::Stopped;
        m_finished = true;
        m_changed.notify_all();
    }

    Mp3PlayerMode mode() const { return m_mode; }

    // Asks the thread to stop and waits up to `timeout` for it to end. True when it ended; false when it
    // is still held by the sound server, in which case the decoder is now the thread's own.
    bool stopOrLeave(std::chrono::milliseconds timeout) {
        m_stopRequested = true;
        std::unique_lock lock(m_mutex);
        if (m_changed.wait_for(lock, timeout, [this] { return m_finished; }))
            return true;
        m_ownsDecoder = true;
        return false;
    }

private:
    // True at the end of the file, or of what could be decoded of it.
    bool decodeToOutput() {
        std::vector<unsigned char> buffer(m_api.outblock(m_decoder));
        int emptyReads = 0;
        while (!m_stopRequested) {
            std::size_t decoded = 0;
            const int result = m_api.read(m_decoder, buffer.data(), buffer.size(), &decoded);
            if (decoded > 0 && !writeAll(buffer.data(), decoded))
                return false;
            if (result == MPG123_NEW_FORMAT) {
                if (!followFormatChange())
                    return false;
                continue;
            }
            emptyReads = decoded > 0 ? 0 : emptyReads + 1;
            if (result != MPG123_OK || emptyReads > maxEmptyReads)
                return true;
        }
        return false;
    }

    // Hands all of `data` to the output; false on a stop request or a failed output.
    bool writeAll(unsigned char* data, std::size_t size) {
        while (size > 0) {
            if (m_stopRequested)
                return false;
            const std::size_t written = m_api.play(m_output, data, size);
            if (written == 0)
                return false; // the sound server went away
            data += written;
            size -= written;
        }
        return true;
    }

    // A stream whose sample rate or channels change mid-file needs the output started again.
    bool followFormatChange() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (m_api.getFormat(m_decoder, &rate, &channels, &encoding) != MPG123_OK)
            return false;
        if (rate == m_rate && channels == m_channels && encoding == m_encoding)
            return true;
        m_rate = rate;
        m_channels = channels;
        m_encoding = encoding;
        m_api.stop(m_output);
        return m_api.start(m_output, m_rate, m_channels, m_encoding) == 0;
    }

    std::shared_ptr<const Libraries> m_libraries; // loaded for as long as the thread runs
    const Functions& m_api;
    mpg123_handle* m_decoder;
    out123_handle* m_output;
    long m_rate;
    int m_channels;
    int m_encoding;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<Mp3PlayerMode> m_mode{Mp3PlayerMode::Playing};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;    // guarded by m_mutex
    bool m_ownsDecoder = false; // guarded by m_mutex
};

Mpg123Library::Mpg123Library() = default;

Mpg123Library::~Mpg123Library() {
    deinitialise();
}

bool Mpg123Library::load() {
    if (m_libraries)
        return true;
    auto libraries = std::make_shared<Libraries>();
    libraries->decoder = ::dlopen(decoderLibraryName, RTLD_NOW | RTLD_LOCAL);
    libraries->output = ::dlopen(outputLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!libraries->decoder || !libraries->output ||
        !libraries->api.Mpg123Functions::resolve(libraries->decoder) ||
        !libraries->api.resolveOutput(libraries->output))
        return false;
    m_libraries = std::move(libraries);
    return true;
}

bool Mpg123Library::initialise() {
    if (!m_libraries || m_initialised)
        return false;
    if (m_libraries->api.init() != MPG123_OK)
        return false;
    m_initialised = true;
    m_decoder = newDecoder();
    if (!m_decoder) {
        deinitialise();
        return false;
    }
    return true;
}

mpg123_handle* Mpg123Library::newDecoder() const {
    const Functions& api = m_libraries->api;
    mpg123_handle* decoder = api.newDecoder(nullptr, nullptr);
    if (!decoder)
        return nullptr;
    // Nothing of the player is ever reported, least of all on the program's standard error.
    api.decoderParam(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // 16-bit samples at the file's own rate: what every sound server and card takes.
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    api.rates(&rates, &rateCount);
    api.formatNone(decoder);
    for (std::size_t i = 0; i < rateCount; ++i)
        api.format(decoder, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return decoder;
}

bool Mpg123Library::deinitialise() {
    if (!m_libraries || !m_initialised)
        return false;
    close();
    if (m_decoder)
        m_libraries->api.deleteDecoder(m_decoder);
    m_decoder = nullptr;
    m_initialised = false;
    m_libraries->api.exit();
    return true;
}

bool Mpg123Library::open(const std::string& file) {
    if (!m_decoder)
        return false;
    close();
    if (m_libraries->api.openFile(m_decoder, file.c_str()) != MPG123_OK)
        return false;
    m_fileOpen = true;
    m_mode = Mp3PlayerMode::Stopped;
    return true;
}

bool Mpg123Library::play() {
    if (!m_fileOpen || m_playback)
        return false;
    const Functions& api = m_libraries->api;
    // Reads the first frames: a file with none is not started.
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (api.getFormat(m_decoder, &rate, &channels, &encoding) != MPG123_OK)
        return false;
    out123_handle* output = api.newOutput();
    if (!output)
        return false;
    api.outputParam(output, OUT123_ADD_FLAGS, OUT123_QUIET, 0.0, nullptr);
    if (api.openOutput(output, outputDrivers, nullptr) != 0 ||
        api.start(output, rate, channels, encoding) != 0) {
        api.deleteOutput(output);
        return false;
    }
    m_playback = std::make_shared<Playback>(m_libraries, m_decoder, output, rate, channels, encoding);
    m_playbackThread = std::thread([playback = m_playback] { playback->run(); });
    return true;
}

void Mpg123Library::endPlayback() {
    if (!m_playback)
        return;
    if (m_playback->stopOrLeave(std::chrono::milliseconds(stopWaitMs))) {
        m_playbackThread.join();
    } else {
        // Held by the sound server: the thread keeps the decoder with its file and ends whenever the server
        // lets it. The player carries on with a new decoder and no file open.
        m_playbackThread.detach();
        m_decoder = newDecoder();
        m_fileOpen = false;
    }
    m_playback.reset();
}

bool Mpg123Library::stop() {
    if (!m_fileOpen)
        return false;
    endPlayback();
    m_mode = Mp3PlayerMode::Stopped;
    return true;
}

bool Mpg123Library::close() {
    if (!m_initialised)
        return false;
    endPlayback();
    if (m_fileOpen)
        m_libraries->api.closeFile(m_decoder);
    m_fileOpen = false;
    m_mode = Mp3PlayerMode::NothingOpen;
    return true;
}

Mp3PlayerMode Mpg123Library::mode() {
    return m_playback ? m_playback->mode() : m_mode;
}

} // namespace quietmon
