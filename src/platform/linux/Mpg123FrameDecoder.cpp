#include "platform/linux/Mpg123FrameDecoder.h"

#include "platform/linux/Mpg123Functions.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace quietmon {

namespace {

// Loaded once, on first use, and kept for the program's life; null when it cannot be.
const Mpg123Functions* loadedFunctions() {
    static const Mpg123Functions* const functions = [] {
        static Mpg123Functions loaded;
        void* library = ::dlopen("libmpg123.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return static_cast<const Mpg123Functions*>(nullptr);
        if (!loaded.resolve(library) || loaded.init() != MPG123_OK) {
            ::dlclose(library);
            return static_cast<const Mpg123Functions*>(nullptr);
        }
        return static_cast<const Mpg123Functions*>(&loaded);
    }();
    return functions;
}

} // namespace

std::unique_ptr<Mpg123FrameDecoder> Mpg123FrameDecoder::create() {
    const Mpg123Functions* api = loadedFunctions();
    if (!api)
        return nullptr;
    mpg123_handle* handle = api->newDecoder(nullptr, nullptr);
    if (!handle)
        return nullptr;
    // Every rate in 16-bit at the stream's own channels: the resampler makes the rest.
    bool ready = api->decoderParam(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
                 api->formatNone(handle) == MPG123_OK;
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    api->rates(&rates, &rateCount);
    for (std::size_t i = 0; ready && i < rateCount; ++i)
        ready = api->format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
    if (!ready || api->openFeed(handle) != MPG123_OK) {
        api->deleteDecoder(handle);
        return nullptr;
    }
    return std::unique_ptr<Mpg123FrameDecoder>(new Mpg123FrameDecoder(*api, handle));
}

Mpg123FrameDecoder::Mpg123FrameDecoder(const Mpg123Functions& api, mpg123_handle* handle)
    : m_api(api), m_handle(handle), m_frame(av_frame_alloc()) {}

Mpg123FrameDecoder::~Mpg123FrameDecoder() {
    m_api.deleteDecoder(m_handle);
    av_frame_free(&m_frame);
}

bool Mpg123FrameDecoder::decode(std::span<const std::uint8_t> bytes,
                                const std::function<bool(AVFrame& frame)>& onFrame) {
    if (!m_frame || m_api.feed(m_handle, bytes.data(), bytes.size()) != MPG123_OK)
        return false;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t size = 0;
        const int result = m_api.decodeFrame(m_handle, &frameNumber, &audio, &size);
        if (result == MPG123_NEED_MORE)
            return true;
        if (result == MPG123_NEW_FORMAT) {
            int encoding = 0;
            if (m_api.getFormat(m_handle, &m_rate, &m_channels, &encoding) != MPG123_OK)
                return false;
            continue;
        }
        if (result != MPG123_OK)
            return false;
        if (size == 0 || m_channels < 1)
            continue;
        // The frame only points at the decoder's own output, which stays until the next call.
        m_frame->format = AV_SAMPLE_FMT_S16;
        m_frame->sample_rate = static_cast<int>(m_rate);
        av_channel_layout_uninit(&m_frame->ch_layout);
        av_channel_layout_default(&m_frame->ch_layout, m_channels);
        m_frame->nb_samples =
            static_cast<int>(size / (sizeof(std::int16_t) * static_cast<std::size_t>(m_channels)));
        m_frame->data[0] = audio;
        m_frame->extended_data = m_frame->data;
        m_frame->linesize[0] = static_cast<int>(size);
        if (!onFrame(*m_frame))
            return false;
    }
}

} // namespace quietmon
