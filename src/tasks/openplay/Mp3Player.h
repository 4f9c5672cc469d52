#pragma once

#include "platform/Mp3Library.h"

#include <string>

namespace quietmon {

// A thin wrapper over the mp3 library that turns each failed operation into an exception with the
// player's error text. Its callers drop every one of them: nothing of the player is ever shown or logged.
class Mp3Player {
public:
    explicit Mp3Player(Mp3Library& library) : m_library(library) {}

    // Loads and initialises the library: "Can't load MPEG library", "Can't initialize MPEG library".
    void initialise();
    // "Can't deinitialize MPEG library".
    void deinitialise();
    bool initialised() const { return m_initialised; }

    void setFileName(std::string fileName) { m_fileName = std::move(fileName); }
    // "Can't play non-specified stream" without a file name; "Incorrect mode" when it cannot be opened.
    void open();
    // Starts the open file; returns while it plays. "MPEG library not initialized" when it cannot start.
    void play();
    // "Incorrect mode" when they fail.
    void stop();
    void close();
    Mp3PlayerMode mode();

private:
    // "MPEG library not loaded" or "MPEG library not initialized" unless the library is ready.
    void requireInitialised() const;

    Mp3Library& m_library;
    std::string m_fileName;
    bool m_loaded = false;
    bool m_initialised = false;
};

} // namespace quietmon
