#include "platform/linux/FfmpegRecordings.h"

#include "support/TempFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace quietmon {
namespace {

// Every sample of a recording as the reader gives it.
std::vector<std::uint8_t> decodeWhole(RecordingDecoder& decoder, const std::string& path) {
    std::string error;
    const std::unique_ptr<RecordingReader> reader = decoder.open(path, error);
    EXPECT_NE(reader, nullptr) << error;
    std::vector<std::uint8_t> samples;
    while (reader && reader->readStereo(5512, samples) == 5512) {
    }
    return samples;
}

// Decoded in pieces of about ten seconds on several threads, a recording gives the very samples one
// decoder gives; the silence from 8 s to 23 s straddles the cuts near 10 s and 20 s, and the tone
// after it the cut near 30 s.
TEST(FfmpegRecordingsTest, DecodingInPiecesGivesTheSamplesOfOneDecoder) {
    test::TempFolder folder;
    const std::string source = folder.file("source.wav");
    const std::string make =
        "ffmpeg -nostdin -loglevel error -f lavfi -i 'sine=frequency=1000:duration=8' -f lavfi "
        "-i 'anullsrc=r=44100:cl=stereo:d=15' -f lavfi -i 'sine=frequency=440:duration=22' "
        "-filter_complex '[0]aformat=channel_layouts=stereo[a];[2]aformat=channel_layouts="
        "stereo[c];[a][1][c]concat=n=3:v=0:a=1' -ar 44100 " +
        source;
    ASSERT_EQ(std::system(make.c_str()), 0);
    for (const char* format : {"mp3", "flac", "wav"}) {
        SCOPED_TRACE(format);
        const std::string encoded = folder.file(std::string("story.") + format);
        const std::string encode = std::string("ffmpeg -nostdin -loglevel error -i ") + source +
                                   (std::string(format) == "wav" ? " -c:a pcm_f32le " : " ") + encoded +
                                   " -y";
        ASSERT_EQ(std::system(encode.c_str()), 0);
        FfmpegRecordings oneDecoder(1);
        FfmpegRecordings threeThreads(3);
        const std::vector<std::uint8_t> whole = decodeWhole(oneDecoder, encoded);
        EXPECT_GT(whole.size(), 44100u * 4 * 44);
        EXPECT_TRUE(whole == decodeWhole(threeThreads, encoded));
    }
}

TEST(FfmpegRecordingsTest, AFileWithoutAudioIsRefusedWithTheReason) {
    test::TempFolder folder;
    const std::string text = folder.file("notes.mp3");
    test::writeWholeFile(text, "not audio at all\n");
    FfmpegRecordings decoder(2);
    std::string error;
    EXPECT_EQ(decoder.open(text, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(decoder.open(folder.file("missing:name.mp3"), error), nullptr);
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace
} // namespace quietmon
