// The display objects: made in a fixed order, each step able to fail and
// leave what was made for the end of the run; the black fill of the video
// area; the release order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"

namespace ostrel::testing {
namespace {

using Strings = std::vector<std::string>;

class VideoSurfaceTest : public PlaybackTest {
protected:
    void SetUp() override {
        state.mainWindow = mainWindowHandle();
        fake.mainWindow = state.mainWindow;
    }
};

TEST_F(VideoSurfaceTest, MakesTheObjectsInOrderForTheDesktopInAWindow) {
    state.fullScreen = 1;
    ASSERT_EQ(createVideoSurface(), kOk);
    EXPECT_EQ(fake.log, (Strings{
                            "CoInitialize",
                            "CoCreateInstance(DirectDrawFactory)",
                            "CreateDirectDraw(0x1,8)",
                            "CreateSurface(primary flags=0x1 caps=0x200 size=108)",
                            "GetSurfaceDesc(primary)",
                            // the display's size and its whole pixel format
                            "CreateSurface(offscreen flags=0x1007 caps=0x40 size=108 "
                            "1024x768 format=1..32)",
                            "CreateClipper(0)",
                            "SetClipper(clipper)",
                            "SetHWnd(0,0x100)",
                        }));
    EXPECT_EQ(state.fullScreen, 0);
    EXPECT_TRUE(state.directDrawFactory && state.directDraw && state.primarySurface &&
                state.offscreenSurface && state.clipper);
    EXPECT_EQ(fake.liveObjects, 5);
    EXPECT_EQ(state.failure, Failure::None);
}

TEST_F(VideoSurfaceTest, AFailingComponentLibraryStartIsNotAFailure) {
    fake.script("CoInitialize", {kFail});
    EXPECT_EQ(createVideoSurface(), kOk);
    EXPECT_EQ(fake.liveObjects, 5);
}

struct SurfaceStep {
    const char* call;      // the scripted call that fails
    const char* lastLine;  // the last call made
    int objectsMade;       // factory, directDraw, primary, offscreen, clipper
    bool fullScreenCleared;
    std::vector<std::string> released;  // what the end of the run releases, in order
};

class VideoSurfaceStepTest : public VideoSurfaceTest,
                             public ::testing::WithParamInterface<SurfaceStep> {};

TEST_P(VideoSurfaceStepTest, StopsAtTheFailingStepAndTheEndOfTheRunReleasesWhatWasMade) {
    const SurfaceStep& step = GetParam();
    state.fullScreen = 1;
    fake.script(step.call, {kFail});
    EXPECT_EQ(createVideoSurface(), kFail);
    EXPECT_EQ(state.failure, Failure::NoVideoSurface);
    EXPECT_EQ(state.fullScreen, step.fullScreenCleared ? 0 : 1);
    // Nothing after the failing call, nothing released yet.
    EXPECT_EQ(fake.log.back(), step.lastLine);
    EXPECT_TRUE(releases().empty());
    bool made[5] = {bool(state.directDrawFactory), bool(state.directDraw),
                    bool(state.primarySurface), bool(state.offscreenSurface), bool(state.clipper)};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(made[i], i < step.objectsMade) << "object " << i;

    // Start-up's answer: shutdownPlayback. Before the volume probe there is
    // no volume to give back.
    std::size_t before = fake.log.size();
    shutdownPlayback();
    Strings expected = step.released;
    expected.push_back("PostQuitMessage(1)");
    expected.push_back("CoUninitialize");
    EXPECT_EQ(logFrom(before), expected);
    EXPECT_EQ(fake.count("waveOut"), 0);
    EXPECT_EQ(fake.liveObjects, 0);
}

const Strings kAllFive = {"Release(factory)", "Release(primary)", "Release(offscreen)",
                          "Release(clipper)", "Release(directDraw)"};

INSTANTIATE_TEST_SUITE_P(
    EachStep, VideoSurfaceStepTest,
    ::testing::Values(
        SurfaceStep{"CoCreateInstance(DirectDrawFactory)",
                    "CoCreateInstance(DirectDrawFactory)",
                    0,
                    false,
                    {}},
        SurfaceStep{"CreateDirectDraw", "CreateDirectDraw(0x1,8)", 1, false, {"Release(factory)"}},
        SurfaceStep{"CreateSurface(primary)",
                    "CreateSurface(primary flags=0x1 caps=0x200 size=108)",
                    2,
                    true,
                    {"Release(factory)", "Release(directDraw)"}},
        SurfaceStep{"GetSurfaceDesc",
                    "GetSurfaceDesc(primary)",
                    3,
                    true,
                    {"Release(factory)", "Release(primary)", "Release(directDraw)"}},
        SurfaceStep{
            "CreateSurface(offscreen)",
            "CreateSurface(offscreen flags=0x1007 caps=0x40 size=108 1024x768 format=1..32)",
            3,
            true,
            {"Release(factory)", "Release(primary)", "Release(directDraw)"}},
        SurfaceStep{
            "CreateClipper",
            "CreateClipper(0)",
            4,
            true,
            {"Release(factory)", "Release(primary)", "Release(offscreen)", "Release(directDraw)"}},
        SurfaceStep{"SetClipper", "SetClipper(clipper)", 5, true, kAllFive},
        SurfaceStep{"SetHWnd", "SetHWnd(0,0x100)", 5, true, kAllFive}));

TEST_F(VideoSurfaceTest, ReleasesFactoryFirstAndTheDirectDrawObjectLast) {
    ASSERT_EQ(createVideoSurface(), kOk);
    fake.clearLog();
    releaseVideoSurface();
    EXPECT_EQ(fake.log, kAllFive);
    EXPECT_FALSE(state.directDrawFactory || state.directDraw || state.primarySurface ||
                 state.offscreenSurface || state.clipper);
    fake.clearLog();
    releaseVideoSurface();
    EXPECT_TRUE(fake.log.empty());
}

// --- the black video area

class ClearVideoAreaTest : public VideoSurfaceTest {
protected:
    void SetUp() override {
        VideoSurfaceTest::SetUp();
        ASSERT_EQ(createVideoSurface(), kOk);
        fake.clearLog();
    }
    const std::string fill_ =
        "BltFill(primary 204,250,658,580 src=204,250,658,580 "
        "flags=0x400 fill=0/100)";
};

TEST_F(ClearVideoAreaTest, PaintsTheWholeClientAreaInScreenCoordinatesWithoutWaiting) {
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kOk);
    EXPECT_EQ(fake.log, (Strings{"GetClientRect", "ClientToScreen", "ClientToScreen", fill_}));
}

TEST_F(ClearVideoAreaTest, TheAreaFollowsTheWindow) {
    // A client area that does not start at 0,0 is converted corner by corner.
    fake.clientRect = {3, 40, 803, 640};
    fake.clientOrigin = {-100, 10};
    clearVideoArea(state.primarySurface.get());
    EXPECT_EQ(fake.calls("BltFill"),
              Strings{"BltFill(primary -97,50,703,650 src=-97,50,703,650 flags=0x400 fill=0/100)"});
}

TEST_F(ClearVideoAreaTest, ABusyDisplayIsAskedAgainAtOnceUntilItTakesTheFill) {
    fake.script("BltFill", {kStillDrawing, kStillDrawing, kStillDrawing, kStillDrawing,
                            kStillDrawing, kStillDrawing, kStillDrawing, kOk});
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kOk);
    EXPECT_EQ(fake.count("BltFill"), 8);
    // The area is taken once; the retries are the fill alone.
    EXPECT_EQ(fake.count("GetClientRect"), 1);
    EXPECT_EQ(fake.log.size(), 3u + 8u);
}

TEST_F(ClearVideoAreaTest, ALostSurfaceIsReportedAndNotRestored) {
    fake.script("BltFill", {kStillDrawing, kSurfaceLost, kOk});
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kSurfaceLost);
    EXPECT_EQ(fake.count("BltFill"), 2);
}

TEST_F(ClearVideoAreaTest, AnyOtherAnswerIsReturnedAsItIs) {
    const Status invalid = static_cast<Status>(0x80070057u);
    fake.script("BltFill", {invalid, 1});
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), invalid);
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), 1);
    EXPECT_EQ(fake.count("BltFill"), 2);
}

TEST_F(ClearVideoAreaTest, WithoutASurfaceNothingIsTouched) {
    releaseVideoSurface();
    fake.clearLog();
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kFail);
    EXPECT_TRUE(fake.log.empty());
}

}  // namespace
}  // namespace ostrel::testing
