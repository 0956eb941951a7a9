// The media engine against real clips: what it opens and refuses, that it
// hands over every frame of a clip in order with ffmpeg's pixels, at the
// clip's pace, that exact seeks land on the frame covering the time in every
// container, and that stopping keeps the position.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "EngineMedia.h"
#include "platform/qt/media/MediaEngine.h"

namespace ostrel::engine_test {
namespace {

using platform::kEndOfStream;
using platform::kFail;
using platform::kOk;
using platform::Status;
using platform::qt::media::kNotRunning;
using platform::qt::media::MediaEngine;
using Clock = std::chrono::steady_clock;

// The clips are 3 s at 25 frames per second; times are in 100 ns units.
constexpr std::int64_t kFrameTime = 400000;
constexpr std::int64_t kClipTime = 30000000;
constexpr int kClipFrames = 75;

// A picture with room to spare at the end of each row; the spare bytes must
// never be written.
struct Picture {
    static constexpr std::uint8_t kSpare = 0xA5;
    int width;
    int height;
    int stride;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h)
        : width(w),
          height(h),
          stride(w * 4 + 64),
          bytes(static_cast<std::size_t>(stride) * h, kSpare) {}

    Status update(MediaEngine& engine) {
        return engine.updateFrame(bytes.data(), stride, width, height);
    }
    bool sparesUntouched() const {
        for (int y = 0; y < height; ++y) {
            const auto* row = bytes.data() + static_cast<std::size_t>(y) * stride;
            if (std::any_of(row + width * 4, row + stride, [](auto b) { return b != kSpare; })) {
                return false;
            }
        }
        return true;
    }
    double psnrTo(const std::vector<std::uint8_t>& reference) const {
        return psnr(bytes.data(), stride, reference, width, height);
    }
    double mseTo(const std::vector<std::uint8_t>& reference) const {
        return meanSquaredError(bytes.data(), stride, reference, width, height);
    }
};

struct ClipCase {
    const char* name;
    bool lossless;
    bool audio;
};

void PrintTo(const ClipCase& c, std::ostream* out) {
    *out << c.name;
}

std::string clipName(const ::testing::TestParamInfo<ClipCase>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

const ClipCase kEveryClip[] = {
    {"clip-rawvideo.avi", true, true}, {"clip-mjpeg.avi", false, true},
    {"clip-mpeg4.avi", false, true},   {"clip-msmpeg4v2.avi", false, true},
    {"clip-cinepak.avi", false, true}, {"clip.mpg", false, true},
    {"clip.dat", false, true},         {"clip-mjpeg-noaudio.avi", false, false},
};

// Checks that `picture` shows frame `k` of the decoded clip: byte for byte
// for a lossless clip, otherwise above 40 dB and nearer to frame k than to
// either neighbour (so an off-by-one cannot pass for a match).
::testing::AssertionResult showsFrame(const Picture& picture, const DecodedClip& clip, int k,
                                      bool lossless) {
    if (k < 0 || k >= static_cast<int>(clip.frames.size())) {
        return ::testing::AssertionFailure() << "no reference frame " << k;
    }
    const double mse = picture.mseTo(clip.frames[k]);
    if (lossless) {
        if (mse == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "frame " << k << " differs, mean squared error " << mse;
    }
    const double db = picture.psnrTo(clip.frames[k]);
    if (db <= 40)
        return ::testing::AssertionFailure() << "frame " << k << " at only " << db << " dB";
    for (int n : {k - 1, k + 1}) {
        if (n < 0 || n >= static_cast<int>(clip.frames.size())) continue;
        if (clip.frames[n] != clip.frames[k] && picture.mseTo(clip.frames[n]) <= mse) {
            return ::testing::AssertionFailure() << "looks more like frame " << n << " than " << k;
        }
    }
    return ::testing::AssertionSuccess();
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// --- Opening ---

class EveryClip : public ::testing::TestWithParam<ClipCase> {};

// --- Playing ---

TEST_P(EveryClip, DeliversEveryFrameInOrderAtTheClipsPace) {
    const ClipCase& c = GetParam();
    const int framesInFile = countFrames(mediaPath(c.name));
    ASSERT_EQ(framesInFile, kClipFrames);
    const DecodedClip& reference = decodeClip(c.name);
    ASSERT_EQ(static_cast<int>(reference.frames.size()), framesInFile);

    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath(c.name))) << engine.error();
    EXPECT_TRUE(engine.hasVideo());
    EXPECT_EQ(engine.hasAudio(), c.audio);
    EXPECT_EQ(engine.videoWidth(), 320);
    EXPECT_EQ(engine.videoHeight(), 240);
    EXPECT_EQ(engine.duration(), kClipTime);
    EXPECT_DOUBLE_EQ(engine.frameRate(), 25.0);
    // Opened stopped at its first frame.
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(engine.time(), 0);
    Picture picture(engine.videoWidth(), engine.videoHeight());
    ASSERT_TRUE(engine.run());
    const auto start = Clock::now();
    int delivered = 0;
    Status status;
    while ((status = picture.update(engine)) == kOk) {
        ASSERT_TRUE(showsFrame(picture, reference, delivered, c.lossless))
            << "delivery " << delivered;
        ++delivered;
        ASSERT_LE(delivered, framesInFile) << "more frames than the file holds";
    }
    const double elapsed = secondsSince(start);
    EXPECT_EQ(status, kEndOfStream);
    EXPECT_EQ(delivered, framesInFile);
    EXPECT_EQ(engine.framesDelivered(), static_cast<std::uint64_t>(framesInFile));
    // The end stays the end.
    EXPECT_EQ(picture.update(engine), kEndOfStream);
    EXPECT_TRUE(picture.sparesUntouched());
    // Roughly real time: not decoded flat out, not stalling.
    EXPECT_GT(elapsed, 2.0);
    EXPECT_LT(elapsed, 6.0);
    EXPECT_NEAR(static_cast<double>(engine.time()), static_cast<double>(kClipTime),
                2.0 * kFrameTime);
}

INSTANTIATE_TEST_SUITE_P(Clips, EveryClip, ::testing::ValuesIn(kEveryClip), clipName);

// --- Seeking ---

class SeekableClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(SeekableClip, SeekToATimeShowsTheFrameCoveringIt) {
    const ClipCase& c = GetParam();
    const DecodedClip& reference = decodeClip(c.name);
    const std::vector<std::int64_t> starts = frameStarts(c.name);
    ASSERT_EQ(starts.size(), reference.frames.size());
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath(c.name))) << engine.error();
    Picture picture(engine.videoWidth(), engine.videoHeight());
    // Out of order, so that every seek goes somewhere else, backwards too.
    for (int k : {40, 1, 74, 0, 17, 73, 2}) {
        // The frame's first instant, its middle and its last 100 ns, and the
        // time the player computes for "-s k" of a 75-frame clip.
        const std::int64_t end = k + 1 < kClipFrames ? starts[k + 1] : starts[k] + kFrameTime;
        for (std::int64_t time :
             {starts[k], (starts[k] + end) / 2, end - 1, k * engine.duration() / kClipFrames}) {
            ASSERT_TRUE(engine.seek(time));
            // A stopped stream stands where it was sought to.
            EXPECT_EQ(engine.time(), std::min(time, engine.duration()));
            ASSERT_TRUE(engine.run());
            ASSERT_EQ(picture.update(engine), kOk) << "frame " << k << " at " << time;
            EXPECT_TRUE(showsFrame(picture, reference, k, c.lossless)) << "seek to " << time;
            ASSERT_TRUE(engine.stop());
        }
    }
}

