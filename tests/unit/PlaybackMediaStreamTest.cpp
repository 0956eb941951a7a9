// The current item's stream: opening, sampling and starting it; every step
// made to fail in turn, with what the end of the run then releases, shows
// and restores; the start frame; the releases.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "app/Startup.h"
#include "playback/MediaStream.h"

namespace ostrel::testing {
namespace {

using Strings = std::vector<std::string>;

const Strings kSurfaces = {"Release(factory)", "Release(primary)", "Release(offscreen)",
                           "Release(clipper)", "Release(directDraw)"};
const std::string kCodecBox = "MessageBox(0x0,Codec is not available ...,Codec problem,0x30)";
constexpr std::uint32_t kStartVolume = 0x12345678;

class MediaStreamTest : public PlaybackTest {
protected:
    void SetUp() override {
        startPlayer(kStartVolume);
        MediaInfo info;
        info.frames = 50;
        info.width = 176;
        info.height = 144;
        path_ = addItem(0, "clip.avi", info);
    }
    std::string path_;

    Strings successfulSetup() const {
        return {"Exists(" + path_ + ")",
                "CoCreateInstance(AMMultiMediaStream)",
                "Initialize(0,0)",
                "AddMediaStream(video,directDraw,0)",
                "AddMediaStream(audio,null,1)",
                "OpenFile(" + path_ + ",0)",
                "GetMediaStream(video)",
                "QueryInterface(DirectDrawMediaStream)",
                "GetFormat(size=108)",
                "CreateSample(offscreen 0,0,176,144 0)",
                "GetDuration",
                "SetState(Run)"};
    }
};

TEST_F(MediaStreamTest, SetsUpTheCurrentItemAndRunsIt) {
    state.frameCount = 17;
    state.paused = 1;
    state.trackPos = 4000;
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(fake.log, successfulSetup());
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.frameCount, 17);  // counts on across items
    EXPECT_EQ(state.streamDuration, 50 * 400000);
    EXPECT_EQ(state.sampleRect, (Rect{0, 0, 176, 144}));
    EXPECT_TRUE(state.multiMediaStream && state.videoStream && state.ddStream &&
                state.streamSample);
    EXPECT_EQ(state.failure, Failure::None);
    EXPECT_FALSE(state.quitDone);
}

TEST_F(MediaStreamTest, TheSampleRectangleIsTheVideosOwnSizeWhateverTheWindow) {
    fake.clientRect = {0, 0, 1900, 1000};
    MediaInfo wide;
    wide.width = 640;
    wide.height = 360;
    std::string other = addItem(3, "wide.mpg", wide);
    state.currentItem = 3;
    ASSERT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.sampleRect, (Rect{0, 0, 640, 360}));
    EXPECT_EQ(fake.calls("OpenFile"), Strings{"OpenFile(" + other + ",0)"});
}

TEST_F(MediaStreamTest, ANewItemReleasesThePreviousStreamFirstWhateverItsState) {
    ASSERT_EQ(setupCurrentItem(), 1);
    state.multiMediaStream->setState(StreamState::Stop);
    fake.clearLog();
    ASSERT_EQ(setupCurrentItem(), 1);
    Strings expected = {"Release(stream)", "Release(sample)", "Release(ddStream)",
                        "Release(videoStream)"};
    Strings setup = successfulSetup();
    expected.insert(expected.end(), setup.begin(), setup.end());
    EXPECT_EQ(fake.log, expected);  // no stop before the release
    EXPECT_EQ(fake.liveObjects, 5 + 4);
}

TEST_F(MediaStreamTest, ReleaseMediaStreamReleasesInItsOrderAndOnlyWhatIsHeld) {
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    releaseMediaStream();
    EXPECT_EQ(fake.log, (Strings{"Release(stream)", "Release(sample)", "Release(ddStream)",
                                 "Release(videoStream)"}));
    EXPECT_FALSE(state.multiMediaStream || state.videoStream || state.ddStream ||
                 state.streamSample);
    fake.clearLog();
    releaseMediaStream();
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.liveObjects, 5);  // the display objects stay
}

