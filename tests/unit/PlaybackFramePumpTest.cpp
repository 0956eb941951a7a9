// The frame pump: one frame per call onto the whole video area, the
// end-frame limit, the end of an item and the walk through the list, and a
// failing blit that ends the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "app/Startup.h"
#include "playback/FramePump.h"
#include "playback/MediaStream.h"

namespace ostrel::testing {
namespace {

using Strings = std::vector<std::string>;

class FramePumpTest : public PlaybackTest {
protected:
    void SetUp() override { startPlayer(); }

    MediaInfo frames(int count) {
        MediaInfo info;
        info.frames = count;
        return info;
    }

    // Fills slots 0..n-1 with items of `each` frames; the configuration's
    // way, so itemCount is n.
    std::vector<std::string> makeList(int n, int each) {
        std::vector<std::string> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(addItem(i, "item" + std::to_string(i) + ".avi", frames(each)));
        state.itemCount = n;
        return paths;
    }

    // What the main loop does: pump while there is input and playback is on.
    int pumpWhilePlaying(int limit = 10000) {
        int calls = 0;
        while (state.haveInput && state.playing && calls < limit) {
            EXPECT_EQ(pumpFrame(), kOk);
            ++calls;
        }
        return calls;
    }

    const std::string blit_ =
        "Blt(primary<-offscreen 204,250,658,580 src=0,0,320,240 flags=0x1000000)";
};

TEST_F(FramePumpTest, OneFrameIsUpdatedThenScaledOntoTheWholeVideoArea) {
    addItem(0, "a.avi");
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.log, (Strings{"Update(0)", "GetClientRect", "ClientToScreen", "ClientToScreen",
                                 blit_, "SetCursor(null)"}));
    EXPECT_EQ(state.frameCount, 1);
    EXPECT_EQ(state.destRect, (Rect{204, 250, 658, 580}));
}

TEST_F(FramePumpTest, TheVideoAreaIsTakenAfreshForEveryFrame) {
    addItem(0, "a.avi");
    ASSERT_EQ(setupCurrentItem(), 1);
    pumpFrame();
    fake.clientOrigin = {10, 20};        // the window moved
    fake.clientRect = {0, 0, 800, 600};  // and grew
    pumpFrame();
    EXPECT_EQ(fake.calls("Blt("), (Strings{blit_,
                                           "Blt(primary<-offscreen 10,20,810,620 src=0,0,320,240 "
                                           "flags=0x1000000)"}));
    EXPECT_EQ(state.destRect, (Rect{10, 20, 810, 620}));
}

// --- the end-frame limit

TEST_F(FramePumpTest, EndFrameFiveShowsSixFramesThenStopsTheStream) {
    addItem(0, "a.avi", frames(75));
    state.endFrame = 5;
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    int calls = pumpWhilePlaying();
    EXPECT_EQ(calls, 7);  // six frames, then the call that finds the limit
    EXPECT_EQ(fake.count("Blt("), 6);
    EXPECT_EQ(state.frameCount, 6);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.currentItem, 0);
    // The limit stops the stream and nothing else: no update, no pointer.
    EXPECT_EQ(fake.log.back(), "SetState(Stop)");
    EXPECT_EQ(fake.count("Update("), 6);
    EXPECT_EQ(fake.count("SetCursor"), 6);
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    EXPECT_TRUE(releases().empty());
}

TEST_F(FramePumpTest, WithoutAnEndFrameTheItemPlaysToItsEnd) {
    addItem(0, "a.avi", frames(30));
    ASSERT_EQ(setupCurrentItem(), 1);
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 30);
    EXPECT_EQ(fake.calls("Update(").size(), 31u);
}

TEST_F(FramePumpTest, TheFrameCountRunsOnAcrossItems) {
    // Three items of 40 frames and a limit of 100: the 101st frame is the
    // 21st of the third item.
    makeList(3, 40);
    state.endFrame = 100;
    ASSERT_EQ(setupCurrentItem(), 1);
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 101);
    EXPECT_EQ(state.frameCount, 101);
    EXPECT_EQ(state.currentItem, 2);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(fake.count("OpenFile"), 3);
}

