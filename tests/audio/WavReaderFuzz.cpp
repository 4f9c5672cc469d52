// Feeds arbitrary bytes to the recording reader and reads every frame it offers.
#include "audio/WavReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* stream = ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!stream)
        return 0;
    quietmon::WavReader reader;
    std::string error;
    if (!reader.open(stream, "input", error)) {
        if (error.empty())
            std::abort(); // every refusal says why
        return 0;
    }
    std::vector<std::uint8_t> frames;
    std::size_t total = 0;
    for (std::size_t got; (got = reader.readStereo(5512, frames)) > 0;) {
        total += got;
        if (frames.size() != total * 4)
            std::abort();
    }
    if (total > reader.frames())
        std::abort();
    return 0;
}
