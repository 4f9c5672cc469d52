#pragma once

#include "platform/Mp3Library.h"

#include <memory>
#include <string>
#include <thread>

struct mpg123_handle_struct;

namespace quietmon {

// libmpg123 decoding into libout123's output, both loaded at run time by their library names, so that a
// computer without them still runs the program, only without a built-in player. The output tries the
// PulseAudio driver, then ALSA: left to choose by itself, libout123 can try a driver that hangs when no
// sound server answers. The output is opened at each play, so a sound server that starts after the
// program is found at the first play.
//
// Each play decodes and writes on a thread of its own (`Playback`), which owns the output from the start
// and closes it itself. The sound server can hold that thread in a write or in the end-of-file drain for as
// long as it likes (a stalled or frozen server: without end), and nothing interrupts those calls. So a stop
// or a close waits at most `stopWaitMs` for the thread to end; after that the thread is left to end on its
// own, with the decoder it reads from and the loaded libraries kept for it, and the player goes on with a
// decoder of its own. The calling thread never touches a handle a playback thread may use. So a stop that
// comes during the drain returns in time, while the end of the file, up to the server's buffer (about 2 s
// on a desktop), may still be heard.
class Mpg123Library final : public Mp3Library {
public:
    static constexpr int stopWaitMs = 300;

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
    Mp3PlayerMode mode() override;

private:
    struct Functions;
    struct Libraries;
    class Playback;

    // A decoder set up for the player's output format; null when the library cannot make one.
    mpg123_handle_struct* newDecoder() const;
    // Ends the playback thread, or leaves it to end on its own after `stopWaitMs`; the output is closed
    // either way, by that thread.
    void endPlayback();

    std::shared_ptr<const Libraries> m_libraries;
    bool m_initialised = false;
    mpg123_handle_struct* m_decoder = nullptr;
    bool m_fileOpen = false;
    Mp3PlayerMode m_mode = Mp3PlayerMode::NothingOpen; // while no playback is running
    std::shared_ptr<Playback> m_playback;
    std::thread m_playbackThread;
};

} // namespace quietmon
