#include "platform/linux/OpusClipEncoder.h"

#include <memory>
#include <opusenc.h>

namespace quietmon {
namespace {

int appendPage(void* file, const unsigned char* bytes, opus_int32 length) {
    static_cast<std::string*>(file)->append(reinterpret_cast<const char*>(bytes),
                                            static_cast<std::size_t>(length));
    return 0;
}

int closeNothing(void*) {
    return 0;
}

} // namespace

std::string OpusClipEncoder::encode(std::span<const std::int16_t> frames, int framesPerSecond,
                                    std::string& failure) {
    std::string file;
    if (frames.size() < 2) {
        failure = "no sound was captured";
        return file;
    }
    const std::unique_ptr<OggOpusComments, decltype(&ope_comments_destroy)> comments(ope_comments_create(),
                                                                                     ope_comments_destroy);
    if (!comments) {
        failure = "out of memory";
        return file;
    }
    OpusEncCallbacks callbacks{appendPage, closeNothing};
    int error = OPE_OK;
    const std::unique_ptr<OggOpusEnc, decltype(&ope_encoder_destroy)> encoder(
        ope_encoder_create_callbacks(&callbacks, &file, comments.get(), framesPerSecond, 2, 0, &error),
        ope_encoder_destroy);
    if (!encoder || error != OPE_OK) {
        failure = ope_strerror(error);
        return {};
    }
    if ((error = ope_encoder_ctl(encoder.get(), OPUS_SET_BITRATE(bitsPerSecond))) != OPE_OK ||
        (error = ope_encoder_write(encoder.get(), frames.data(), static_cast<int>(frames.size() / 2))) !=
            OPE_OK ||
        (error = ope_encoder_drain(encoder.get())) != OPE_OK) {
        failure = ope_strerror(error);
        return {};
    }
    return file;
}

} // namespace quietmon
