// The display objects and the current item's stream: made in a fixed order,
// every step made to fail in turn with what the end of the run then
// releases, shows and restores; the black video area; the start frame.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

const std::string kSurfaceReleases =
    "Release(factory) Release(primary) Release(offscreen) Release(clipper) Release(directDraw)";
const std::string kStreamReleases =
    "Release(stream) Release(sample) Release(ddStream) Release(videoStream)";
const std::string kRestore =
    "waveOutOpen(1,2,44100,88200,2,8,0) waveOutSetVolume(0x12345678) waveOutClose()";
const std::string kCodecBox = "MessageBox(null,Codec is not available ...,Codec problem,0x30)";

// The first `n` blank-separated lines of `lines`.
std::string first(const std::string& lines, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n && at != std::string::npos; ++i)
        at = lines.find(' ', at + 1);
    return lines.substr(0, at);
}

using VideoSurfaceTest = PlayerTest;

TEST_F(VideoSurfaceTest, EachStepFailsInTurnAndTheEndOfTheRunReleasesWhatWasMade) {
    // The failing call, the calls made (it the last), the objects made of
    // factory, directDraw, primary, offscreen, clipper, what the end releases.
    const struct {
        const char* call;
        int calls, made;
        std::string released;
    } steps[] = {
        {"CoCreateInstance", 2, 0, ""},
        {"CreateDirectDraw", 3, 1, "Release(factory)"},
        {"CreatePrimarySurface", 4, 2, "Release(factory) Release(directDraw)"},
        {"GetSurfaceDesc", 5, 3, "Release(factory) Release(primary) Release(directDraw)"},
        {"CreateOffscreenSurface", 6, 3, "Release(factory) Release(primary) Release(directDraw)"},
        {"CreateClipper", 7, 4,
         "Release(factory) Release(primary) Release(offscreen) Release(directDraw)"},
        {"SetClipper", 8, 5, kSurfaceReleases},
        {"SetHWnd", 9, 5, kSurfaceReleases},
        {"", 9, 5, kSurfaceReleases},  // all goes well; a library started before is as good
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.call);
        state = PlayerState{};
        fake = FakePlatform{};
        state.mainWindow = fake.mainWindow = mainWindow;
        state.fullScreen = 1;
        fake.script(step.call[0] ? step.call : "CoInitialize", {kFail});
        EXPECT_EQ(createVideoSurface(), step.call[0] ? kFail : kOk);
        EXPECT_EQ(state.failure, step.call[0] ? Failure::NoVideoSurface : Failure::None);
        // The player always draws into its window, once it has the display.
        EXPECT_EQ(state.fullScreen, step.made >= 2 ? 0 : 1);
        EXPECT_EQ(logText(), first(kSurfaceLog, step.calls));
        bool made[] = {bool(state.directDrawFactory), bool(state.directDraw),
                       bool(state.primarySurface), bool(state.offscreenSurface),
                       bool(state.clipper)};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(made[i], i < step.made) << "object " << i;
        // The end of the run. Before the volume probe there is nothing to restore.
        fake.log.clear();
        quitPlayer();
        EXPECT_EQ(logText(), step.released + (step.made ? " " : "") + "CoUninitialize()");
        EXPECT_EQ(fake.liveObjects, 0);
        fake.log.clear();
        releaseVideoSurface();
        EXPECT_TRUE(fake.log.empty());
    }
}

TEST_F(VideoSurfaceTest, TheBlackAreaCoversTheClientAreaAndWaitsOutABusyDisplay) {
    state.mainWindow = fake.mainWindow = mainWindow;
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
        fake.log.clear();
        fake.script("BltFill", c.answers);
        EXPECT_EQ(clearVideoArea(primary), c.result);
        // The area is taken once, in screen coordinates; only the fill is repeated.
        std::string expected = "GetClientRect() ClientToScreen() ClientToScreen()";
        for (std::size_t i = 0; i < std::max<std::size_t>(c.answers.size(), 1); ++i)
            expected += " " + kBlackArea;
        EXPECT_EQ(logText(), expected);
    }
    fake.clientRect = {3, 40, 803, 640};
    fake.clientOrigin = {-100, 10};
    clearVideoArea(primary);
    EXPECT_EQ(fake.log.back(), "BltFill(primary,-97,50,703,650,-97,50,703,650,0x400,0/100)");
    releaseVideoSurface();
    fake.log.clear();
    EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kFail);
    EXPECT_TRUE(fake.log.empty());
}

// ---------------------------------------------------------------- the stream

const std::string kSetupLog =
    "Exists(clip.avi) CoCreateInstance(Stream) Initialize(0,0) AddVideo(directDraw,0) "
    "AddAudio(null,1) OpenFile(clip.avi,0) GetMediaStream(Video) QueryInterface() "
    "GetFormat(108) CreateSample(offscreen,0,0,176,144,0) GetDuration() SetState(Run)";

class MediaStreamTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        clipPath = clip("clip.avi", {50, 176, 144});
        copyText(state.playlist[0], clipPath.c_str());
    }
    std::string clipPath;
};