// --- every step made to fail

struct ItemStep {
    const char* call;      // the scripted call that fails
    const char* lastLine;  // the failing call as logged ("%s" for the item's path)
    bool codecMessage;
    Strings mediaReleased;  // the stream objects released, in order
};

class ItemStepTest : public MediaStreamTest, public ::testing::WithParamInterface<ItemStep> {
protected:
    std::string failingLine() const {
        std::string line = GetParam().lastLine;
        auto at = line.find("%s");
        if (at != std::string::npos) line.replace(at, 2, path_);
        return line;
    }
};

TEST_P(ItemStepTest, SetupFailsAndEndsTheRunInOrder) {
    const ItemStep& step = GetParam();
    fake.script(step.call, {kFail});
    EXPECT_EQ(setupCurrentItem(), 0);

    // Nothing but the end of the run follows the failing call.
    int failedAt = fake.indexOf(failingLine());
    ASSERT_GE(failedAt, 0) << failingLine();
    Strings after = logFrom(static_cast<std::size_t>(failedAt) + 1);
    Strings expected;
    if (step.codecMessage) expected.push_back(kCodecBox);
    // A stream not yet stored is released where it was made.
    bool localStream = std::string(step.call) != "CoCreateInstance(AMMultiMediaStream)" &&
                       step.mediaReleased.empty();
    if (localStream) expected.push_back("Release(stream)");
    expected.insert(expected.end(), step.mediaReleased.begin(), step.mediaReleased.end());
    expected.insert(expected.end(), kSurfaces.begin(), kSurfaces.end());
    expected.insert(expected.end(),
                    {"waveOutOpen(1,2,44100,88200,2,8,0)", "waveOutSetVolume(0x12345678)",
                     "waveOutClose", "PostQuitMessage(1)", "CoUninitialize"});
    EXPECT_EQ(after, expected);

    expectRunEnded(kStartVolume);
    EXPECT_EQ(fake.count("MessageBox"), step.codecMessage ? 1 : 0);
    EXPECT_FALSE(state.multiMediaStream || state.videoStream || state.ddStream ||
                 state.streamSample || state.primarySurface || state.directDraw);
    EXPECT_EQ(state.failure, Failure::ItemSetupFailed);
    EXPECT_STREQ(state.failureDetail, path_.c_str());
    EXPECT_EQ(exitCodeFor(0), 1);
}

const Strings kStreamOnly = {"Release(stream)"};
const Strings kUpToVideo = {"Release(stream)", "Release(videoStream)"};
const Strings kUpToDd = {"Release(stream)", "Release(ddStream)", "Release(videoStream)"};
const Strings kAllFour = {"Release(stream)", "Release(sample)", "Release(ddStream)",
                          "Release(videoStream)"};

INSTANTIATE_TEST_SUITE_P(
    EachStep, ItemStepTest,
    ::testing::Values(
        ItemStep{"CoCreateInstance(AMMultiMediaStream)",
                 "CoCreateInstance(AMMultiMediaStream)",
                 false,
                 {}},
        ItemStep{"Initialize", "Initialize(0,0)", false, {}},
        ItemStep{"AddMediaStream(video)", "AddMediaStream(video,directDraw,0)", false, {}},
        ItemStep{"AddMediaStream(audio)", "AddMediaStream(audio,null,1)", false, {}},
        ItemStep{"OpenFile", "OpenFile(%s,0)", true, {}},
        ItemStep{"GetMediaStream", "GetMediaStream(video)", false, kStreamOnly},
        ItemStep{"QueryInterface", "QueryInterface(DirectDrawMediaStream)", false, kUpToVideo},
        ItemStep{"GetFormat", "GetFormat(size=108)", false, kUpToDd},
        ItemStep{"CreateSample", "CreateSample(offscreen 0,0,176,144 0)", false, kUpToDd},
        ItemStep{"GetDuration", "GetDuration", false, kAllFour},
        ItemStep{"SetState", "SetState(Run)", false, kAllFour}));

