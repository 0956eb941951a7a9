// The media engine against real clips and ffmpeg's decode of them: frames,
// pace, seeks, pause, refusals, and the sound written at the player's volume.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <map>
#include <thread>

#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/MediaEngine.h"
#include "platform/qt/media/SoundPlayer.h"

namespace ostrel::platform::qt::media {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::literals;
// The clips are 320 x 240, 3 s at 25 frames a second, frame k starting
// k * 40 ms after the first (the engine's zero); times in 100 ns units.
constexpr std::int64_t kFrameTime = 400000;
constexpr int kFrames = 75, kWidth = 320, kHeight = 240;

const auto secondsSince = [](Clock::time_point start) { return (Clock::now() - start) / 1.0s; };
const auto quoted = [](const std::string& text) { return "'" + text + "'"; };
std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    for (char part[1 << 16]; auto n = pipe ? std::fread(part, 1, sizeof part, pipe.get()) : 0;)
        text.append(part, n);
    return text;
}

// The clips' folder, made once even by test processes side by side, plus an
// AVI naming a codec nobody has, a text file and a folder named as a clip.
std::string media(const std::string& name) {
    static const std::string dir = [] {
        const char* given = std::getenv("OSTREL_TEST_MEDIA");
        const std::string d = given && *given ? given : OSTREL_ENGINE_MEDIA_DIR;
        const std::string make =
            "mkdir -p " + quoted(d) + " && cd " + quoted(d) +
            " && flock .engine-tests.lock sh -c "
            "'bash \"$0\" . >&2 && mkdir -p a-folder.avi && echo Not a clip. >notes.txt && { test "
            "-e unknown-codec.avi || { ffmpeg -nostdin -v error -i clip-mjpeg.avi -c copy -vtag "
            "ZZZZ -strict -2 x.avi && mv x.avi unknown-codec.avi; }; }' " +
            quoted(OSTREL_MAKE_TEST_MEDIA);
        if (std::system(make.c_str()) != 0) ADD_FAILURE() << "cannot make the clips in " << d;
        return d;
    }();
    return dir + "/" + name;
}

// A picture with spare bytes after each row, which must never be written.
struct Picture {
    static constexpr int row = kWidth * 4, stride = row + 64;
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(stride * kHeight, 0xA5);
    Status update(MediaEngine& e) { return e.updateFrame(bytes.data(), stride, kWidth, kHeight); }
    // Mean squared error of the colour bytes against a packed frame; endless
    // once a spare byte was written.
    double mse(const std::string& frame) const {
        double sum = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < stride; ++x)
                if (x >= row && bytes[y * stride + x] != 0xA5)
                    return INFINITY;
                else if (x < row && x % 4 != 3)
                    sum += std::pow(bytes[y * stride + x] - std::uint8_t(frame[y * row + x]), 2);
        return sum / (3.0 * kWidth * kHeight);
    }
};

// Every frame as ffmpeg decodes it, B, G, R, X per pixel, rows packed.
const std::vector<std::string>& ffmpegFrames(const std::string& clip) {
    static std::map<std::string, std::vector<std::string>> decoded;
    auto& frames = decoded[clip];
    if (!frames.empty()) return frames;
    const std::string raw = output("ffmpeg -nostdin -v error -i " + quoted(media(clip)) +
                                   " -f rawvideo -pix_fmt bgr0 -");
    for (std::size_t at = 0, size = kWidth * kHeight * 4; at + size <= raw.size(); at += size)
        frames.push_back(raw.substr(at, size));
    return frames;
}

// The picture shows frame k: byte for byte for the uncompressed clip,
// otherwise above 40 dB and nearer to k than to either neighbour.
::testing::AssertionResult showsFrame(const Picture& picture, const std::string& clip, int k) {
    const auto& frames = ffmpegFrames(clip);
    if (k < 0 || k >= static_cast<int>(frames.size()))
        return ::testing::AssertionFailure() << "no frame " << k;
    const double mse = picture.mse(frames[k]);
    if (clip == "clip-rawvideo.avi" ? mse != 0 : 10 * std::log10(65025 / mse) <= 40)
        return ::testing::AssertionFailure() << "frame " << k << " differs, error " << mse;
    for (int n : {k - 1, k + 1})
        if (n >= 0 && n < kFrames && frames[n] != frames[k] && picture.mse(frames[n]) <= mse)
            return ::testing::AssertionFailure() << "looks more like frame " << n << " than " << k;
    return ::testing::AssertionSuccess();
}

