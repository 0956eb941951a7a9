// The output volume in nine levels: the probe at start, the setter of the
// settings dialog and the restore at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "app/Startup.h"
#include "playback/Volume.h"

namespace ostrel::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kOpen = "waveOutOpen(1,2,44100,88200,2,8,0)";

class VolumeTest : public PlaybackTest {};

struct Band {
    std::uint32_t volume;
    int level;
    int position;
};

class VolumeBandTest : public VolumeTest, public ::testing::WithParamInterface<Band> {};

TEST_P(VolumeBandTest, TheProbeReadsTheLevelAndTheBarPosition) {
    const Band& band = GetParam();
    fake.deviceVolume = band.volume;
    ASSERT_TRUE(probeVolume());
    EXPECT_EQ(fake.log, (Strings{kOpen, "waveOutGetVolume", "waveOutClose"}));
    EXPECT_EQ(state.currentVolume, band.volume);
    EXPECT_EQ(state.initialVolume, band.volume);
    EXPECT_EQ(state.volumeLevel, band.level);
    EXPECT_EQ(state.volumePos, band.position);
    EXPECT_EQ(volumeToLevel(band.volume), band.level);
    EXPECT_FALSE(state.waveOut);  // no device stays open
}

// Both ends of every band; the whole 32-bit value decides, so the right
// channel (high half) dominates.
INSTANTIATE_TEST_SUITE_P(EveryBandEdge, VolumeBandTest,
                         ::testing::Values(Band{0x00000000, 0, 0}, Band{0x00000001, 1, 1250},
                                           Band{0x22222222, 1, 1250}, Band{0x22222223, 2, 2500},
                                           Band{0x44444444, 2, 2500}, Band{0x44444445, 3, 3750},
                                           Band{0x66666666, 3, 3750}, Band{0x66666667, 4, 5000},
                                           Band{0x88888888, 4, 5000}, Band{0x88888889, 5, 6250},
                                           Band{0xAAAAAAAA, 5, 6250}, Band{0xAAAAAAAB, 6, 7500},
                                           Band{0xCCCCCCCC, 6, 7500}, Band{0xCCCCCCCD, 7, 8750},
                                           Band{0xEEEEEEEE, 7, 8750}, Band{0xEEEEEEEF, 8, 10000},
                                           Band{0xFFFFFFFF, 8, 10000}, Band{0x00001000, 1, 1250},
                                           Band{0x0000FFFF, 1, 1250}, Band{0xFFFF0000, 8, 10000},
                                           Band{0x2222FFFF, 2, 2500}, Band{0x22220000, 1, 1250}));

TEST_F(VolumeTest, TheProbeOpensTheDeviceWithTheFixedPcmFormat) {
    ASSERT_TRUE(probeVolume());
    EXPECT_EQ(state.probeFormat, (WaveFormat{1, 2, 44100, 88200, 2, 8, 0}));
}

