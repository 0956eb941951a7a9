// The display objects and the current item's stream: made in a fixed order,
// every step made to fail in turn with what the end of the run then
// releases, shows and restores; the black video area; the start frame.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

// "Release(name)" for each of the blank-separated `names`.
Lines releases(const std::string& names) {
    Lines out;
    for (std::size_t from = 0; from < names.size();) {
        std::size_t end = std::min(names.find(' ', from), names.size());
        out.push_back("Release(" + names.substr(from, end - from) + ")");
        from = end + 1;
    }
    return out;
}

const Lines kSurfaceReleases = {"Release(factory)", "Release(primary)", "Release(offscreen)",
                                "Release(clipper)", "Release(directDraw)"};
const Lines kStreamReleases = {"Release(stream)", "Release(sample)", "Release(ddStream)",
                               "Release(videoStream)"};
const Lines kRestore = {"waveOutOpen(1,2,44100,88200,2,8,0)", "waveOutSetVolume(0x12345678)",
                        "waveOutClose"};
const std::string kCodecBox = "MessageBox(0x0,Codec is not available ...,Codec problem,0x30)";

class VideoSurfaceTest : public PlayerTest {
protected:
    void SetUp() override { state.mainWindow = fake.mainWindow = mainWindow; }
};

TEST_F(VideoSurfaceTest, MakesTheObjectsInOrderAndReleasesThemInTheirOwn) {
    state.fullScreen = 1;
    fake.script("CoInitialize", {kFail});  // a library started before is as good
    ASSERT_EQ(createVideoSurface(), kOk);
    EXPECT_EQ(fake.log, kSurfaceLog);
    EXPECT_EQ(state.fullScreen, 0);  // the player always draws into its window
    EXPECT_EQ(fake.liveObjects, 5);
    fake.clearLog();
    releaseVideoSurface();
    releaseVideoSurface();
    EXPECT_EQ(fake.log, kSurfaceReleases);
}

struct SurfaceStep {
    const char* call;      // the call made to fail
    int calls;             // the calls made, the failing one the last
    int made;              // of factory, directDraw, primary, offscreen, clipper
    const char* released;  // by the end of the run, in order
};

class SurfaceStepTest : public VideoSurfaceTest,
                        public ::testing::WithParamInterface<SurfaceStep> {};

TEST_P(SurfaceStepTest, StopsThereAndTheEndOfTheRunReleasesWhatWasMade) {
    const SurfaceStep& step = GetParam();
    state.fullScreen = 1;
    fake.script(step.call, {kFail});
    EXPECT_EQ(createVideoSurface(), kFail);
    EXPECT_EQ(state.failure, Failure::NoVideoSurface);
    EXPECT_EQ(state.fullScreen, step.made >= 2 ? 0 : 1);
    EXPECT_EQ(fake.log, Lines(kSurfaceLog.begin(), kSurfaceLog.begin() + step.calls));
    bool made[] = {bool(state.directDrawFactory), bool(state.directDraw),
                   bool(state.primarySurface), bool(state.offscreenSurface), bool(state.clipper)};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(made[i], i < step.made) << "object " << i;
    // The end of the run. Before the volume probe there is nothing to restore.
    fake.clearLog();
    quitPlayer();
    EXPECT_EQ(fake.log, join({releases(step.released), {"CoUninitialize"}}));
    EXPECT_EQ(fake.liveObjects, 0);
}

INSTANTIATE_TEST_SUITE_P(
    SurfaceStep, SurfaceStepTest,
    ::testing::Values(SurfaceStep{"CoCreateInstance(DirectDrawFactory)", 2, 0, ""},
                      SurfaceStep{"CreateDirectDraw", 3, 1, "factory"},
                      SurfaceStep{"CreateSurface(primary)", 4, 2, "factory directDraw"},
                      SurfaceStep{"GetSurfaceDesc", 5, 3, "factory primary directDraw"},
                      SurfaceStep{"CreateSurface(offscreen)", 6, 3, "factory primary directDraw"},
                      SurfaceStep{"CreateClipper", 7, 4, "factory primary offscreen directDraw"},
                      SurfaceStep{"SetClipper", 8, 5,
                                  "factory primary offscreen clipper directDraw"},
                      SurfaceStep{"SetHWnd", 9, 5, "factory primary offscreen clipper directDraw"}),
    [](const auto& info) { return testName(info.param.call); });

