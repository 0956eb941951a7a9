// The player's sounds and its output volume: sounds play to their end or
// are stopped, from files and from memory, and the 32-bit wave volume scales
// the samples that reach the output channel by channel, as a linear
// amplitude, in streams already open as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "EngineMedia.h"
#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/MediaEngine.h"
#include "platform/qt/media/SoundPlayer.h"

namespace ostrel::engine_test {
namespace {

using platform::kOk;
using platform::qt::media::MediaEngine;
using platform::qt::media::outputVolume;
using platform::qt::media::setOutputVolume;
using platform::qt::media::SoundPlayer;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every test leaves the process at full volume, as the player starts.
class OutputVolume : public ::testing::Test {
protected:
    void TearDown() override { setOutputVolume(0xFFFFFFFFu); }
};

TEST_F(OutputVolume, IsFullScaleAtStartAndReadsBackWhatWasSet) {
    EXPECT_EQ(outputVolume(), 0xFFFFFFFFu);
    setOutputVolume(0x12345678u);
    EXPECT_EQ(outputVolume(), 0x12345678u);
}

TEST_F(OutputVolume, ScalesTheSamplesOfASound) {
    const PcmPeak source = wavPeak(mediaPath("tone.wav"));
    ASSERT_GT(source.peak, 1000);
    // Each channel's own level (the louder one shows in the peak).
    const struct {
        std::uint32_t wave;
        double amplitude;
    } cases[] = {
        {0xFFFFFFFFu, 1.0},  {0x80008000u, 0.5},  {0x20002000u, 0.125},
        {0x00004000u, 0.25}, {0x40000000u, 0.25}, {0x00000000u, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wave);
        setOutputVolume(c.wave);
        PcmCapture capture;
        SoundPlayer sounds;
        ASSERT_TRUE(sounds.play(mediaPath("tone.wav"), true));
        const PcmPeak written = capture.played();
        // Mono played on both channels.
        EXPECT_GE(written.samples, source.samples * 2);
        EXPECT_NEAR(written.peak, source.peak * c.amplitude, 2.0 + source.peak * 0.01);
    }
}

TEST_F(OutputVolume, ReachesAStreamThatIsAlreadyOpen) {
    PcmCapture capture;
    {
        MediaEngine engine;
        ASSERT_TRUE(engine.open(mediaPath("clip-mjpeg.avi"))) << engine.error();
        // Set after the stream exists: a quarter of the amplitude.
        setOutputVolume(0x40004000u);
        std::vector<std::uint8_t> pixels(320 * 240 * 4);
        ASSERT_TRUE(engine.run());
        while (engine.updateFrame(pixels.data(), 320 * 4, 320, 240) == kOk) {
        }
    }
    // The clip's sound is the same tone as the sound file's.
    const PcmPeak source = wavPeak(mediaPath("tone.wav"));
    const PcmPeak written = capture.played();
    ASSERT_GT(written.samples, 44100u * 2);
    EXPECT_NEAR(written.peak, source.peak * 0.25, 2.0 + source.peak * 0.01);
}

// --- Sounds ---

TEST(Sounds, SynchronousPlayReturnsWhenTheSoundHasEnded) {
    // From the file, and from the same file's bytes in memory.
    std::ifstream in(mediaPath("tone.wav"), std::ios::binary);
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(
        std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (bool fromMemory : {false, true}) {
        SCOPED_TRACE(fromMemory);
        SoundPlayer sounds;
        PcmCapture capture;
        const auto start = Clock::now();
        EXPECT_TRUE(fromMemory ? sounds.playBytes(bytes, true)
                               : sounds.play(mediaPath("tone.wav"), true));
        const double elapsed = secondsSince(start);
        // A 2 s sound, played in real time on the null output.
        EXPECT_GT(elapsed, 1.9);
        EXPECT_LT(elapsed, 6.0);
        EXPECT_FALSE(sounds.isPlaying());
        EXPECT_GE(capture.played().samples, 2u * 2 * 44100);
    }
}

TEST(Sounds, AsynchronousPlayReturnsWhileTheSoundPlaysUntilStopped) {
    SoundPlayer sounds;
    const auto start = Clock::now();
    EXPECT_TRUE(sounds.play(mediaPath("tone.wav"), false));
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_TRUE(sounds.isPlaying());
    // Another sound takes its place.
    EXPECT_TRUE(sounds.play(mediaPath("tone.wav"), false));
    EXPECT_TRUE(sounds.isPlaying());
    sounds.stopAll();
    EXPECT_FALSE(sounds.isPlaying());
    // Stopping with nothing playing is harmless.
    sounds.stopAll();
    EXPECT_FALSE(sounds.isPlaying());
}

TEST(Sounds, AnAsynchronousSoundEndsByItself) {
    SoundPlayer sounds;
    ASSERT_TRUE(sounds.play(mediaPath("tone.wav"), false));
    const auto start = Clock::now();
    while (sounds.isPlaying() && secondsSince(start) < 8.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(sounds.isPlaying());
    EXPECT_GT(secondsSince(start), 1.0);
}

TEST(Sounds, RefusesWhatHasNoSoundToPlay) {
    SoundPlayer sounds;
    for (const std::string& path : {mediaPath("no-such-sound.wav"), mediaPath("a-folder.avi"),
                                    mediaPath("notes.txt"), mediaPath("clip-mjpeg-noaudio.avi")}) {
        SCOPED_TRACE(path);
        for (bool synchronous : {true, false}) {
            const auto start = Clock::now();
            EXPECT_FALSE(sounds.play(path, synchronous));
            EXPECT_LT(secondsSince(start), 5.0);
            EXPECT_FALSE(sounds.isPlaying());
        }
    }
}

}  // namespace
}  // namespace ostrel::engine_test
