// The display objects and the current item's stream: made in a fixed order,
// every step made to fail in turn with what the end of the run then
// releases, shows and restores; the black video area; the start frame.
#include <regex>

#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

// "Release(name) " for each blank-separated name.
std::string releases(const std::string& names) {
    return std::regex_replace(names, std::regex("(\\w+) *"), "Release($1) ");
}
// `log` up to and with the call `name`, and a blank.
std::string through(const std::string& log, const std::string& name) {
    return log.substr(0, log.find(' ', log.find(name))) + " ";
}

using VideoSurfaceTest = PlayerTest;

TEST_F(VideoSurfaceTest, EachStepFailsInTurnAndTheEndOfTheRunReleasesWhatWasMade) {
    // The failing call (the last call made) => what the end releases, so
    // what was made. Last, all goes well: a library started before is as good.
    for (const char* row : {"CoCreateInstance => ", "CreateDirectDraw => factory",
                            "CreatePrimarySurface => factory directDraw",
                            "GetSurfaceDesc => factory primary directDraw",
                            "CreateOffscreenSurface => factory primary directDraw",
                            "CreateClipper => factory primary offscreen directDraw",
                            "SetClipper => factory primary offscreen clipper directDraw",
                            "SetHWnd => factory primary offscreen clipper directDraw",
                            "CoInitialize => factory primary offscreen clipper directDraw"}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        bool ok = c[0] == "CoInitialize";
        reset();
        state.mainWindow = fake.mainWindow = mainWindow;
        state.fullScreen = 1;
        fake.script(c[0], {kFail});
        EXPECT_EQ(createVideoSurface(), ok ? kOk : kFail);
        EXPECT_EQ(state.failure, ok ? Failure::None : Failure::NoVideoSurface);
        // The player always draws into its window, once it has the display.
        EXPECT_EQ(state.fullScreen, c[1].find("directDraw") == std::string::npos);
        EXPECT_EQ(logText() + " ", through(kSurfaceLog, ok ? "SetHWnd" : c[0]));
        // The end of the run. Before the volume probe there is nothing to restore.
        fake.log.clear();
        quitPlayer();
        releaseVideoSurface();
        EXPECT_EQ(clearVideoArea(state.primarySurface.get()), kFail);  // nothing to fill
        EXPECT_EQ(logText(), releases(c[1]) + "CoUninitialize()");
        EXPECT_EQ(fake.liveObjects, 0);
    }
}

TEST_F(VideoSurfaceTest, TheBlackAreaCoversTheClientAreaAndWaitsOutABusyDisplay) {
    startPlayer();
    const Status invalid = static_cast<Status>(0x80070057u);
    // The fill's answers => the result; lost stays lost. The area is taken
    // once, in screen coordinates; only the fill is repeated.
    for (auto [answers, result] :
         {std::pair{std::vector<I64>{}, kOk},
          {{kStillDrawing, kStillDrawing, kStillDrawing, kStillDrawing, kOk}, kOk},
          {{kStillDrawing, kSurfaceLost}, kSurfaceLost},
          {{invalid}, invalid},
          {{1}, 1}}) {
        fake.log.clear();
        fake.script("BltFill", answers);
        EXPECT_EQ(clearVideoArea(state.primarySurface.get()), result);
        EXPECT_EQ(logText(),
                  "GetClientRect() ClientToScreen() ClientToScreen() " +
                      joined(Lines(std::max<std::size_t>(answers.size(), 1), kBlackArea)));
    }
}

// ---------------------------------------------------------------- the stream

const std::string kSetupLog =
    "Exists(clip.avi) CoCreateInstance(Stream) Initialize(0,0) AddVideo(directDraw,0) "
    "AddAudio(null,1) OpenFile(clip.avi,0) GetMediaStream() QueryInterface() GetFormat(108) "
    "CreateSample(offscreen,0,0,176,144,0) GetDuration() SetState(Run)";

class MediaStreamTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        copyText(state.playlist[0], (clipPath = clip("clip.avi", {50, 176, 144})).c_str());
    }
    std::string clipPath;
};