TEST_F(VideoSurfaceTest, TheBlackAreaCoversTheClientAreaAndWaitsOutABusyDisplay) {
    ASSERT_EQ(createVideoSurface(), kOk);
    DirectDrawSurface* primary = state.primarySurface.get();
    const Status invalid = static_cast<Status>(0x80070057u);
    const struct {
        std::vector<std::int64_t> answers;
        Status result;
    } cases[] = {{{}, kOk},
                 {{kStillDrawing, kStillDrawing, kStillDrawing, kStillDrawing, kOk}, kOk},
                 {{kStillDrawing, kSurfaceLost}, kSurfaceLost},  // lost stays lost
                 {{invalid}, invalid},
                 {{1}, 1}};
    for (const auto& c : cases) {
        fake.clearLog();
        fake.script("BltFill", c.answers);
        EXPECT_EQ(clearVideoArea(primary), c.result);
        // The area is taken once, in screen coordinates; only the fill is repeated.
        EXPECT_EQ(fake.log, join({{"GetClientRect", "ClientToScreen", "ClientToScreen"},
                                  Lines(std::max<std::size_t>(c.answers.size(), 1),
                                        "BltFill(primary 204,250,658,580 src=204,250,658,580 "
                                        "flags=0x400 fill=0/100)")}));
    }
    fake.clientRect = {3, 40, 803, 640};
    fake.clientOrigin = {-100, 10};
    clearVideoArea(primary);
    EXPECT_EQ(fake.log.back(),
              "BltFill(primary -97,50,703,650 src=-97,50,703,650 flags=0x400 fill=0/100)");
    releaseVideoSurface();
    fake.clearLog();
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kFail);
    EXPECT_TRUE(fake.log.empty());
}

// ---------------------------------------------------------------- the stream

const Lines kOpenLog = {"Exists(clip.avi)",
                        "CoCreateInstance(AMMultiMediaStream)",
                        "Initialize(0,0)",
                        "AddMediaStream(video,directDraw,0)",
                        "AddMediaStream(audio,null,1)",
                        "OpenFile(clip.avi,0)"};
const Lines kSetupLog =
    join({kOpenLog,
          {"GetMediaStream(video)", "QueryInterface(DirectDrawMediaStream)", "GetFormat(size=108)",
           "CreateSample(offscreen 0,0,176,144 0)", "GetDuration", "SetState(Run)"}});

class MediaStreamTest : public PlayerTest {
protected:
    void SetUp() override {
        startPlayer();
        MediaInfo info = frames(50);
        info.width = 176;
        info.height = 144;
        clipPath = clip("clip.avi", info);
        copyText(state.playlist[0], clipPath.c_str());
    }
    std::string clipPath;
};

TEST_F(MediaStreamTest, SetsUpTheCurrentItemAndRunsIt) {
    state.frameCount = 17;
    state.paused = 1;
    state.trackPos = 4000;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(relative(fake.log), kSetupLog);
    EXPECT_EQ(playState(), "play=1 pause=0 input=1 item=0/0 limits=0,0,0,17");  // counts on
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.streamDuration, 50 * 400000);
    EXPECT_EQ(state.sampleRect, (Rect{0, 0, 176, 144}));  // the video's own size
    EXPECT_EQ(fake.liveObjects, 5 + 4);
    // The next setup releases the stream first, whatever its state.
    state.multiMediaStream->setState(StreamState::Stop);
    fake.clearLog();
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(relative(fake.log), join({kStreamReleases, kSetupLog}));
    EXPECT_EQ(fake.liveObjects, 5 + 4);
}

struct ItemStep {
    const char* call;  // the call made to fail
    int calls;         // the setup's calls made, the failing one the last
    bool codecMessage;
    const char* released;  // the stream objects released, in order
};

class ItemStepTest : public MediaStreamTest, public ::testing::WithParamInterface<ItemStep> {};

TEST_P(ItemStepTest, SetupFailsEndingNothingAndTheEndReleasesWhatItMade) {
    const ItemStep& step = GetParam();
    fake.script(step.call, {kFail});
    EXPECT_EQ(setupCurrentItem(), 0);
    quitPlayer();  // as the program does once its caller asked for the end
    EXPECT_EQ(relative(fake.log), join({Lines(kSetupLog.begin(), kSetupLog.begin() + step.calls),
                                        step.codecMessage ? Lines{kCodecBox} : Lines{},
                                        releases(step.released),
                                        kSurfaceReleases,
                                        kRestore,
                                        {"CoUninitialize"}}));
    EXPECT_EQ(fake.liveObjects, 0);
    EXPECT_EQ(state.failure, Failure::ItemSetupFailed);
    EXPECT_EQ(state.failureDetail, clipPath);
    EXPECT_EQ(exitCodeFor(0), 1);
}

// Until the file is open the stream is the opening call's own, released there.
INSTANTIATE_TEST_SUITE_P(
    ItemStep, ItemStepTest,
    ::testing::Values(ItemStep{"CoCreateInstance(AMMultiMediaStream)", 2, false, ""},
                      ItemStep{"Initialize", 3, false, "stream"},
                      ItemStep{"AddMediaStream(video)", 4, false, "stream"},
                      ItemStep{"AddMediaStream(audio)", 5, false, "stream"},
                      ItemStep{"OpenFile", 6, true, "stream"},
                      ItemStep{"GetMediaStream", 7, false, "stream"},
                      ItemStep{"QueryInterface", 8, false, "stream videoStream"},
                      ItemStep{"GetFormat", 9, false, "stream ddStream videoStream"},
                      ItemStep{"CreateSample", 10, false, "stream ddStream videoStream"},
                      ItemStep{"GetDuration", 11, false, "stream sample ddStream videoStream"},
                      ItemStep{"SetState", 12, false, "stream sample ddStream videoStream"}),
    [](const auto& info) { return testName(info.param.call); });