// --- the end of an item

TEST_F(FramePumpTest, TheEndOfTheOnlyItemLeavesThePlayerStoppedAtTheFirstEntry) {
    addItem(0, "a.avi", frames(3));
    state.itemCount = 0;  // the item came from the command line
    ASSERT_EQ(setupCurrentItem(), 1);
    state.selectedItem = 4;
    state.trackPos = 6000;
    fake.clearLog();
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 3);
    Strings tail(fake.log.end() - 3, fake.log.end());
    EXPECT_EQ(tail, (Strings{"Update(0)", "SetState(Stop)", "SetCursor(null)"}));
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.selectedItem, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.playing, 0);
    // The stopped stream is kept until something else replaces it.
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    EXPECT_TRUE(releases().empty());
}

class UpdateAnswerTest : public FramePumpTest, public ::testing::WithParamInterface<Status> {};

TEST_P(UpdateAnswerTest, AnyUpdateAnswerButANewFrameEndsTheItem) {
    makeList(2, 50);
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.script("Update", {GetParam()});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.count("Blt("), 0);
    EXPECT_EQ(state.frameCount, 0);
    EXPECT_EQ(state.currentItem, 1);
    EXPECT_EQ(fake.log[1], "SetState(Stop)");
    EXPECT_EQ(fake.count("OpenFile"), 1);
    EXPECT_EQ(state.playing, 1);  // the next item runs
}

INSTANTIATE_TEST_SUITE_P(EachAnswer, UpdateAnswerTest,
                         ::testing::Values(kEndOfStream, 1, kFail,
                                           static_cast<Status>(0x8004025Fu)));

TEST_F(FramePumpTest, TheEndOfAMiddleItemOpensTheNextEntry) {
    auto paths = makeList(5, 10);
    state.currentItem = 1;  // item 2 of 5
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.script("Update", {kEndOfStream});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.currentItem, 2);
    Strings head(fake.log.begin(), fake.log.begin() + 7);
    EXPECT_EQ(head,
              (Strings{"Update(0)", "SetState(Stop)", "Release(stream)", "Release(sample)",
                       "Release(ddStream)", "Release(videoStream)", "Exists(" + paths[2] + ")"}));
    EXPECT_EQ(fake.calls("OpenFile"), Strings{"OpenFile(" + paths[2] + ",0)"});
    Strings tail(fake.log.end() - 2, fake.log.end());
    EXPECT_EQ(tail, (Strings{"SetState(Run)", "SetCursor(null)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.haveInput, 1);
}

TEST_F(FramePumpTest, TheEndOfTheLastItemWrapsToTheFirstAndStops) {
    makeList(5, 10);
    state.currentItem = 4;
    ASSERT_EQ(setupCurrentItem(), 1);
    state.selectedItem = 5;
    state.trackPos = 900;
    fake.script("Update", {kEndOfStream});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.log, (Strings{"Update(0)", "SetState(Stop)", "SetCursor(null)"}));
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.selectedItem, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 1);
}

TEST_F(FramePumpTest, AWholeListPlaysThroughInOrderAndEndsAtTheFirstEntry) {
    auto paths = makeList(3, 4);
    ASSERT_EQ(setupCurrentItem(), 1);
    pumpWhilePlaying();
    EXPECT_EQ(fake.count("Blt("), 12);
    EXPECT_EQ(fake.calls("OpenFile"),
              (Strings{"OpenFile(" + paths[0] + ",0)", "OpenFile(" + paths[1] + ",0)",
                       "OpenFile(" + paths[2] + ",0)"}));
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(FramePumpTest, AFullListStaysOnItsLastSlot) {
    makeList(kPlaylistSlots, 2);
    state.currentItem = 97;
    ASSERT_EQ(setupCurrentItem(), 1);
    state.selectedItem = 12;
    state.trackPos = 3333;
    fake.script("Update", {kEndOfStream});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(fake.log, (Strings{"Update(0)", "SetState(Stop)", "SetCursor(null)"}));
    EXPECT_EQ(state.currentItem, 97);
    EXPECT_EQ(state.selectedItem, 12);
    EXPECT_EQ(state.trackPos, 3333);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 1);
}