// The clips by test name and file. Every clip has the tone but the one named
// "noaudio"; one is played as by a player away 100 ms every tenth frame, one
// paused after frame 29.
// clang-format off
const std::pair<const char*, const char*> kClips[] = {
    {"rawvideo", "clip-rawvideo.avi"}, {"rawvideo_lagging", "clip-rawvideo.avi"},
    {"mjpeg", "clip-mjpeg.avi"}, {"mjpeg_noaudio", "clip-mjpeg-noaudio.avi"},
    {"mpeg4_paused", "clip-mpeg4.avi"}, {"msmpeg4v2", "clip-msmpeg4v2.avi"},
    {"cinepak", "clip-cinepak.avi"}, {"mpeg1", "clip.mpg"}, {"video_cd", "clip.dat"}};
// clang-format on
class EveryClip : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};
INSTANTIATE_TEST_SUITE_P(Clips, EveryClip, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.first); });

TEST_P(EveryClip, PlaysEveryFrameAtItsPaceAndSeeksExactly) {
    const auto [name, file] = GetParam();
    const bool lagging = name == "rawvideo_lagging"s, pausing = name == "mpeg4_paused"s;
    ASSERT_EQ(ffmpegFrames(file).size(), kFrames);  // decoded before the clock starts
    MediaEngine engine;
    ASSERT_TRUE(engine.open(media(file))) << engine.error();
    EXPECT_TRUE(engine.hasVideo() && engine.hasAudio() == (name != "mjpeg_noaudio"s) &&
                !engine.isRunning() && engine.frameRate() == 25.0);
    EXPECT_EQ((std::vector<std::int64_t>{engine.videoWidth(), engine.videoHeight(),
                                         engine.duration(), engine.time()}),
              (std::vector<std::int64_t>{kWidth, kHeight, kFrames * kFrameTime, 0}));
    Picture picture;
    ASSERT_TRUE(engine.run());
    const auto start = Clock::now();
    int delivered = 0;
    Status status;
    while ((status = picture.update(engine)) == kOk) {
        ASSERT_TRUE(showsFrame(picture, file, delivered)) << "delivery " << delivered;
        ASSERT_LE(++delivered, kFrames);
        if (lagging && delivered % 10 == 0) std::this_thread::sleep_for(100ms);
        if (pausing && engine.framesDelivered() == 30) {
            // Paused as the player does (time read, stopped; resumed by a seek
            // there), the stream answers at once without a frame; time stands.
            const std::int64_t pausedAt = engine.time();
            ASSERT_TRUE(engine.stop() && !engine.isRunning());
            EXPECT_TRUE(pausedAt >= 29 * kFrameTime && pausedAt < 31 * kFrameTime) << pausedAt;
            const auto [before, asked] = std::pair(picture.bytes, Clock::now());
            EXPECT_TRUE(picture.update(engine) == kNotRunning && secondsSince(asked) < 0.1 &&
                        picture.bytes == before);
            std::this_thread::sleep_for(300ms);
            EXPECT_EQ(engine.time(), pausedAt);
            ASSERT_TRUE(engine.seek(pausedAt) && engine.run());
            --delivered;  // the frame on show covers that time: it comes again
        }
    }
    EXPECT_NEAR(secondsSince(start), 4.0, 2.0);  // 3 s, give or take a loaded machine
    EXPECT_TRUE(status == kEndOfStream && picture.update(engine) == kEndOfStream);
    EXPECT_EQ(delivered, kFrames);
    EXPECT_EQ(engine.framesDelivered(), static_cast<std::uint64_t>(kFrames + pausing));
    EXPECT_NEAR(engine.time(), kFrames * kFrameTime, 2.0 * kFrameTime);

    // From a stopped stream, out of order, backwards too: each frame's first
    // instant, its middle, its last 100 ns, the time the player computes for
    // "-s k"; times outside the clip go to its ends.
    std::vector<std::pair<std::int64_t, int>> seeks = {{INT64_MAX, kFrames - 1}, {-5, 0}};
    for (int k : {40, 1, 74, 0, 17, 73, 2})
        for (std::int64_t t : {k * kFrameTime, k * kFrameTime + kFrameTime / 2,
                               (k + 1) * kFrameTime - 1, k * engine.duration() / kFrames})
            seeks.emplace_back(t, k);
    for (auto [time, k] : seeks) {
        SCOPED_TRACE("seek to " + std::to_string(time));
        ASSERT_TRUE(engine.stop() && engine.seek(time));
        EXPECT_EQ(engine.time(), std::clamp<std::int64_t>(time, 0, engine.duration()));
        ASSERT_TRUE(engine.run() && picture.update(engine) == kOk);
        EXPECT_TRUE(showsFrame(picture, file, k));
        EXPECT_TRUE(k < kFrames - 1 || picture.update(engine) == kEndOfStream);
    }
    // A seek while running drops the frames queued before it.
    ASSERT_TRUE(engine.seek(0) && engine.run());
    for (int k : {0, 1, 2, 3, 4, 50, 51, 52, 53}) {
        if (k == 50) std::this_thread::sleep_for(150ms), engine.seek(50 * kFrameTime);
        ASSERT_EQ(picture.update(engine), kOk);
        EXPECT_TRUE(showsFrame(picture, file, k)) << "frame " << k;
    }
}