TEST_F(MediaStreamTest, AMissingItemFailsWithoutMessageOrStream) {
    std::filesystem::remove(clipPath);
    EXPECT_EQ(setupCurrentItem(), 0);
    EXPECT_EQ(relative(fake.log), Lines{"Exists(clip.avi)"});
    EXPECT_FALSE(state.multiMediaStream);
    EXPECT_EQ(failureText(), "ostrel: item not found: " + clipPath);
}

TEST_F(MediaStreamTest, OpenMediaFileAloneKeepsNoStreamWhenAStepFails) {
    EXPECT_EQ(openMediaFile(clipPath.c_str()), kOk);
    EXPECT_EQ(relative(fake.log), kOpenLog);
    EXPECT_TRUE(state.multiMediaStream && !state.videoStream);
    for (const char* step : {"CoCreateInstance(AMMultiMediaStream)", "Initialize",
                             "AddMediaStream(video)", "AddMediaStream(audio)", "OpenFile"}) {
        SCOPED_TRACE(step);
        releaseMediaStream();
        fake.clearLog();
        fake.script(step, {kFail});
        EXPECT_EQ(openMediaFile(clipPath.c_str()), kFail);
        EXPECT_FALSE(state.multiMediaStream);
        EXPECT_EQ(fake.liveObjects, 5);  // the partly made stream is gone
        EXPECT_EQ(fake.calls("MessageBox"),
                  std::string(step) == "OpenFile" ? Lines{kCodecBox} : Lines{});
        EXPECT_EQ(fake.count("PostQuitMessage") + fake.count("Release(factory)"), 0);
    }
    // A folder passes the existence test, and nothing can decode it.
    fake.clearLog();
    EXPECT_EQ(openMediaFile(dir.c_str()), kFail);
    EXPECT_EQ(fake.calls("MessageBox"), Lines{kCodecBox});
}

TEST_F(MediaStreamTest, CreateStreamSampleKeepsWhatWasMadeWhenAStepFails) {
    EXPECT_EQ(createStreamSample(), kFail);  // no stream yet
    EXPECT_TRUE(fake.log.empty());
    const std::pair<const char*, int> steps[] = {
        {"GetMediaStream", 0}, {"QueryInterface", 1}, {"GetFormat", 2}, {"CreateSample", 2}};
    for (auto [step, made] : steps) {
        SCOPED_TRACE(step);
        releaseMediaStream();
        ASSERT_EQ(openMediaFile(clipPath.c_str()), kOk);
        fake.clearLog();
        fake.script(step, {kFail});
        EXPECT_EQ(createStreamSample(), kFail);
        EXPECT_EQ(int(bool(state.videoStream)) + bool(state.ddStream) + bool(state.streamSample),
                  made);
        EXPECT_TRUE(state.multiMediaStream);
        EXPECT_EQ(fake.count("Release(") + fake.count("MessageBox") + fake.count("PostQuit"), 0);
    }
}

TEST_F(MediaStreamTest, TheStartFrameIsSoughtAsAStreamTime) {
    const struct {
        int start, total;
        const char* seek;  // "" for none
        StreamTime seekTime;
    } cases[] = {
        {25, 50, "Seek(10000000)", 10000000},  // frame 25 of 50 in a 20000000 clip
        {0, 0, "", 1234},
        {7, 0, "Seek(9223372036854775807)", INT64_MAX},  // no frame total: saturated
        {-7, 0, "Seek(-9223372036854775808)", INT64_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        state.startFrame = c.start, state.totalFrames = c.total, state.seekTime = 1234;
        fake.clearLog();
        ASSERT_EQ(setupCurrentItem(), 1);
        EXPECT_EQ(state.seekTime, c.seekTime);
        Lines expected = {"GetDuration", c.seek, "SetState(Run)"};
        if (!c.seek[0]) expected.erase(expected.begin() + 1);
        EXPECT_EQ(Lines(fake.log.end() - expected.size(), fake.log.end()), expected);
    }
    fake.script("Seek", {kFail});  // a failing seek plays from where the stream stands
    state.startFrame = 25;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.playing, 1);
}

TEST_F(MediaStreamTest, TheEndPostsTheQuitOnceThenReleasesStreamAndSurfacesAndRestores) {
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    requestEnd();
    requestEnd();
    quitPlayer();
    EXPECT_EQ(fake.log, join({{"PostQuitMessage(0)"},
                              kStreamReleases,
                              kSurfaceReleases,
                              kRestore,
                              {"CoUninitialize"}}));
    expectRunEnded(0x12345678, 0);
}

}  // namespace
}  // namespace ostrel::test
