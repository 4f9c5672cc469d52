#include "platform/linux/Mpg123Functions.h"

namespace quietmon {

bool Mpg123Functions::resolve(void* library) {
#define QUIETMON_RESOLVE(member, function) resolveSymbol(library, QUIETMON_SYMBOL_NAME(function), member)
    return QUIETMON_RESOLVE(init, mpg123_init) && QUIETMON_RESOLVE(exit, mpg123_exit) &&
           QUIETMON_RESOLVE(newDecoder, mpg123_new) && QUIETMON_RESOLVE(deleteDecoder, mpg123_delete) &&
           QUIETMON_RESOLVE(decoderParam, mpg123_param) && QUIETMON_RESOLVE(rates, mpg123_rates) &&
           QUIETMON_RESOLVE(formatNone, mpg123_format_none) && QUIETMON_RESOLVE(format, mpg123_format) &&
           QUIETMON_RESOLVE(getFormat, mpg123_getformat) && QUIETMON_RESOLVE(openFile, mpg123_open) &&
           QUIETMON_RESOLVE(closeFile, mpg123_close) && QUIETMON_RESOLVE(outblock, mpg123_outblock) &&
           QUIETMON_RESOLVE(read, mpg123_read) && QUIETMON_RESOLVE(openFeed, mpg123_open_feed) &&
           QUIETMON_RESOLVE(feed, mpg123_feed) && QUIETMON_RESOLVE(decodeFrame, mpg123_decode_frame);
#undef QUIETMON_RESOLVE
}

} // namespace quietmon
