// The media engine against real clips and what ffmpeg makes of them: every
// frame of every codec in order with ffmpeg's pixels at the clip's pace,
// exact seeks, pause and resume, what it refuses, and the sound output at
// the player's volume.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <thread>

#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/MediaEngine.h"
#include "platform/qt/media/SoundPlayer.h"

namespace ostrel::platform::qt::media {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
// The clips are 320 x 240, 3 s at 25 frames a second, frame k starting
// k * 40 ms after the first (the engine's zero); times in 100 ns units.
constexpr std::int64_t kFrameTime = 400000;
constexpr int kFrames = 75, kWidth = 320, kHeight = 240;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}
std::string quoted(const std::string& text) {
    return "'" + text + "'";
}
// What a shell command writes.
std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[65536];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        text.append(buffer, n);
    return text;
}

// The clips' folder, made once even by test processes side by side, plus an
// AVI naming a codec nobody has, a text file and a folder named as a clip.
std::string media(const std::string& name) {
    static const std::string dir = [] {
        const char* given = std::getenv("OSTREL_TEST_MEDIA");
        const std::string d = given && *given ? given : OSTREL_ENGINE_MEDIA_DIR;
        const std::string make = "mkdir -p " + quoted(d) + " && cd " + quoted(d) +
                                 " && flock .engine-tests.lock sh -c 'bash \"$0\" . >&2 && "
                                 "mkdir -p a-folder.avi && echo Not a clip. >notes.txt && "
                                 "{ test -e unknown-codec.avi || { ffmpeg -nostdin -v error -i "
                                 "clip-mjpeg.avi -c copy -vtag ZZZZ -strict -2 x.avi && "
                                 "mv x.avi unknown-codec.avi; }; }' " +
                                 quoted(OSTREL_MAKE_TEST_MEDIA);
        if (std::system(make.c_str()) != 0) ADD_FAILURE() << "cannot make the clips in " << d;
        return d;
    }();
    return dir + "/" + name;
}

// Every frame as ffmpeg decodes it, B, G, R, X per pixel, rows packed.
const std::vector<std::string>& ffmpegFrames(const std::string& name) {
    static std::map<std::string, std::vector<std::string>> cache;
    auto& frames = cache[name];
    const std::string raw = frames.empty()
                                ? output("ffmpeg -nostdin -v error -i " + quoted(media(name)) +
                                         " -f rawvideo -pix_fmt bgr0 -")
                                : "";
    for (std::size_t at = 0, size = kWidth * kHeight * 4; at + size <= raw.size(); at += size)
        frames.push_back(raw.substr(at, size));
    return frames;
}

// A picture with spare bytes after each row, which must never be written.
struct Picture {
    static constexpr int stride = kWidth * 4 + 64;
    std::string bytes = std::string(stride * kHeight, '\xA5');

    Status update(MediaEngine& engine) {
        return engine.updateFrame(reinterpret_cast<std::uint8_t*>(bytes.data()), stride, kWidth,
                                  kHeight);
    }
    bool sparesUntouched() const {
        for (int y = 0; y < kHeight; ++y)
            if (bytes.compare(y * stride + kWidth * 4, 64, std::string(64, '\xA5'))) return false;
        return true;
    }
    // Mean squared error of the colour bytes against a packed frame.
    double mse(const std::string& frame) const {
        double sum = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth * 4; ++x) {
                const double d = static_cast<std::uint8_t>(bytes[y * stride + x]) -
                                 static_cast<std::uint8_t>(frame[(y * kWidth) * 4 + x]);
                if (x % 4 != 3) sum += d * d;
            }
        return sum / (3.0 * kWidth * kHeight);
    }
};

// The picture shows frame k: byte for byte for a lossless clip, otherwise
// above 40 dB and nearer to k than to either neighbour (no off-by-one).
::testing::AssertionResult showsFrame(const Picture& picture, const std::string& clip, int k,
                                      bool lossless) {
    const auto& frames = ffmpegFrames(clip);
    if (k < 0 || k >= static_cast<int>(frames.size()))
        return ::testing::AssertionFailure() << "no frame " << k;
    const double mse = picture.mse(frames[k]);
    if (lossless ? mse != 0 : 10 * std::log10(65025 / mse) <= 40)
        return ::testing::AssertionFailure() << "frame " << k << " differs, error " << mse;
    for (int n : {k - 1, k + 1})
        if (n >= 0 && n < kFrames && frames[n] != frames[k] && picture.mse(frames[n]) <= mse)
            return ::testing::AssertionFailure() << "looks more like frame " << n << " than " << k;
    return ::testing::AssertionSuccess();
}