TEST_F(MediaStreamTest, SetsUpTheCurrentItemAndRunsIt) {
    state.frameCount = 17, state.paused = 1, state.trackPos = 4000;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(logText(), kSetupLog);
    EXPECT_EQ(playState(), "101 0/0 0,0,0,17");  // the count runs on
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.streamDuration, 50 * 400000);
    EXPECT_EQ(state.sampleRect, (Rect{0, 0, 176, 144}));  // the video's own size
    EXPECT_EQ(fake.liveObjects, 5 + 4);
    // The next setup releases the stream first, whatever its state.
    state.multiMediaStream->setState(StreamState::Stop);
    fake.log.clear();
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(logText(), kStreamReleases + " " + kSetupLog);
    EXPECT_EQ(fake.liveObjects, 5 + 4);
}

TEST_F(MediaStreamTest, EachStepFailsInTurnEndingNothingAndTheEndReleasesWhatItMade) {
    // Until the file is open the stream is the opening call's own, released
    // there. The failing call, the calls made (it the last), what the end
    // releases of the stream's objects, the objects left alive by the setup.
    const struct {
        const char* call;
        int calls;
        const char* released;
    } steps[] = {
        {"CoCreateInstance", 2, ""},
        {"Initialize", 3, "Release(stream) "},
        {"AddVideo", 4, "Release(stream) "},
        {"AddAudio", 5, "Release(stream) "},
        {"OpenFile", 6, "Release(stream) "},
        {"GetMediaStream", 7, "Release(stream) "},
        {"QueryInterface", 8, "Release(stream) Release(videoStream) "},
        {"GetFormat", 9, "Release(stream) Release(ddStream) Release(videoStream) "},
        {"CreateSample", 10, "Release(stream) Release(ddStream) Release(videoStream) "},
        {"GetDuration", 11,
         "Release(stream) Release(sample) Release(ddStream) "
         "Release(videoStream) "},
        {"SetState", 12,
         "Release(stream) Release(sample) Release(ddStream) "
         "Release(videoStream) "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.call);
        state = PlayerState{};
        fake = FakePlatform{};
        SetUp();
        fake.script(step.call, {kFail});
        EXPECT_EQ(setupCurrentItem(), 0);
        EXPECT_EQ(bool(state.multiMediaStream), step.calls > 6);  // a partly made one is gone
        EXPECT_EQ(state.failure, Failure::ItemSetupFailed);
        EXPECT_EQ(state.failureDetail, clipPath);
        EXPECT_EQ(fake.count("PostQuit") + fake.count("Release(factory)"), 0);
        quitPlayer();  // as the program does once its caller asked for the end
        bool codec = std::string(step.call) == "OpenFile";
        EXPECT_EQ(logText(), first(kSetupLog, step.calls) + (codec ? " " + kCodecBox : "") + " " +
                                 step.released + kSurfaceReleases + " " + kRestore +
                                 " CoUninitialize()");
        EXPECT_EQ(fake.liveObjects, 0);
        EXPECT_EQ(exitCodeFor(0), 1);
    }
}

TEST_F(MediaStreamTest, AMissingOrUndecodableItemFailsWithoutAStream) {
    fake.log.clear();
    std::filesystem::remove(clipPath);
    EXPECT_EQ(setupCurrentItem(), 0);
    EXPECT_EQ(logText(), "Exists(clip.avi)");
    EXPECT_FALSE(state.multiMediaStream);
    EXPECT_EQ(failureText(), "ostrel: item not found: " + clipPath);
    // A folder passes the existence test, and nothing can decode it.
    fake.log.clear();
    EXPECT_EQ(openMediaFile(dir.c_str()), kFail);
    EXPECT_EQ(joined(fake.calls("MessageBox")), kCodecBox);
    EXPECT_FALSE(state.multiMediaStream);
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
        fake.log.clear();
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
        {25, 50, "Seek(10000000) ", 10000000},  // frame 25 of 50 in a 20000000 clip
        {0, 0, "", 1234},
        {7, 0, "Seek(9223372036854775807) ", INT64_MAX},  // no frame total: saturated
        {-7, 0, "Seek(-9223372036854775808) ", INT64_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        state.startFrame = c.start, state.totalFrames = c.total, state.seekTime = 1234;
        fake.log.clear();
        ASSERT_EQ(setupCurrentItem(), 1);
        EXPECT_EQ(state.seekTime, c.seekTime);
        EXPECT_EQ(logOf({"GetDuration", "Seek", "SetState(Run)"}),
                  std::string("GetDuration() ") + c.seek + "SetState(Run)");
    }
    fake.script("Seek", {kFail});  // a failing seek plays from where the stream stands
    state.startFrame = 25;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.playing, 1);
}

TEST_F(MediaStreamTest, TheEndPostsTheQuitOnceThenReleasesStreamAndSurfacesAndRestores) {
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.log.clear();
    requestEnd();
    requestEnd();
    quitPlayer();
    EXPECT_EQ(logText(), "PostQuitMessage(0) " + kStreamReleases + " " + kSurfaceReleases + " " +
                             kRestore + " CoUninitialize()");
    expectRunEnded(0x12345678, 0);
}

}  // namespace
}  // namespace ostrel::test
