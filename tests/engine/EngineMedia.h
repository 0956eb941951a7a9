// Clips for the engine tests and what ffmpeg's own tools say about them: the
// shared test media (tools/make_test_media.sh), a few files that are not
// playable video, every clip's frame count as ffprobe counts it and its
// frames as ffmpeg decodes them, in the engine's pixel layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::engine_test {

// The folder holding the clips, made on first use (once per build tree;
// several test processes may ask at once). OSTREL_TEST_MEDIA names a folder
// where the clips already are.
const std::string& mediaDir();
std::string mediaPath(const std::string& name);

// A fresh empty folder for one test's own files.
std::string makeScratchDir();

// Frames of the clip's first video stream as ffprobe counts them by decoding.
int countFrames(const std::string& path);

// When each video frame starts, in 100 ns units after the first frame (where
// the engine's clock starts), rounded up to the next unit: the first time at
// which the frame is the one on show.
std::vector<std::int64_t> frameStarts(const std::string& name);

// Every frame of the clip as ffmpeg decodes it, 32-bit B, G, R, X per pixel,
// rows packed (width * 4 bytes).
struct DecodedClip {
    int width = 0;
    int height = 0;
    std::vector<std::vector<std::uint8_t>> frames;
};
const DecodedClip& decodeClip(const std::string& name);
// The same, scaled by ffmpeg to width x height.
const DecodedClip& decodeClipScaled(const std::string& name, int width, int height);

// Pixel comparison over the three colour bytes of each pixel; the fourth is
// ignored. `stride` is the byte distance between rows of `picture`.
double meanSquaredError(const std::uint8_t* picture, int stride,
                        const std::vector<std::uint8_t>& reference, int width, int height);
// Peak signal-to-noise ratio in dB (infinity for identical pictures).
double psnr(const std::uint8_t* picture, int stride, const std::vector<std::uint8_t>& reference,
            int width, int height);

// The peak absolute sample of 16-bit PCM data, and its sample count.
struct PcmPeak {
    int peak = -1;
    std::size_t samples = 0;
};
// Of the data of a 16-bit PCM WAV file from its byte `from` on (-1 when the
// file is not 16-bit PCM WAV).
PcmPeak wavPeak(const std::string& path, std::size_t from = 0);

// What the engine plays: the tests' process sends it to a WAV file (the null
// output, at real-time pace). A capture marks how far the file is written
// and reads back what was played after that.
class PcmCapture {
public:
    PcmCapture();
    PcmPeak played() const;

private:
    std::size_t from_ = 0;
};

}  // namespace ostrel::engine_test