struct Clip {
    const char* label;
    const char* file;
    bool lossless, audio;
    bool lagging = false;  // the player is away 100 ms every tenth frame
    bool pausing = false;  // and pauses after frame 29, as the player does
};
const Clip kClips[] = {
    {"rawvideo", "clip-rawvideo.avi", true, true},
    {"rawvideo_lagging", "clip-rawvideo.avi", true, true, true},
    {"mjpeg", "clip-mjpeg.avi", false, true},
    {"mpeg4_paused", "clip-mpeg4.avi", false, true, false, true},
    {"msmpeg4v2", "clip-msmpeg4v2.avi", false, true},
    {"cinepak", "clip-cinepak.avi", false, true},
    {"mpeg1", "clip.mpg", false, true},
    {"video_cd", "clip.dat", false, true},
    {"mjpeg_noaudio", "clip-mjpeg-noaudio.avi", false, false},
};
class EveryClip : public ::testing::TestWithParam<Clip> {};
INSTANTIATE_TEST_SUITE_P(Clips, EveryClip, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_P(EveryClip, PlaysEveryFrameInOrderAtTheClipsPace) {
    const Clip& c = GetParam();
    ASSERT_EQ(static_cast<int>(ffmpegFrames(c.file).size()), kFrames);
    MediaEngine engine;
    ASSERT_TRUE(engine.open(media(c.file))) << engine.error();
    EXPECT_TRUE(engine.hasVideo() && engine.hasAudio() == c.audio && !engine.isRunning());
    EXPECT_EQ((std::vector<std::int64_t>{engine.videoWidth(), engine.videoHeight(),
                                         engine.duration(), engine.time()}),
              (std::vector<std::int64_t>{kWidth, kHeight, kFrames * kFrameTime, 0}));
    EXPECT_DOUBLE_EQ(engine.frameRate(), 25.0);
    Picture picture;
    ASSERT_TRUE(engine.run());
    const auto start = Clock::now();
    int delivered = 0;
    bool paused = false;
    Status status;
    while ((status = picture.update(engine)) == kOk) {
        ASSERT_TRUE(showsFrame(picture, c.file, delivered, c.lossless)) << "delivery " << delivered;
        ASSERT_LE(++delivered, kFrames);
        if (c.lagging && delivered % 10 == 0) std::this_thread::sleep_for(100ms);
        if (c.pausing && delivered == 30 && !paused) {
            paused = true;
            // The player pauses by reading the time and stopping, and
            // resumes by seeking there and running; meanwhile the stream
            // answers at once, without a frame, and its time stands.
            const std::int64_t pausedAt = engine.time();
            ASSERT_TRUE(engine.stop() && !engine.isRunning());
            EXPECT_TRUE(pausedAt >= 29 * kFrameTime && pausedAt < 31 * kFrameTime) << pausedAt;
            const std::string before = picture.bytes;
            const auto asked = Clock::now();
            EXPECT_EQ(picture.update(engine), kNotRunning);
            EXPECT_TRUE(secondsSince(asked) < 0.1 && picture.bytes == before);
            std::this_thread::sleep_for(300ms);
            EXPECT_EQ(engine.time(), pausedAt);
            ASSERT_TRUE(engine.seek(pausedAt) && engine.run());
            --delivered;  // the frame on show covers that time: it comes again
        }
    }
    const double elapsed = secondsSince(start);
    EXPECT_TRUE(status == kEndOfStream && picture.update(engine) == kEndOfStream);
    EXPECT_EQ(delivered, kFrames);
    EXPECT_EQ(engine.framesDelivered(), static_cast<std::uint64_t>(kFrames + c.pausing));
    EXPECT_TRUE(picture.sparesUntouched());
    EXPECT_TRUE(elapsed > 2.0 && elapsed < 6.0) << elapsed;
    EXPECT_NEAR(engine.time(), kFrames * kFrameTime, 2.0 * kFrameTime);
}

TEST_P(EveryClip, SeeksLandOnTheFrameCoveringTheTime) {
    const Clip& c = GetParam();
    MediaEngine engine;
    ASSERT_TRUE(engine.open(media(c.file))) << engine.error();
    Picture picture;
    // Out of order, backwards too: each frame's first instant, its middle,
    // its last 100 ns, the time the player computes for "-s k"; times
    // outside the clip go to its ends.
    std::vector<std::pair<std::int64_t, int>> seeks = {{INT64_MAX, kFrames - 1}, {-5, 0}};
    for (int k : {40, 1, 74, 0, 17, 73, 2})
        for (std::int64_t t : {k * kFrameTime, k * kFrameTime + kFrameTime / 2,
                               (k + 1) * kFrameTime - 1, k * engine.duration() / kFrames})
            seeks.emplace_back(t, k);
    for (auto [time, k] : seeks) {
        SCOPED_TRACE("seek to " + std::to_string(time));
        ASSERT_TRUE(engine.seek(time));
        EXPECT_EQ(engine.time(), std::clamp<std::int64_t>(time, 0, engine.duration()));
        ASSERT_TRUE(engine.run() && picture.update(engine) == kOk);
        EXPECT_TRUE(showsFrame(picture, c.file, k, c.lossless));
        EXPECT_TRUE(k < kFrames - 1 || picture.update(engine) == kEndOfStream);
        ASSERT_TRUE(engine.stop());
    }
    // A seek while running drops the frames queued before it.
    ASSERT_TRUE(engine.seek(0) && engine.run());
    for (int k : {0, 1, 2, 3, 4, 50, 51, 52, 53}) {
        if (k == 50) std::this_thread::sleep_for(150ms), engine.seek(50 * kFrameTime);
        ASSERT_EQ(picture.update(engine), kOk);
        EXPECT_TRUE(showsFrame(picture, c.file, k, c.lossless)) << "frame " << k;
    }
}

TEST(Engine, OpeningAgainReplacesTheClip) {
    MediaEngine engine;
    Picture picture;
    EXPECT_FALSE(engine.run() || engine.stop() || engine.seek(0));  // nothing open
    ASSERT_TRUE(engine.open(media("clip-mjpeg-noaudio.avi")));
    EXPECT_EQ(picture.update(engine), kNotRunning);  // never run
    ASSERT_TRUE(engine.run());
    // Buffers that cannot hold the picture.
    auto* bytes = reinterpret_cast<std::uint8_t*>(picture.bytes.data());
    EXPECT_EQ((std::vector<Status>{engine.updateFrame(nullptr, 320 * 4, 320, 240),
                                   engine.updateFrame(bytes, 320 * 4 - 4, 320, 240),
                                   engine.updateFrame(bytes, 320 * 4, 0, 240)}),
              std::vector<Status>(3, kFail));
    EXPECT_EQ(engine.framesDelivered(), 0u);
    // A failed open leaves nothing open.
    EXPECT_FALSE(engine.open(media("notes.txt")) || engine.isOpen());
    EXPECT_EQ(picture.update(engine), kFail);
    // Opened ahead while the window is made: an open of another file drops
    // it, an open of the same file (even while still opening) takes it over.
    MediaEngine::prepare(media("clip-mjpeg.avi"));
    ASSERT_TRUE(engine.open(media("clip-mpeg4.avi")) && engine.run());
    ASSERT_EQ(picture.update(engine), kOk) << engine.error();
    EXPECT_TRUE(showsFrame(picture, "clip-mpeg4.avi", 0, false));
    MediaEngine::prepare(media("clip-rawvideo.avi"));
    ASSERT_TRUE(engine.open(media("clip-rawvideo.avi"))) << engine.error();
    EXPECT_TRUE(engine.hasAudio() && !engine.isRunning() && engine.framesDelivered() == 0);
    ASSERT_TRUE(engine.run() && picture.update(engine) == kOk);
    EXPECT_TRUE(showsFrame(picture, "clip-rawvideo.avi", 0, true));
    engine.close();
    EXPECT_TRUE(!engine.isOpen() && picture.update(engine) == kFail);
}

// The peak of 16-bit samples and their count.
std::pair<int, std::size_t> peak(const std::string& pcm, std::size_t from = 0) {
    int most = 0;
    for (std::size_t i = from; i + 1 < pcm.size(); i += 2)
        most = std::max(most, std::abs(static_cast<int>(static_cast<std::int16_t>(
                                  static_cast<std::uint8_t>(pcm[i]) | pcm[i + 1] << 8))));
    return {most, (pcm.size() - std::min(from, pcm.size())) / 2};
}

// Everything the tests' process plays goes to one WAV file (stereo 16-bit,
// a 44-byte header) at real-time pace; a capture reads what was played
// after it was made.
const std::string kPlayed = "/tmp/ostrel-engine-sound-" + std::to_string(::getpid()) + ".wav";
struct CaptureSound : ::testing::Environment {
    void SetUp() override { ::setenv("OSTREL_AUDIO_OUT", ("pcm:" + kPlayed).c_str(), 1); }
    void TearDown() override { std::remove(kPlayed.c_str()); }
};
const auto* const kCaptureSound = ::testing::AddGlobalTestEnvironment(new CaptureSound);
std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(Sound, PlaysToItsEndScaledByTheOutputVolume) {
    // The tone (mono, played on both channels) and the clip's sound are the
    // same 2 s; each channel has its own level, the louder one shows.
    const auto [tonePeak, toneSamples] =
        peak(output("ffmpeg -nostdin -v error -i " + quoted(media("tone.wav")) + " -f s16le -"));
    ASSERT_GT(tonePeak, 1000);
    const std::string tone = contents(media("tone.wav"));
    const auto bytes = std::make_shared<const std::vector<std::uint8_t>>(tone.begin(), tone.end());
    enum From { kFile, kBytes, kOpenClip };
    const struct {
        std::uint32_t wave;
        double amplitude;
        From from;
    } cases[] = {
        {0xFFFFFFFFu, 1.0, kFile},  {0x80008000u, 0.5, kFile},      {0x20002000u, 0.125, kFile},
        {0x00004000u, 0.25, kFile}, {0x40000000u, 0.25, kFile},     {0x00000000u, 0.0, kFile},
        {0xFFFFFFFFu, 1.0, kBytes}, {0x40004000u, 0.25, kOpenClip},
    };
    EXPECT_EQ(outputVolume(), 0xFFFFFFFFu);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.wave << " from " << c.from);
        const std::size_t mark = std::max<std::size_t>(contents(kPlayed).size(), 44);
        SoundPlayer sounds;
        MediaEngine engine;
        ASSERT_TRUE(c.from != kOpenClip || engine.open(media("clip-mjpeg.avi")));
        setOutputVolume(c.wave);  // for the clip: after its stream is open
        EXPECT_EQ(outputVolume(), c.wave);
        const auto start = Clock::now();
        if (c.from == kOpenClip) {
            Picture picture;
            ASSERT_TRUE(engine.run());
            while (picture.update(engine) == kOk) {
            }
            engine.close();
        } else {
            EXPECT_TRUE(c.from == kFile ? sounds.play(media("tone.wav"), true)
                                        : sounds.playBytes(bytes, true));
            EXPECT_FALSE(sounds.isPlaying());
        }
        EXPECT_TRUE(secondsSince(start) > 1.9 && secondsSince(start) < 6.0);
        const auto [written, samples] = peak(contents(kPlayed), mark);
        EXPECT_GE(samples, toneSamples * 2);
        EXPECT_NEAR(written, tonePeak * c.amplitude, 2.0 + tonePeak * 0.01);
    }
    setOutputVolume(0xFFFFFFFFu);  // as the player starts
}

