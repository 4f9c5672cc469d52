#pragma once

#include <string>

namespace quietmon {

// What the built-in mp3 player reports of itself.
enum class Mp3PlayerMode {
    NothingOpen = 0,
    Ended = 1,   // a file is open and was played to its end (or as far as it could be decoded)
    Stopped = 2, // a file is open and not playing: not started yet, stopped, or its sound output failed
    Playing = 3,
};

// An mp3 decoder with its sound output: one file at a time, decoded and played on a thread of its own. The
// logic thread only opens, starts, stops and asks the mode; every call returns without waiting for the
// sound. Each operation says whether it succeeded.
class Mp3Library {
public:
    virtual ~Mp3Library() = default;
    // Finds the libraries and every operation in them; false when any is missing.
    virtual bool load() = 0;
    virtual bool initialise() = 0;
    virtual bool deinitialise() = 0;
    // Opens a file by name (relative names from the current folder), closing any file open before.
    virtual bool open(const std::string& file) = 0;
    // Opens the sound output and starts playing the open file from its beginning; returns while it plays.
    // A sound server that cannot be reached now is a failed play, not a broken library.
    virtual bool play() = 0;
    // Ends the sound at once; the file stays open. Returns within half a second, whatever the sound server
    // does: it runs on the logic thread.
    virtual bool stop() = 0;
    // Stops, closes the sound output and the file; as quick as a stop.
    virtual bool close() = 0;
    virtual Mp3PlayerMode mode() = 0;
};

} // namespace quietmon