// One engine through what it refuses and plays. It opens each clip with the
// uncompressed one prepared ahead, as while the window is made (another file
// drops it, the same file takes it over), and seeks before the first run. A
// refusal comes at once and leaves nothing open; sounds refuse a silent file.
TEST(Engine, RefusesOrReplacesTheClipAtEachOpen) {
    MediaEngine engine;
    Picture picture;
    EXPECT_FALSE(engine.run() || engine.stop() || engine.seek(0));  // nothing open
    // The file, whether it plays (a playable video), whether it has sound.
    const std::tuple<const char*, bool, bool> cases[] = {
        {"no-such-clip.avi", false, false}, {"clip-mjpeg-noaudio.avi", true, false},
        {"notes.txt", false, false},        {"a-folder.avi", false, false},
        {"tone.wav", false, true},          {"unknown-codec.avi", false, true},
        {"clip-mpeg4.avi", true, true},     {"clip-rawvideo.avi", true, true},
    };
    for (auto [file, video, audio] : cases) {
        SCOPED_TRACE(file);
        if (video) MediaEngine::prepare(media("clip-rawvideo.avi"));
        const auto start = Clock::now();
        EXPECT_EQ((std::pair{engine.open(media(file)), engine.hasAudio()}),
                  std::pair(video, audio));
        if (video) {
            EXPECT_TRUE(engine.isOpen() && !engine.isRunning() && engine.framesDelivered() == 0 &&
                        picture.update(engine) == kNotRunning);
            ASSERT_TRUE(engine.seek(40 * kFrameTime) && engine.run());  // as "-s 40" does
            // Buffers that cannot hold the picture are refused and not counted.
            auto* p = picture.bytes.data();
            EXPECT_EQ((std::vector{engine.updateFrame(nullptr, Picture::row, kWidth, kHeight),
                                   engine.updateFrame(p, Picture::row - 4, kWidth, kHeight),
                                   engine.updateFrame(p, Picture::row, 0, kHeight),
                                   picture.update(engine)}),
                      (std::vector{kFail, kFail, kFail, kOk}));
            EXPECT_EQ(engine.framesDelivered(), 1u);
            EXPECT_TRUE(showsFrame(picture, file, 40));
        } else {
            EXPECT_FALSE(engine.isOpen() || engine.hasVideo() || engine.run() ||
                         engine.duration() != 0 || engine.error().empty() ||
                         picture.update(engine) != kFail);
        }
        SoundPlayer sounds;  // refuses, waiting or not, and plays nothing
        EXPECT_TRUE(audio || !(sounds.play(media(file), true) || sounds.play(media(file), false) ||
                               sounds.isPlaying()));
        EXPECT_LT(secondsSince(start), 10.0);
    }
    engine.close();
    EXPECT_TRUE(!engine.isOpen() && picture.update(engine) == kFail);
}

