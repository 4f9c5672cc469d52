#pragma once

#include "platform/Mp3Library.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

struct mpg123_handle_struct;
struct out123_struct;

namespace quietmon {

// libmpg123 decoding into libout123's output, both loaded at run time by their library names, so that a
// computer without them still runs the program, only without a built-in player. The output tries the
// PulseAudio driver, then ALSA: left to choose by itself, libout123 can try a driver that hangs when no
// sound server answers. The output is opened at each play, so a sound server that starts after the
// program is found at the first play. Decoding and output run on a thread of the player's own; the
// calling thread touches the handles only while that thread is not running.
class Mpg123Library final : public Mp3Library {
public:
    Mpg123Library();
    ~Mpg123Library() override;
    Mpg123Library(const Mpg123Library&) = delete;
    Mpg123Library& operator=(const Mpg123Library&) = delete;

    bool load() override;
    bool initialise() override;
    bool deinitialise() override;
    bool open(const std::string& file) override;
    bool play() override;
    bool stop() override;
    bool close() override;
    Mp3PlayerMode mode() override { return m_mode; }

private:
    struct Functions;

    void unload();
    // The playback thread: decodes the open file into the output until its end, a stop or a failure.
    void decodeAndPlay();
    // Hands all of `data` to the output; false on a stop request or a failed output.
    bool writeAll(unsigned char* data, std::size_t size);
    // A stream whose sample rate or channels change mid-file needs the output started again.
    bool followFormatChange();
    // Ends the playback thread, drops what the output still holds and closes the output.
    void endPlayback();

    void* m_decoderLibrary = nullptr;
    void* m_outputLibrary = nullptr;
    std::unique_ptr<Functions> m_api;
    mpg123_handle_struct* m_decoder = nullptr;
    out123_struct* m_output = nullptr;
    bool m_fileOpen = false;
    bool m_outputOpen = false;
    long m_rate = 0;
    int m_channels = 0;
    int m_encoding = 0;
    std::thread m_playback;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<Mp3PlayerMode> m_mode{Mp3PlayerMode::NothingOpen};
};

} // namespace quietmon
