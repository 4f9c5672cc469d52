#pragma once

#include <dlfcn.h>
#include <mpg123.h>

// The headers map some names onto versioned symbols (mpg123_param is mpg123_param2): the symbol looked
// up is the name after that mapping.
#define QUIETMON_SYMBOL_TEXT(name) #name
#define QUIETMON_SYMBOL_NAME(function) QUIETMON_SYMBOL_TEXT(function)

namespace quietmon {

// Looks `name` up in `library`, a handle of dlopen; whether it was found.
template <typename Function> bool resolveSymbol(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// The functions of libmpg123 the program calls, looked up in the library loaded at run time (by the
// built-in player and by the MP3 stream decoder), so that a computer without it still runs the program.
struct Mpg123Functions {
    decltype(&mpg123_init) init = nullptr;
    decltype(&mpg123_exit) exit = nullptr;
    decltype(&mpg123_new) newDecoder = nullptr;
    decltype(&mpg123_delete) deleteDecoder = nullptr;
    decltype(&mpg123_param) decoderParam = nullptr;
    decltype(&mpg123_rates) rates = nullptr;
    decltype(&mpg123_format_none) formatNone = nullptr;
    decltype(&mpg123_format) format = nullptr;
    decltype(&mpg123_getformat) getFormat = nullptr;
    // A file, for the player.
    decltype(&mpg123_open) openFile = nullptr;
    decltype(&mpg123_close) closeFile = nullptr;
    decltype(&mpg123_outblock) outblock = nullptr;
    decltype(&mpg123_read) read = nullptr;
    // Bytes fed in, for a stream.
    decltype(&mpg123_open_feed) openFeed = nullptr;
    decltype(&mpg123_feed) feed = nullptr;
    decltype(&mpg123_decode_frame) decodeFrame = nullptr;

    // Whether every one was found in `library`, a handle of dlopen.
    bool resolve(void* library);
};

} // namespace quietmon
