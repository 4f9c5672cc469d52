#include "platform/linux/FfmpegRecordings.h"

#include "platform/linux/FfmpegAudioDecoder.h"
#include "platform/linux/Mpg123FrameDecoder.h"
#include "support/TempFolder.h"

#include <cmath>
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

// An MP3 stream's own decoder, libmpg123, gives what libavcodec gives: the level to a hundredth of a dB and
// the length to two MP3 frames, for other rates and for mono too.
TEST(FfmpegRecordingsTest, Libmpg123DecodesAnMp3AsLibavcodecDoes) {
    ASSERT_NE(Mpg123FrameDecoder::create(), nullptr) << "libmpg123 is installed here";
    test::TempFolder folder;
    struct Decoded {
        double frames = 0;
        double rmsDb = 0;
    };
    const auto decode = [](const std::string& path, bool byMpg123) {
        FfmpegAudioDecoder decoder(44100, 2);
        FfmpegAudioDecoder::Options options;
        options.protocols = "file";
        options.mp3ByMpg123 = byMpg123;
        EXPECT_EQ(decoder.open(path, options, ffmpegErrorText), "");
        std::vector<std::int16_t> samples;
        AVPacket* packet = av_packet_alloc();
        while (decoder.readPacket(*packet) >= 0) {
            EXPECT_TRUE(decoder.decode(*packet, samples));
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
        // The middle second, away from the edges where the two differ by the encoder's delay.
        double sum = 0;
        const std::size_t middle = samples.size() / 2;
        for (std::size_t i = middle; i < middle + 88200 && i < samples.size(); ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        return Decoded{static_cast<double>(samples.size() / 2),
                       10 * std::log10(sum / 88200 / (32768.0 * 32768.0))};
    };
    for (const auto& [rate, channels] : {std::pair{44100, 2}, {48000, 2}, {22050, 1}}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channel(s)");
        const std::string path = folder.file("tone" + std::to_string(rate) + ".mp3");
        const std::string make =
            "ffmpeg -nostdin -loglevel error -f lavfi -i 'sine=frequency=1000:duration=4:"
            "sample_rate=" +
            std::to_string(rate) + "' -ac " + std::to_string(channels) + " " + path + " -y";
        ASSERT_EQ(std::system(make.c_str()), 0);
        const Decoded libavcodec = decode(path, false);
        const Decoded libmpg123 = decode(path, true);
        // libavcodec trims the encoder's delay and padding, at most two MP3 frames at the file's rate.
        const double twoFrames = 2 * 1152.0 * 44100 / rate;
        EXPECT_NEAR(libavcodec.frames, 4 * 44100, twoFrames);
        EXPECT_NEAR(libmpg123.frames, libavcodec.frames, twoFrames);
        EXPECT_NEAR(libmpg123.rmsDb, libavcodec.rmsDb, 0.01);
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