TEST(Sound, EngineAndSoundsRefuseWhatTheyCannotPlayAtOnce) {
    const struct {
        const char* file;
        bool video, audio;  // what the engine finds (and refuses: no playable video)
    } cases[] = {
        {"no-such-clip.avi", false, false}, {"a-folder.avi", false, false},
        {"notes.txt", false, false},        {"tone.wav", false, true},
        {"unknown-codec.avi", false, true}, {"clip-mjpeg-noaudio.avi", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        MediaEngine engine;
        SoundPlayer sounds;
        Picture picture;
        const auto start = Clock::now();
        EXPECT_EQ(engine.open(media(c.file)), c.video);
        EXPECT_EQ(engine.hasAudio(), c.audio);
        if (!c.video) {
            EXPECT_FALSE(engine.isOpen() || engine.hasVideo() || engine.run());
            EXPECT_TRUE(!engine.error().empty() && engine.duration() == 0);
            EXPECT_EQ(picture.update(engine), kFail);
        }
        for (bool synchronous : {true, false})
            EXPECT_TRUE(c.audio || !sounds.play(media(c.file), synchronous));
        EXPECT_FALSE(sounds.isPlaying() && !c.audio);
        sounds.stopAll();
        EXPECT_LT(secondsSince(start), 10.0);
    }
}

}  // namespace
}  // namespace ostrel::platform::qt::media
