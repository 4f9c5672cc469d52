#pragma once

#include "platform/RecordingDecoder.h"

namespace quietmon {

// Local recordings in any format libavformat opens (MP3, FLAC, Ogg, AAC/M4A, WAV of any sample format),
// decoded and resampled as a network stream is, to 44100 Hz stereo. Only local files are read.
//
// A long recording in a codec whose decoder forgets what it decoded a few packets back (MPEG audio,
// FLAC, PCM) is decoded in pieces of about ten seconds on `decodingThreads` threads at once. Each piece
// is decoded from a lead-in of the packets before it, whose output is thrown away: by the piece's first
// packet the decoder's state (bit reservoir, filter bank overlap) is the one a decoder that read the
// whole recording has there, so every sample equals the single decoder's. The samples are resampled in
// order by one resampler, whose state then runs on unbroken too. Other codecs are decoded by one.
class FfmpegRecordings final : public RecordingDecoder {
public:
    explicit FfmpegRecordings(int decodingThreads);

    std::unique_ptr<RecordingReader> open(const std::string& path, std::string& error) override;

    // The processor count, at least one.
    static int processorCount();

private:
    int m_decodingThreads;
};

} // namespace quietmon