TEST_P(SeekableClip, SeekWhileRunningDropsTheFramesQueuedBefore) {
    const ClipCase& c = GetParam();
    const DecodedClip& reference = decodeClip(c.name);
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath(c.name))) << engine.error();
    Picture picture(engine.videoWidth(), engine.videoHeight());
    ASSERT_TRUE(engine.run());
    for (int k = 0; k < 5; ++k)
        ASSERT_EQ(picture.update(engine), kOk);
    // Let frames pile up behind the player, then seek past them.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::int64_t time = frameStarts(c.name)[50];
    ASSERT_TRUE(engine.seek(time));
    for (int k = 50; k < 54; ++k) {
        ASSERT_EQ(picture.update(engine), kOk);
        EXPECT_TRUE(showsFrame(picture, reference, k, c.lossless)) << "after the seek";
    }
}

const ClipCase kSeekableClips[] = {
    {"clip-rawvideo.avi", true, true},
    {"clip-mpeg4.avi", false, true},
    {"clip.mpg", false, true},
    {"clip.dat", false, true},
    {"clip-mjpeg-noaudio.avi", false, false},
};
INSTANTIATE_TEST_SUITE_P(Clips, SeekableClip, ::testing::ValuesIn(kSeekableClips), clipName);

TEST(EngineSeek, TimesOutsideTheClipGoToItsEnds) {
    const DecodedClip& reference = decodeClip("clip-rawvideo.avi");
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath("clip-rawvideo.avi"))) << engine.error();
    Picture picture(engine.videoWidth(), engine.videoHeight());

    // Far past the end (the largest time a frame count can compute to).
    ASSERT_TRUE(engine.seek(INT64_MAX));
    EXPECT_EQ(engine.time(), engine.duration());
    ASSERT_TRUE(engine.run());
    ASSERT_EQ(picture.update(engine), kOk);
    EXPECT_TRUE(showsFrame(picture, reference, kClipFrames - 1, true));
    EXPECT_EQ(picture.update(engine), kEndOfStream);
    ASSERT_TRUE(engine.stop());

    // Before the start: the clip plays from its first frame, at the end too.
    ASSERT_TRUE(engine.seek(-5));
    EXPECT_EQ(engine.time(), 0);
    ASSERT_TRUE(engine.run());
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(picture.update(engine), kOk);
        EXPECT_TRUE(showsFrame(picture, reference, k, true));
    }
}

