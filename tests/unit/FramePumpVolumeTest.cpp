// The frame pump: one frame a call onto the whole video area, the end-frame
// limit, the end of an item and the walk through the list, a failing blit
// ending the run. The output volume in nine levels: probe, setter, restore.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

const std::string kBlit = "Blt(primary,offscreen,204,250,658,580,0,0,320,240,0x1000000,no fx)";

class FramePumpTest : public UiTest {
protected:
    // Items of `each` frames in slots 0..n-1 as the configuration gives
    // them, item `index` running; the log empty.
    void list(int n, int each, int index = 0) {
        for (int i = 0; i < n; ++i)
            copyText(state.playlist[i], clip(format("item%d.avi", i), {each}).c_str());
        state.itemCount = n, state.currentItem = index;
        EXPECT_EQ(setupCurrentItem(), 1);
        fake.log.clear();
    }
    // What the main loop does: pump while there is input and playback is on.
    void pumpWhilePlaying() {
        for (int calls = 0; state.haveInput && state.playing && calls < 10000; ++calls)
            ASSERT_EQ(pumpFrame(), kOk);
    }
};

TEST_F(FramePumpTest, EachFrameIsScaledOntoTheVideoAreaTakenAfresh) {
    list(1, 75);
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(logText(), "Update(0) GetClientRect() ClientToScreen() ClientToScreen() " + kBlit +
                             " SetCursor(null)");
    EXPECT_EQ(state.frameCount, 1);
    fake.clientOrigin = {10, 20};        // the window moved
    fake.clientRect = {0, 0, 800, 600};  // and grew
    pumpFrame();
    EXPECT_EQ(fake.calls("Blt(").back(),
              "Blt(primary,offscreen,10,20,810,620,0,0,320,240,0x1000000,no fx)");
    EXPECT_EQ(state.destRect, (Rect{10, 20, 810, 620}));
}

TEST_F(FramePumpTest, EndFrameFiveShowsSixFramesAndTheCountRunsOnAcrossItems) {
    list(1, 75);
    state.endFrame = 5;
    pumpWhilePlaying();
    // The limit is tested before the update; it stops the stream and no more.
    EXPECT_EQ(fake.count("Blt("), 6);
    EXPECT_EQ(fake.count("Update(") + fake.count("SetCursor"), 12);
    EXPECT_EQ(fake.log.back(), "SetState(Stop)");
    EXPECT_EQ(playState(), "001 0/1 0,5,0,6");
    EXPECT_TRUE(state.streamSample);
    // Three items of 40 frames and a limit of 100: the 101st frame is the
    // 21st of the third item.
    list(3, 40);
    state.frameCount = 0, state.endFrame = 100;
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 101);
    EXPECT_EQ(playState(), "001 2/3 0,100,0,101");
}

TEST_F(FramePumpTest, AListPlaysThroughInOrderAndStopsAtItsFirstEntry) {
    list(3, 4);
    state.selectedItem = 3;
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 12);
    EXPECT_EQ(fake.count("Update("), 12 + 3);
    EXPECT_EQ(logOf({"OpenFile"}), "OpenFile(item1.avi,0) OpenFile(item2.avi,0)");
    EXPECT_EQ(joined(Lines(fake.log.end() - 3, fake.log.end())),
              "Update(0) SetState(Stop) SetCursor(null)");
    EXPECT_EQ(playState(), "001 0/3 0,0,0,12");
    EXPECT_EQ(state.selectedItem + state.trackPos, 0);
    // The stopped stream is kept until something replaces it.
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    EXPECT_EQ(fake.count("Release("), 2 * 4);
    // An item from the command line is a list of none: it ends the same way.
    list(1, 3);
    state.itemCount = 0;
    pumpWhilePlaying();
    EXPECT_EQ(playState(), "001 0/0 0,0,0,15");
    EXPECT_EQ(fake.count("Release("), 0);
}