TEST_F(MediaStreamTest, AMissingItemEndsTheRunOnceWithNoMessageAndNoStreamCall) {
    std::filesystem::remove(path_);
    EXPECT_EQ(setupCurrentItem(), 0);
    // The volume comes back and the quit is posted before the objects go,
    // and the component library goes down after the last of them.
    Strings expected = {"Exists(" + path_ + ")", "waveOutOpen(1,2,44100,88200,2,8,0)",
                        "waveOutSetVolume(0x12345678)", "waveOutClose", "PostQuitMessage(1)"};
    expected.insert(expected.end(), kSurfaces.begin(), kSurfaces.end());
    expected.push_back("CoUninitialize");
    EXPECT_EQ(fake.log, expected);
    expectRunEnded(kStartVolume);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(failureText()), "ostrel: item not found: " + path_);
}

TEST_F(MediaStreamTest, AFolderPassesTheExistenceTestAndShowsTheCodecMessage) {
    copyText(state.playlist[0], folder.root().c_str());
    EXPECT_EQ(setupCurrentItem(), 0);
    EXPECT_EQ(fake.calls("MessageBox"), Strings{kCodecBox});
    EXPECT_EQ(fake.count("OpenFile"), 1);
    expectRunEnded(kStartVolume);
}

TEST_F(MediaStreamTest, AFailingSeekIsIgnored) {
    state.startFrame = 10;
    state.totalFrames = 50;
    fake.script("Seek", {kFail});
    EXPECT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(fake.count("Seek"), 1);
    EXPECT_EQ(fake.log.back(), "SetState(Run)");
    EXPECT_EQ(state.playing, 1);
}

// --- the parts the Open command uses on their own

TEST_F(MediaStreamTest, OpenMediaFileHandsTheTextPathToTheStream) {
    EXPECT_EQ(openMediaFile(path_.c_str()), kOk);
    EXPECT_EQ(fake.log, (Strings{"Exists(" + path_ + ")", "CoCreateInstance(AMMultiMediaStream)",
                                 "Initialize(0,0)", "AddMediaStream(video,directDraw,0)",
                                 "AddMediaStream(audio,null,1)", "OpenFile(" + path_ + ",0)"}));
    EXPECT_TRUE(state.multiMediaStream);
    EXPECT_FALSE(state.videoStream);
    EXPECT_EQ(fake.liveObjects, 5 + 1);
}

TEST_F(MediaStreamTest, OpenMediaFileFailuresKeepNoStreamAndDoNotEndTheRunByThemselves) {
    const char* steps[] = {"CoCreateInstance(AMMultiMediaStream)", "Initialize",
                           "AddMediaStream(video)", "AddMediaStream(audio)", "OpenFile"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        fake.clearLog();
        fake.script(step, {kFail});
        EXPECT_EQ(openMediaFile(path_.c_str()), kFail);
        EXPECT_FALSE(state.multiMediaStream);
        EXPECT_EQ(fake.liveObjects, 5);  // the partly made stream is gone
        EXPECT_EQ(fake.count("MessageBox"), std::string(step) == "OpenFile" ? 1 : 0);
        EXPECT_EQ(fake.count("PostQuitMessage"), 0);
        EXPECT_EQ(fake.count("Release(factory)"), 0);
    }
    EXPECT_EQ(state.failure, Failure::ItemSetupFailed);
}

TEST_F(MediaStreamTest, AMissingFileInOpenMediaFileThenShutdownReleasesBeforeTheLibraryGoesDown) {
    ASSERT_EQ(setupCurrentItem(), 1);  // a stream is playing when Open picks a vanished file
    std::filesystem::remove(path_);
    fake.clearLog();
    EXPECT_EQ(openMediaFile(path_.c_str()), kFail);
    shutdownPlayback();  // the Open command's failure path
    Strings expected = {"Exists(" + path_ + ")",
                        "waveOutOpen(1,2,44100,88200,2,8,0)",
                        "waveOutSetVolume(0x12345678)",
                        "waveOutClose",
                        "PostQuitMessage(1)",
                        "Release(stream)",
                        "Release(sample)",
                        "Release(ddStream)",
                        "Release(videoStream)"};
    expected.insert(expected.end(), kSurfaces.begin(), kSurfaces.end());
    expected.push_back("CoUninitialize");
    EXPECT_EQ(fake.log, expected);
    expectRunEnded(kStartVolume);
}