// --- Stopping and running ---

TEST(EngineStopRun, PauseKeepsThePositionAndResumeLosesNoFrame) {
    // The player pauses by reading the time and stopping, and resumes by
    // seeking to that time and running.
    const DecodedClip& reference = decodeClip("clip-mpeg4.avi");
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath("clip-mpeg4.avi"))) << engine.error();
    Picture picture(engine.videoWidth(), engine.videoHeight());
    ASSERT_TRUE(engine.run());
    int delivered = 0;
    for (; delivered < 30; ++delivered)
        ASSERT_EQ(picture.update(engine), kOk);
    const std::int64_t pausedAt = engine.time();
    ASSERT_TRUE(engine.stop());
    EXPECT_FALSE(engine.isRunning());
    // Within the frame just shown (the clock runs on until the next one).
    EXPECT_GE(pausedAt, 29 * kFrameTime);
    EXPECT_LT(pausedAt, 31 * kFrameTime);

    // A stopped stream answers at once, without a frame, and stands still.
    const std::vector<std::uint8_t> before = picture.bytes;
    const auto asked = Clock::now();
    EXPECT_EQ(picture.update(engine), kNotRunning);
    EXPECT_LT(secondsSince(asked), 0.1);
    EXPECT_EQ(picture.bytes, before);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(engine.time(), pausedAt) << "the position moved while stopped";

    ASSERT_TRUE(engine.seek(pausedAt));
    ASSERT_TRUE(engine.run());
    // The frame on show covers the time paused at: it comes again first.
    ASSERT_EQ(picture.update(engine), kOk);
    EXPECT_TRUE(showsFrame(picture, reference, delivered - 1, false));
    Status status;
    while ((status = picture.update(engine)) == kOk) {
        ASSERT_TRUE(showsFrame(picture, reference, delivered, false)) << "delivery " << delivered;
        ++delivered;
        ASSERT_LE(delivered, kClipFrames);
    }
    EXPECT_EQ(status, kEndOfStream);
    EXPECT_EQ(delivered, kClipFrames);
}