TEST_F(FramePumpTest, TheEndOfAnItemGoesOnOrWrapsOrStays) {
    const struct {
        int items, index, next;
        bool opensNext;
    } cases[] = {{5, 1, 2, true}, {5, 4, 0, false}, {kPlaylistSlots, 97, 97, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        list(c.items, 2, c.index);
        state.selectedItem = 12, state.trackPos = 3333;
        fake.script("Update", {kEndOfStream});
        EXPECT_EQ(pumpFrame(), kOk);
        EXPECT_EQ(state.currentItem, c.next);
        EXPECT_EQ(state.playing, c.opensNext);
        EXPECT_EQ(state.haveInput, 1);
        // The item before is released, then the next is set up.
        std::string next = format("item%d.avi", c.next);
        EXPECT_EQ(logOf({"Update", "SetState", "Release", "Exists", "OpenFile"}),
                  c.opensNext ? "Update(0) SetState(Stop) Release(stream) Release(sample) "
                                "Release(ddStream) Release(videoStream) Exists(" +
                                    next + ") OpenFile(" + next + ",0) SetState(Run)"
                              : "Update(0) SetState(Stop)");
        EXPECT_EQ(fake.log.back(), "SetCursor(null)");
        EXPECT_EQ(state.selectedItem, c.next == 0 ? 0 : 12);
        EXPECT_EQ(state.trackPos, c.next == c.index ? 3333 : 0);
    }
}

TEST_F(FramePumpTest, AnyUpdateAnswerButANewFrameEndsTheItem) {
    for (Status answer : {kEndOfStream, Status{1}, kFail, static_cast<Status>(0x8004025Fu)}) {
        SCOPED_TRACE(answer);
        list(2, 50);
        fake.script("Update", {answer});
        EXPECT_EQ(pumpFrame(), kOk);
        EXPECT_EQ(fake.count("Blt("), 0);
        EXPECT_EQ(fake.log[1], "SetState(Stop)");
        EXPECT_EQ(playState(), "101 1/2 0,0,0,0");
    }
}

TEST_F(FramePumpTest, ANextItemThatCannotBeSetUpEndsTheRunButThePumpGoesOn) {
    list(2, 3);
    std::filesystem::remove(path("item1.avi"));
    fake.script("Update", {kEndOfStream});
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    expectRunEnded(0x12345678, 1);
}

TEST_F(FramePumpTest, TheStartFrameAppliesToEveryItemSetUpWhileItIsGiven) {
    state.startFrame = 2, state.totalFrames = 5;
    list(3, 5);  // 5 frames: 2000000 long, so frame 2 of 5 is at 800000
    pumpWhilePlaying();
    EXPECT_EQ(logOf({"Seek"}), "Seek(800000) Seek(800000)");
    EXPECT_EQ(fake.count("Blt("), 9);  // 3 frames of each item
}

TEST_F(FramePumpTest, APositiveBlitIsShownAndAFailingOneEndsTheRunWithoutTeardown) {
    list(1, 75);
    fake.script("Blt", {kEndOfStream, 1});
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.count("SetCursor(null)") + state.frameCount, 4);
    for (Status error : {kSurfaceLost, kFail, static_cast<Status>(0x88760096u)}) {
        fake.log.clear();
        fake.script("Blt", {error});
        EXPECT_EQ(pumpFrame(), kFail);
        EXPECT_EQ(fake.log.back(), kBlit);
        EXPECT_EQ(state.frameCount, 2);
        EXPECT_EQ(state.failure, Failure::BlitFailed);
        // Nothing is released, restored or posted: the process end reclaims it.
        EXPECT_EQ(fake.count("Release(") + fake.count("waveOut") + fake.count("PostQuit"), 0);
    }
    // Without a stream the item ends instead of a missing object being used.
    releaseMediaStream();
    fake.log.clear();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(logText(), "SetCursor(null)");
    EXPECT_EQ(state.playing, 0);
}

// ---------------------------------------------------------------- volume

const std::string kOpen = "waveOutOpen(1,2,44100,88200,2,8,0)";
using VolumeTest = PlayerTest;