TEST_F(FramePumpTest, ANextItemThatCannotBeSetUpEndsTheRunButThePumpReturnsOk) {
    auto paths = makeList(2, 3);
    ASSERT_EQ(setupCurrentItem(), 1);
    std::filesystem::remove(paths[1]);
    fake.script("Update", {kEndOfStream});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(fake.count("PostQuitMessage"), 1);
    EXPECT_EQ(fake.log.back(), "SetCursor(null)");
    EXPECT_EQ(fake.liveObjects, 0);
    for (const auto& line : fake.log)
        EXPECT_EQ(line.find("after CoUninitialize"), std::string::npos) << line;
}

// --- the start frame on every item

TEST_F(FramePumpTest, TheStartFrameAppliesToEveryItemSetUpWhileItIsGiven) {
    makeList(3, 5);  // 5 frames of 400000: 2000000 long
    state.startFrame = 2;
    state.totalFrames = 5;
    ASSERT_EQ(setupCurrentItem(), 1);
    pumpWhilePlaying();
    // 2 * 2000000 / 5 = 800000 for each item; from there each plays 3 frames.
    EXPECT_EQ(fake.calls("Seek"), (Strings{"Seek(800000)", "Seek(800000)", "Seek(800000)"}));
    EXPECT_EQ(fake.count("Blt("), 9);
}

// --- the blit

TEST_F(FramePumpTest, ABlitAnsweringAPositiveStatusIsCountedAsShown) {
    addItem(0, "a.avi");
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.script("Blt", {kEndOfStream, 1});
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.frameCount, 2);
    EXPECT_EQ(fake.count("SetCursor(null)"), 2);
    EXPECT_EQ(state.failure, Failure::None);
}

class BlitFailureTest : public FramePumpTest, public ::testing::WithParamInterface<Status> {};

TEST_P(BlitFailureTest, AFailingBlitEndsTheRunAtOnceWithoutTeardown) {
    addItem(0, "a.avi");
    ASSERT_EQ(setupCurrentItem(), 1);
    state.frameCount = 3;
    fake.script("Blt", {GetParam()});
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kFail);
    EXPECT_EQ(fake.log.back().rfind("Blt(", 0), 0u);
    EXPECT_EQ(state.frameCount, 3);
    EXPECT_EQ(fake.count("SetCursor"), 0);
    EXPECT_EQ(state.failure, Failure::BlitFailed);
    // Nothing is released, restored or posted: the process end reclaims it.
    EXPECT_TRUE(releases().empty());
    EXPECT_EQ(fake.count("waveOut") + fake.count("PostQuitMessage") + fake.count("CoUninit"), 0);
    EXPECT_TRUE(state.multiMediaStream && state.primarySurface);
}

INSTANTIATE_TEST_SUITE_P(EachError, BlitFailureTest,
                         ::testing::Values(kSurfaceLost, kFail, static_cast<Status>(0x88760096u)));

TEST_F(FramePumpTest, WithoutAStreamThePumpEndsTheItemInsteadOfTouchingIt) {
    // After the end of the run nothing is left to pull frames from; the
    // pump stands still instead of using a missing object.
    addItem(0, "a.avi");
    ASSERT_EQ(setupCurrentItem(), 1);
    releaseMediaStream();
    fake.clearLog();
    EXPECT_EQ(pumpFrame(), kOk);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(fake.log, Strings{"SetCursor(null)"});
}

}  // namespace
}  // namespace ostrel::testing