TEST(EngineUpdate, APlayerThatFallsBehindStillGetsEveryFrameInOrder) {
    // Frames that come due while the player is busy wait in the queue; the
    // rest are rendered straight into the player's buffer. Both kinds,
    // mixed, make up the clip frame by frame.
    const DecodedClip& reference = decodeClip("clip-rawvideo.avi");
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath("clip-rawvideo.avi"))) << engine.error();
    Picture picture(engine.videoWidth(), engine.videoHeight());
    ASSERT_TRUE(engine.run());
    int delivered = 0;
    Status status;
    while ((status = picture.update(engine)) == kOk) {
        ASSERT_TRUE(showsFrame(picture, reference, delivered, true)) << "delivery " << delivered;
        ++delivered;
        ASSERT_LE(delivered, kClipFrames);
        // Two to three frames' time away now and then.
        if (delivered % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(status, kEndOfStream);
    EXPECT_EQ(delivered, kClipFrames);
    EXPECT_TRUE(picture.sparesUntouched());
}

// --- Updates ---

TEST(EngineUpdate, ScalesTheWholePictureToTheAskedSize) {
    // A flat strip: the frame must fill it, squeezed, with no bars.
    constexpr int kWidth = 320;
    constexpr int kHeight = 120;
    const DecodedClip& reference = decodeClipScaled("clip-rawvideo.avi", kWidth, kHeight);
    const DecodedClip& native = decodeClip("clip-rawvideo.avi");
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath("clip-rawvideo.avi"))) << engine.error();
    Picture picture(kWidth, kHeight);
    ASSERT_TRUE(engine.run());
    for (int k = 0; k < 12; ++k) {
        ASSERT_EQ(picture.update(engine), kOk);
        // Scalers differ in their filters, not in what they show.
        EXPECT_GT(picture.psnrTo(reference.frames[k]), 24.0) << "frame " << k;
    }
    EXPECT_TRUE(picture.sparesUntouched());
    ASSERT_TRUE(engine.stop());

    // Back at the video's own size the pixels are exact again.
    Picture full(engine.videoWidth(), engine.videoHeight());
    ASSERT_TRUE(engine.seek(60 * kFrameTime));
    ASSERT_TRUE(engine.run());
    ASSERT_EQ(full.update(engine), kOk);
    ASSERT_EQ(full.update(engine), kOk);
    EXPECT_TRUE(showsFrame(full, native, 61, true));
}

TEST(EngineUpdate, AnswersWithoutAFrameWhenItCannotDeliverOne) {
    MediaEngine engine;
    Picture picture(320, 240);
    // Nothing open.
    EXPECT_EQ(picture.update(engine), kFail);
    EXPECT_FALSE(engine.run());
    EXPECT_FALSE(engine.stop());
    EXPECT_FALSE(engine.seek(0));
    EXPECT_EQ(engine.time(), 0);

    ASSERT_TRUE(engine.open(mediaPath("clip-rawvideo.avi"))) << engine.error();
    // Open but never run: stopped.
    EXPECT_EQ(picture.update(engine), kNotRunning);
    // A buffer that cannot hold the picture.
    ASSERT_TRUE(engine.run());
    EXPECT_EQ(engine.updateFrame(nullptr, 320 * 4, 320, 240), kFail);
    EXPECT_EQ(engine.updateFrame(picture.bytes.data(), 320 * 4 - 4, 320, 240), kFail);
    EXPECT_EQ(engine.updateFrame(picture.bytes.data(), 320 * 4, 0, 240), kFail);
    EXPECT_EQ(engine.framesDelivered(), 0u);

    // Closed: nothing again.
    engine.close();
    EXPECT_FALSE(engine.isOpen());
    EXPECT_EQ(picture.update(engine), kFail);
}

// --- Refusing ---

struct RefusedCase {
    const char* label;
    std::string path;
    bool audio;
};

