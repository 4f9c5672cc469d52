#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

extern "C" {
#include <libavutil/frame.h>
}

struct mpg123_handle_struct;

namespace quietmon {

struct Mpg123Functions;

// MP3 frames decoded by libmpg123, which costs about 60 % of what libavcodec's MP3 decoder does: a
// stream is decoded for as long as the monitor runs. Like the built-in player's, the library is loaded
// at run time; without it there is no such decoder and libavcodec decodes.
class Mpg123FrameDecoder {
public:
    // Null when libmpg123 cannot be loaded or makes no decoder.
    static std::unique_ptr<Mpg123FrameDecoder> create();

    ~Mpg123FrameDecoder();
    Mpg123FrameDecoder(const Mpg123FrameDecoder&) = delete;
    Mpg123FrameDecoder& operator=(const Mpg123FrameDecoder&) = delete;

    // Decodes the bytes of one or more MP3 frames and hands each decoded frame, 16-bit interleaved at the
    // stream's own rate and channels, to `onFrame`; false when the decoder failed or `onFrame` refused.
    // A damaged frame is skipped by the decoder, as libavcodec's does.
    bool decode(std::span<const std::uint8_t> bytes, const std::function<bool(AVFrame& frame)>& onFrame);

private:
    Mpg123FrameDecoder(const Mpg123Functions& api, mpg123_handle_struct* handle);

    const Mpg123Functions& m_api;
    mpg123_handle_struct* m_handle;
    AVFrame* m_frame;
    long m_rate = 0;
    int m_channels = 0;
};

} // namespace quietmon
