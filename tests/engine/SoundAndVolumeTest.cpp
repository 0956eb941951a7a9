// The player's sounds and its output volume: sounds play to their end or
// are stopped, and the 32-bit wave volume scales the samples that reach the
// output as a linear amplitude, in streams already open as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "EngineMedia.h"
#include "platform/qt/MpvEngine.h"

namespace ostrel::engine_test {
namespace {

using platform::kOk;
using platform::qt::MpvEngine;
using platform::qt::outputVolume;
using platform::qt::setOutputVolume;
using platform::qt::softwareVolume;
using platform::qt::SoundPlayer;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every test leaves the process at full volume, as the player starts.
class OutputVolume : public ::testing::Test {
protected:
    void TearDown() override { setOutputVolume(0xFFFFFFFFu); }
};

// The amplitude libmpv applies for a software volume (its volume is cubic).
double amplitudeOf(double volume) {
    return std::pow(volume / 100.0, 3.0);
}

TEST_F(OutputVolume, IsFullScaleAtStartAndReadsBackWhatWasSet) {
    EXPECT_EQ(outputVolume(), 0xFFFFFFFFu);
    setOutputVolume(0x12345678u);
    EXPECT_EQ(outputVolume(), 0x12345678u);
}

TEST_F(OutputVolume, SoftwareVolumeGivesTheLouderChannelsAmplitude) {
    EXPECT_DOUBLE_EQ(softwareVolume(0), 0.0);
    EXPECT_DOUBLE_EQ(softwareVolume(0xFFFFFFFFu), 100.0);
    // Half the amplitude, an eighth, one step of the player's nine levels.
    EXPECT_NEAR(amplitudeOf(softwareVolume(0x80008000u)), 0x8000 / 65535.0, 1e-9);
    EXPECT_NEAR(amplitudeOf(softwareVolume(0x20002000u)), 0x2000 / 65535.0, 1e-9);
    EXPECT_NEAR(amplitudeOf(softwareVolume(0x11111111u)), 0x1111 / 65535.0, 1e-9);
    // One channel alone, either one, and an unbalanced pair: the louder one.
    EXPECT_DOUBLE_EQ(softwareVolume(0x0000FFFFu), 100.0);
    EXPECT_DOUBLE_EQ(softwareVolume(0xFFFF0000u), 100.0);
    EXPECT_DOUBLE_EQ(softwareVolume(0x40000000u), softwareVolume(0x00004000u));
    EXPECT_DOUBLE_EQ(softwareVolume(0x40002000u), softwareVolume(0x40004000u));
    // Louder values never give a lower volume.
    double previous = -1;
    for (std::uint32_t channel = 0; channel <= 0xFFFF; channel += 0x0FFF) {
        const double volume = softwareVolume(channel << 16 | channel);
        EXPECT_GT(volume, previous);
        previous = volume;
    }
}

TEST_F(OutputVolume, ScalesTheSamplesOfASound) {
    const PcmPeak source = wavPeak(mediaPath("tone.wav"));
    ASSERT_GT(source.peak, 1000);
    const std::string dir = makeScratchDir();
    const struct {
        std::uint32_t wave;
        double amplitude;
    } cases[] = {
        {0xFFFFFFFFu, 1.0},  {0x80008000u, 0.5},  {0x20002000u, 0.125},
        {0x00004000u, 0.25}, {0x40000000u, 0.25}, {0x00000000u, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wave);
        const std::string out = dir + "/out.wav";
        setOutputVolume(c.wave);
        {
            ScopedEnv pcm("OSTREL_AUDIO_OUT", "pcm:" + out);
            SoundPlayer sounds;
            ASSERT_TRUE(sounds.play(mediaPath("tone.wav"), true));
        }
        const PcmPeak written = wavPeak(out);
        ASSERT_GE(written.peak, 0) << "no 16-bit PCM written";
        EXPECT_EQ(written.samples, source.samples);
        EXPECT_NEAR(written.peak, source.peak * c.amplitude, 2.0 + source.peak * 0.01);
        std::remove(out.c_str());
    }
    ::rmdir(dir.c_str());
}

TEST_F(OutputVolume, ReachesAStreamThatIsAlreadyOpen) {
    const std::string dir = makeScratchDir();
    const std::string out = dir + "/stream.wav";
    {
        ScopedEnv pcm("OSTREL_AUDIO_OUT", "pcm:" + out);
        MpvEngine engine;
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
    const PcmPeak written = wavPeak(out);
    ASSERT_GT(written.samples, 44100u * 2);
    EXPECT_NEAR(written.peak, source.peak * 0.25, 2.0 + source.peak * 0.01);
    std::remove(out.c_str());
    ::rmdir(dir.c_str());
}

// --- Sounds ---

TEST(Sounds, SynchronousPlayReturnsWhenTheSoundHasEnded) {
    SoundPlayer sounds;
    const auto start = Clock::now();
    EXPECT_TRUE(sounds.play(mediaPath("tone.wav"), true));
    const double elapsed = secondsSince(start);
    // A 2 s sound, played in real time on the null output.
    EXPECT_GT(elapsed, 1.5);
    EXPECT_LT(elapsed, 6.0);
    EXPECT_FALSE(sounds.isPlaying());
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