// The peak of 16-bit samples and their count.
std::pair<int, std::size_t> peak(const std::string& pcm, std::size_t from = 0) {
    int most = 0;
    for (std::size_t i = from; i + 1 < pcm.size(); i += 2)
        most = std::max(most, std::abs(std::int16_t(std::uint8_t(pcm[i]) | pcm[i + 1] << 8)));
    return {most, (pcm.size() - std::min(from, pcm.size())) / 2};
}

// Everything the tests' process plays goes at real-time pace to one WAV
// file (stereo 16-bit, a 44-byte header), read from a mark for each sound.
const std::string kPlayed = "/tmp/ostrel-engine-sound-" + std::to_string(::getpid()) + ".wav";
const struct CaptureSound {
    CaptureSound() { ::setenv("OSTREL_AUDIO_OUT", ("pcm:" + kPlayed).c_str(), 1); }
    ~CaptureSound() { std::remove(kPlayed.c_str()); }
} kCaptureSound;

TEST(Sound, PlaysToItsEndScaledByTheOutputVolume) {
    // The tone (mono, played on both channels) and the clip's sound are the
    // same 2 s; each channel has its own level, the louder one shows.
    const auto [tonePeak, toneSamples] =
        peak(output("ffmpeg -nostdin -v error -i " + quoted(media("tone.wav")) + " -f s16le -"));
    ASSERT_GT(tonePeak, 1000);
    const std::string tone = output("cat " + quoted(media("tone.wav")));
    const auto bytes = std::make_shared<const std::vector<std::uint8_t>>(tone.begin(), tone.end());
    enum From { kFile, kBytes, kOpenClip };
    const std::tuple<std::uint32_t, double, From> cases[] = {
        {0xFFFFFFFFu, 1.0, kFile},  {0x80008000u, 0.5, kFile},      {0x20002000u, 0.125, kFile},
        {0x00004000u, 0.25, kFile}, {0x40000000u, 0.25, kFile},     {0x00000000u, 0.0, kFile},
        {0xFFFFFFFFu, 1.0, kBytes}, {0x40004000u, 0.25, kOpenClip},
    };
    EXPECT_EQ(outputVolume(), 0xFFFFFFFFu);
    for (auto [wave, amplitude, from] : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << wave << " from " << from);
        const std::size_t mark = std::max<std::size_t>(output("cat " + kPlayed).size(), 44);
        SoundPlayer sounds;
        MediaEngine engine;
        ASSERT_TRUE(from != kOpenClip || engine.open(media("clip-mjpeg.avi")));
        setOutputVolume(wave);  // for the clip: after its stream is open
        EXPECT_EQ(outputVolume(), wave);
        const auto start = Clock::now();
        EXPECT_TRUE(from == kFile    ? sounds.play(media("tone.wav"), true)
                    : from == kBytes ? sounds.playBytes(bytes, true)
                                     : engine.run());
        for (Picture picture; from == kOpenClip && picture.update(engine) == kOk;) {
        }
        engine.close();
        EXPECT_FALSE(sounds.isPlaying());
        EXPECT_TRUE(secondsSince(start) > 1.9 && secondsSince(start) < 6.0);
        const auto [written, samples] = peak(output("cat " + kPlayed), mark);
        EXPECT_GE(samples, toneSamples * 2);
        EXPECT_NEAR(written, tonePeak * amplitude, 2.0 + tonePeak * 0.01);
    }
    setOutputVolume(0xFFFFFFFFu);  // as the player starts
}

}  // namespace
}  // namespace ostrel::platform::qt::media
