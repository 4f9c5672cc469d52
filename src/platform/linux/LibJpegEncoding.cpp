#include "platform/linux/LibJpegEncoding.h"

// jpeglib.h uses FILE and size_t without including their headers.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <csetjmp>
#include <cstdlib>

namespace quietmon {

namespace {

// libjpeg's own error handler ends the process; this one jumps back to the encoder instead. The output
// buffer lives here too, so that it is still known after the jump.
struct EncoderErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
};

[[noreturn]] void onEncoderError(j_common_ptr encoder) {
    std::longjmp(reinterpret_cast<EncoderErrors*>(encoder->err)->jump, 1);
}

// Warnings would go to standard error; the task reports nothing.
void dropMessage(j_common_ptr) {}

// Plain C between setjmp and longjmp: nothing here has a destructor that the jump could skip.
bool compress(const ScreenImage& image, int quality, jpeg_compress_struct& encoder, EncoderErrors& errors) {
    encoder.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onEncoderError;
    errors.manager.output_message = dropMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&encoder);
        return false;
    }
    jpeg_create_compress(&encoder);
    jpeg_mem_dest(&encoder, &errors.output, &errors.outputSize);
    encoder.image_width = static_cast<JDIMENSION>(image.width);
    encoder.image_height = static_cast<JDIMENSION>(image.height);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE); // baseline tables
    encoder.dct_method = JDCT_ISLOW;           // the most exact transform
    encoder.optimize_coding = TRUE;
    jpeg_start_compress(&encoder, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.rgb.data() + encoder.next_scanline * rowBytes);
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    return true;
}

} // namespace

std::optional<std::string> LibJpegEncoder::encode(const ScreenImage& image, int quality) {
    if (image.width < 0 || image.height < 0 ||
        image.rgb.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3)
        return std::nullopt;
    jpeg_compress_struct encoder{};
    EncoderErrors errors;
    const bool encoded = compress(image, quality, encoder, errors);
    std::optional<std::string> jpeg;
    if (encoded)
        jpeg.emplace(reinterpret_cast<const char*>(errors.output), errors.outputSize);
    std::free(errors.output);
    return jpeg;
}

} // namespace quietmon