TEST_F(MediaStreamTest, CreateStreamSampleStepsAndTheirFailures) {
    struct Step {
        const char* call;
        bool video, dd, sample;  // what is held after the failure
    };
    const Step steps[] = {{"GetMediaStream", false, false, false},
                          {"QueryInterface", true, false, false},
                          {"GetFormat", true, true, false},
                          {"CreateSample", true, true, false}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.call);
        releaseMediaStream();
        ASSERT_EQ(openMediaFile(path_.c_str()), kOk);
        fake.clearLog();
        fake.script(step.call, {kFail});
        EXPECT_EQ(createStreamSample(), kFail);
        EXPECT_TRUE(state.multiMediaStream);
        EXPECT_EQ(bool(state.videoStream), step.video);
        EXPECT_EQ(bool(state.ddStream), step.dd);
        EXPECT_EQ(bool(state.streamSample), step.sample);
        EXPECT_TRUE(releases().empty());
        EXPECT_EQ(fake.count("MessageBox") + fake.count("PostQuitMessage"), 0);
    }
}

TEST_F(MediaStreamTest, CreateStreamSampleWithoutAStreamFailsWithoutTouchingAnything) {
    EXPECT_EQ(createStreamSample(), kFail);
    EXPECT_TRUE(fake.log.empty());
}

// --- the start frame

TEST_F(MediaStreamTest, TheStartFrameBecomesAStreamTimeAndTheStreamIsSoughtThere) {
    // Frame 250 of a 500-frame, ten-second item is at five seconds.
    MediaInfo tenSeconds;
    tenSeconds.frames = 250;
    tenSeconds.frameTime = 400000;
    fake.media[path_] = tenSeconds;
    state.startFrame = 250;
    state.totalFrames = 500;
    ASSERT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.seekTime, 50000000);
    Strings tail(fake.log.end() - 3, fake.log.end());
    EXPECT_EQ(tail, (Strings{"GetDuration", "Seek(50000000)", "SetState(Run)"}));
}

TEST_F(MediaStreamTest, NoStartFrameMeansNoSeekWhateverTheFrameTotal) {
    state.startFrame = 0;
    state.totalFrames = 0;
    state.seekTime = 1234;
    ASSERT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(fake.count("Seek"), 0);
    EXPECT_EQ(state.seekTime, 1234);
}

TEST_F(MediaStreamTest, AStartFrameWithoutAFrameTotalSaturatesTheSeekTime) {
    state.startFrame = 7;
    state.totalFrames = 0;
    ASSERT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.seekTime, INT64_MAX);
    EXPECT_EQ(fake.calls("Seek"), Strings{"Seek(9223372036854775807)"});

    state.startFrame = -7;
    ASSERT_EQ(setupCurrentItem(), 1);
    EXPECT_EQ(state.seekTime, INT64_MIN);
    EXPECT_EQ(state.playing, 1);
}

// --- the end of the run

TEST_F(MediaStreamTest, ShutdownReleasesStreamThenSurfacesThenEndsTheRunOnce) {
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    shutdownPlayback();
    Strings expected = {"Release(stream)", "Release(sample)", "Release(ddStream)",
                        "Release(videoStream)"};
    expected.insert(expected.end(), kSurfaces.begin(), kSurfaces.end());
    expected.insert(expected.end(),
                    {"waveOutOpen(1,2,44100,88200,2,8,0)", "waveOutSetVolume(0x12345678)",
                     "waveOutClose", "PostQuitMessage(0)", "CoUninitialize"});
    EXPECT_EQ(fake.log, expected);
    expectRunEnded(kStartVolume, 0);

    fake.clearLog();
    shutdownPlayback();
    quitPlayer();
    EXPECT_TRUE(fake.log.empty());
}

}  // namespace
}  // namespace ostrel::testing