TEST_F(VolumeTest, TheProbeReadsTheLevelAndTheBarPosition) {
    // Both ends of every band. The whole value is compared unsigned, so the
    // right channel (the high half) decides.
    const std::pair<std::uint32_t, int> bands[] = {
        {0x00000000, 0}, {0x00000001, 1}, {0x22222222, 1}, {0x22222223, 2}, {0x44444444, 2},
        {0x44444445, 3}, {0x66666666, 3}, {0x66666667, 4}, {0x88888888, 4}, {0x88888889, 5},
        {0xAAAAAAAA, 5}, {0xAAAAAAAB, 6}, {0xCCCCCCCC, 6}, {0xCCCCCCCD, 7}, {0xEEEEEEEE, 7},
        {0xEEEEEEEF, 8}, {0xFFFFFFFF, 8}, {0x0000FFFF, 1}, {0xFFFF0000, 8}, {0x2222FFFF, 2},
        {0x22220000, 1}};
    for (auto [volume, level] : bands) {
        SCOPED_TRACE(volume);
        fake.log.clear();
        fake.deviceVolume = volume;
        ASSERT_TRUE(probeVolume());
        EXPECT_EQ(logText(), kOpen + " waveOutGetVolume() waveOutClose()");
        EXPECT_EQ(state.initialVolume, volume);
        EXPECT_EQ(state.volumeLevel, level);
        EXPECT_EQ(state.volumePos, level * 1250);
    }
}

TEST_F(VolumeTest, AProbeThatCannotOpenOrReadFailsAndNothingIsRestored) {
    fake.script("waveOutOpen", {kMmError});
    EXPECT_FALSE(probeVolume());
    EXPECT_EQ(logText(), kOpen);
    EXPECT_EQ(state.failure, Failure::NoWaveDevice);
    fake.log.clear();
    fake.script("waveOutGetVolume", {kMmError});
    EXPECT_FALSE(probeVolume());
    EXPECT_EQ(logText(), kOpen + " waveOutGetVolume() waveOutClose()");
    fake.log.clear();
    restoreVolume();  // never an unprobed zero
    quitPlayer();
    EXPECT_EQ(logText(), "CoUninitialize()");
}

TEST_F(VolumeTest, LevelsAreWrittenToBothChannelsAndTheProbedValueComesBack) {
    fake.deviceVolume = 0x1234ABCD;  // unbalanced: no level gives it
    ASSERT_TRUE(probeVolume());
    const std::uint32_t written[9] = {0x00000000, 0x11111111, 0x33333333, 0x55555555, 0x77777777,
                                      0x99999999, 0xBBBBBBBB, 0xDDDDDDDD, 0xFFFFFFFF};
    for (int level = 0; level <= 8; ++level) {
        fake.log.clear();
        state.volumeLevel = level;
        setVolumeLevel();
        EXPECT_EQ(logText(), format("%s waveOutSetVolume(0x%X) waveOutClose()", kOpen.c_str(),
                                    written[level]));
        EXPECT_EQ(volumeToLevel(written[level]), level);  // reads back as the same level
    }
    for (int outside : {9, -1}) {  // outside the table: the current value again
        state.volumeLevel = outside;
        setVolumeLevel();
        EXPECT_EQ(fake.calls("waveOutSetVolume").back(), "waveOutSetVolume(0xFFFFFFFF)");
    }
    fake.script("waveOutOpen", {kMmError});  // failures are ignored
    state.volumeLevel = 3;
    setVolumeLevel();
    fake.script("waveOutSetVolume", {kMmError});
    state.volumeLevel = 6;
    setVolumeLevel();
    EXPECT_EQ(state.currentVolume, 0xBBBBBBBBu);
    EXPECT_EQ(fake.deviceVolume, 0xFFFFFFFFu);
    // quitPlayer restores exactly what the probe found and shuts the library
    // down; a restore that cannot open is let go.
    fake.log.clear();
    quitPlayer();
    EXPECT_EQ(logText(), kOpen + " waveOutSetVolume(0x1234ABCD) waveOutClose() CoUninitialize()");
    fake.log.clear();
    fake.script("waveOutOpen", {kMmError});
    quitPlayer();
    EXPECT_EQ(logText(), kOpen + " CoUninitialize()");
}

}  // namespace
}  // namespace ostrel::test