TEST(EngineOpen, RefusesWhatIsNotAPlayableVideo) {
    const RefusedCase cases[] = {
        {"missing file", mediaPath("no-such-clip.avi"), false},
        {"folder", mediaPath("a-folder.avi"), false},
        {"text file", mediaPath("notes.txt"), false},
        {"sound without video", mediaPath("tone.wav"), true},
        {"video without a decoder", mediaPath("unknown-codec.avi"), true},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.label);
        MediaEngine engine;
        const auto start = Clock::now();
        EXPECT_FALSE(engine.open(c.path));
        EXPECT_LT(secondsSince(start), 10.0);
        EXPECT_FALSE(engine.isOpen());
        EXPECT_FALSE(engine.hasVideo());
        EXPECT_EQ(engine.hasAudio(), c.audio);
        EXPECT_FALSE(engine.error().empty());
        EXPECT_EQ(engine.duration(), 0);
        EXPECT_FALSE(engine.run());
        Picture picture(320, 240);
        EXPECT_EQ(picture.update(engine), kFail);
    }
}

TEST(EngineOpen, OpeningAgainReplacesTheClip) {
    MediaEngine engine;
    ASSERT_TRUE(engine.open(mediaPath("clip-mjpeg-noaudio.avi"))) << engine.error();
    EXPECT_FALSE(engine.hasAudio());
    ASSERT_TRUE(engine.run());
    Picture picture(320, 240);
    ASSERT_EQ(picture.update(engine), kOk);

    // A failed open leaves nothing open; a good one after it plays.
    EXPECT_FALSE(engine.open(mediaPath("notes.txt")));
    EXPECT_FALSE(engine.isOpen());
    EXPECT_EQ(picture.update(engine), kFail);

    // Opened ahead while the window is made: an open of another file drops
    // it, an open of the same file (while it is still being opened, too)
    // takes it over.
    MediaEngine::prepare(mediaPath("clip-mjpeg.avi"));
    ASSERT_TRUE(engine.open(mediaPath("clip-mpeg4.avi"))) << engine.error();
    EXPECT_TRUE(engine.run());
    ASSERT_EQ(picture.update(engine), kOk);
    EXPECT_TRUE(showsFrame(picture, decodeClip("clip-mpeg4.avi"), 0, false));
    MediaEngine::prepare(mediaPath("clip-rawvideo.avi"));
    ASSERT_TRUE(engine.open(mediaPath("clip-rawvideo.avi"))) << engine.error();
    EXPECT_TRUE(engine.hasAudio());
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(engine.framesDelivered(), 0u);
    ASSERT_TRUE(engine.run());
    ASSERT_EQ(picture.update(engine), kOk);
    EXPECT_TRUE(showsFrame(picture, decodeClip("clip-rawvideo.avi"), 0, true));
}

TEST(EngineOpen, RelativePathsAreFilesInTheCurrentFolder) {
    // Names that could be read as standard input or as a protocol.
    const std::string dir = makeScratchDir();
    ASSERT_EQ(::mkdir((dir + "/av:").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(mediaPath("clip-rawvideo.avi").c_str(), (dir + "/av:/clip.avi").c_str()),
              0);
    ASSERT_EQ(::symlink(mediaPath("clip-mjpeg-noaudio.avi").c_str(), (dir + "/-").c_str()), 0);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    MediaEngine protocolLike;
    MediaEngine dash;
    const bool openedProtocolLike = protocolLike.open("av://clip.avi");
    const bool openedDash = dash.open("-");
    EXPECT_EQ(::chdir(previous), 0);
    EXPECT_TRUE(openedProtocolLike) << protocolLike.error();
    EXPECT_TRUE(protocolLike.hasAudio());
    EXPECT_TRUE(openedDash) << dash.error();
    EXPECT_FALSE(dash.hasAudio());
    protocolLike.close();
    dash.close();
    std::remove((dir + "/av:/clip.avi").c_str());
    std::remove((dir + "/-").c_str());
    ::rmdir((dir + "/av:").c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace ostrel::engine_test