TEST_F(VolumeTest, AProbeThatCannotOpenOrReadFailsAndLaterRestoresWriteNothing) {
    fake.script("waveOutOpen", {kMmError});
    EXPECT_FALSE(probeVolume());
    EXPECT_EQ(fake.log, Strings{kOpen});
    EXPECT_EQ(state.failure, Failure::NoWaveDevice);

    fake.clearLog();
    fake.script("waveOutGetVolume", {kMmError});
    EXPECT_FALSE(probeVolume());
    EXPECT_EQ(fake.log, (Strings{kOpen, "waveOutGetVolume", "waveOutClose"}));

    fake.clearLog();
    restoreVolume();
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(VolumeTest, TheSetterWritesTheLevelsValueToBothChannels) {
    const std::uint32_t written[9] = {0x00000000, 0x11111111, 0x33333333, 0x55555555, 0x77777777,
                                      0x99999999, 0xBBBBBBBB, 0xDDDDDDDD, 0xFFFFFFFF};
    ASSERT_TRUE(probeVolume());
    for (int level = 0; level <= 8; ++level) {
        SCOPED_TRACE(level);
        fake.clearLog();
        state.volumeLevel = level;
        setVolumeLevel();
        EXPECT_EQ(state.currentVolume, written[level]);
        EXPECT_EQ(fake.deviceVolume, written[level]);
        EXPECT_EQ(fake.log, (Strings{kOpen, "waveOutSetVolume(" + hex(written[level]) + ")",
                                     "waveOutClose"}));
        // What the setter writes reads back as the same level.
        EXPECT_EQ(volumeToLevel(written[level]), level);
    }
}

TEST_F(VolumeTest, ALevelOutsideTheTableWritesTheCurrentVolumeUnchanged) {
    fake.deviceVolume = 0x30003000;
    ASSERT_TRUE(probeVolume());
    for (int level : {9, -1}) {
        fake.clearLog();
        state.volumeLevel = level;
        setVolumeLevel();
        EXPECT_EQ(state.currentVolume, 0x30003000u);
        EXPECT_EQ(fake.calls("waveOutSetVolume"), Strings{"waveOutSetVolume(0x30003000)"});
    }
}

TEST_F(VolumeTest, SetterFailuresAreIgnoredAndTheValueIsKept) {
    ASSERT_TRUE(probeVolume());
    fake.clearLog();
    fake.script("waveOutOpen", {kMmError});
    state.volumeLevel = 3;
    setVolumeLevel();
    EXPECT_EQ(state.currentVolume, 0x55555555u);
    EXPECT_EQ(fake.log, Strings{kOpen});

    fake.clearLog();
    fake.script("waveOutSetVolume", {kMmError});
    state.volumeLevel = 6;
    setVolumeLevel();
    EXPECT_EQ(state.currentVolume, 0xBBBBBBBBu);
    EXPECT_EQ(fake.log.back(), "waveOutClose");
}

TEST_F(VolumeTest, TheRestoreWritesBackExactlyTheProbedValueAfterSeveralLevels) {
    fake.deviceVolume = 0x1234ABCD;  // an unbalanced value no level gives
    ASSERT_TRUE(probeVolume());
    for (int level : {3, 8, 0, 5}) {
        state.volumeLevel = level;
        setVolumeLevel();
    }
    EXPECT_EQ(fake.deviceVolume, 0x99999999u);
    fake.clearLog();
    restoreVolume();
    EXPECT_EQ(fake.log, (Strings{kOpen, "waveOutSetVolume(0x1234ABCD)", "waveOutClose"}));
    EXPECT_EQ(fake.deviceVolume, 0x1234ABCDu);
    EXPECT_EQ(state.initialVolume, 0x1234ABCDu);
}

TEST_F(VolumeTest, WithoutAnyLevelSetTheRestoreWritesTheValueThatWasRead) {
    fake.deviceVolume = 0x0000FFFF;
    ASSERT_TRUE(probeVolume());
    fake.clearLog();
    restoreVolume();
    EXPECT_EQ(fake.calls("waveOutSetVolume"), Strings{"waveOutSetVolume(0xFFFF)"});
}

TEST_F(VolumeTest, BeforeTheProbeTheRestoreWritesNothing) {
    restoreVolume();
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.deviceVolume, 0xFFFFFFFFu);
}

TEST_F(VolumeTest, RestoreFailuresAreIgnored) {
    ASSERT_TRUE(probeVolume());
    fake.clearLog();
    fake.script("waveOutOpen", {kMmError});
    restoreVolume();
    EXPECT_EQ(fake.log, Strings{kOpen});
}

// --- quitPlayer, whose first step the restore is

TEST_F(VolumeTest, QuitPlayerRestoresPostsAndShutsTheLibraryDownOnce) {
    fake.deviceVolume = 0x40004000;
    ASSERT_TRUE(probeVolume());
    state.volumeLevel = 8;
    setVolumeLevel();
    fake.clearLog();
    quitPlayer();
    EXPECT_EQ(fake.log, (Strings{kOpen, "waveOutSetVolume(0x40004000)", "waveOutClose",
                                 "PostQuitMessage(0)", "CoUninitialize"}));
    fake.clearLog();
    quitPlayer();
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(VolumeTest, QuitPlayerAfterAFailurePostsTheFailingExitCode) {
    setFailure(Failure::HandOverRejected, "x.avi");
    quitPlayer();
    EXPECT_EQ(fake.log, (Strings{"PostQuitMessage(1)", "CoUninitialize"}));
}

}  // namespace
}  // namespace ostrel::testing