TEST_F(MediaStreamTest, EachStepFailsInTurnEndingNothingAndTheEndReleasesWhatItMade) {
    // The failing call (the setup's last call) => what the end releases of
    // the stream's objects. Until the file is open the stream is the
    // opening call's own, released there; a missing item gets none.
    for (const char* row :
         {"Exists => ", "CoCreateInstance => ", "Initialize => stream", "AddVideo => stream",
          "AddAudio => stream", "OpenFile => stream", "GetMediaStream => stream",
          "QueryInterface => stream videoStream", "GetFormat => stream ddStream videoStream",
          "CreateSample => stream ddStream videoStream",
          "GetDuration => stream sample ddStream videoStream",
          "SetState => stream sample ddStream videoStream"}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        SetUp();
        fake.script(c[0], {c[0] == "Exists" ? 0 : kFail});
        EXPECT_EQ(setupCurrentItem(), 0);
        EXPECT_EQ(bool(state.multiMediaStream),  // a partly made one is gone
                  kSetupLog.find(c[0]) > kSetupLog.find("OpenFile"));
        EXPECT_EQ(state.failure,
                  c[0] == "Exists" ? Failure::MissingItem : Failure::ItemSetupFailed);
        EXPECT_EQ(state.failureDetail, clipPath);
        if (!state.multiMediaStream) EXPECT_EQ(createStreamSample(), kFail);
        quitPlayer();  // as the program does once its caller asked for the end
        EXPECT_EQ(logText(), through(kSetupLog, c[0]) +
                                 (c[0] == "OpenFile" ? kCodecBox + " " : "") + releases(c[1]) +
                                 kSurfaceReleases + " " + kWave +
                                 " waveOutSetVolume(0x12345678) waveOutClose() CoUninitialize()");
        EXPECT_EQ(fake.liveObjects, 0);
    }
}

TEST_F(MediaStreamTest, SetsUpTheCurrentItemAndSeeksTheStartFrameAsAStreamTime) {
    // Start, total => the seek. Frame 25 of 50 in a 20000000 clip (its own
    // duration, and its own video size for the sample); with no frame total
    // the time saturates; a failing seek plays from where the stream stands.
    // Each setup releases the stream first, whatever its state; the frame
    // count runs on.
    for (const char* row :
         {"0 0 => ", "25 50 => Seek(10000000) ", "7 0 => Seek(9223372036854775807) ",
          "-7 0 => Seek(-9223372036854775808) "}) {
        SCOPED_TRACE(row);
        std::sscanf(row, "%d %d", &state.startFrame, &state.totalFrames);
        state.seekTime = 1234, state.frameCount = 17, state.paused = 1, state.trackPos = 4000;
        bool first = !state.multiMediaStream;
        if (!first) state.multiMediaStream->setState(StreamState::Stop);
        fake.log.clear();
        ASSERT_EQ(setupCurrentItem(), 1);
        EXPECT_EQ(state.seekTime, state.startFrame ? std::stoll(split(row)[1].substr(5)) : 1234);
        EXPECT_EQ(logText(), (first ? "" : releases("stream sample ddStream videoStream")) +
                                 kSetupLog.substr(0, kSetupLog.rfind("SetState")) + split(row)[1] +
                                 "SetState(Run)");
        EXPECT_EQ(playState() + format(" %d", state.trackPos),
                  format("101 0/0 %d,0,%d,17 0", state.startFrame, state.totalFrames));
    }
    EXPECT_EQ(fake.liveObjects, 5 + 4);
    fake.script("Seek", {kFail});
    state.startFrame = 25;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.playing, 1);         // from where the stream stands
    state.currentItem = kPlaylistSlots;  // past the list: nothing is looked at
    fake.log.clear();
    EXPECT_EQ(setupCurrentItem(), 0);
    EXPECT_EQ(fake.count("Exists("), 0);
}

}  // namespace
}  // namespace ostrel::test
