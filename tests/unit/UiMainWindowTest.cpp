// The main window's procedure: which messages it handles and what each does.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "UiFixture.h"

namespace ostrel::uitest {
namespace {

constexpr std::uint32_t kWmCreate = 0x0001;
constexpr std::uint32_t kWmPaint = 0x000F;
constexpr std::uint32_t kWmSetCursor = 0x0020;
constexpr std::uint32_t kWmMouseMove = 0x0200;
constexpr std::uint32_t kWmSysKeyDown = 0x0104;

// ---------------------------------------------------------------- tool bar

using MainWindowToolBarTest = UiTest;

TEST_F(MainWindowToolBarTest, SizeMessageInGraphicModeMakesTheToolBarOnTheAddressedWindow) {
    // The size message of the window's creation comes before start-up has
    // stored the main window.
    state.mainWindow = nullptr;
    state.menuBarMode = kMenuGraphic;
    WindowHandle creating = FakePlatform::window(0x4321);
    EXPECT_EQ(mainWindowProc(creating, kWmSize, 0, 0), 0);

    ASSERT_EQ(fake.count("CreateToolbarEx"), 1);
    const ToolBarParams& p = fake.lastToolBar;
    EXPECT_EQ(p.parent, creating);
    EXPECT_EQ(p.style, 0x50000000u);
    EXPECT_EQ(p.id, 5);
    EXPECT_EQ(p.imageCount, 9);
    EXPECT_EQ(p.instance, instance);
    EXPECT_EQ(p.bitmapResource, 105);
    EXPECT_EQ(p.buttonCount, 11);
    EXPECT_EQ(p.buttonWidth, 16);
    EXPECT_EQ(p.buttonHeight, 16);
    EXPECT_EQ(p.imageWidth, 16);
    EXPECT_EQ(p.imageHeight, 16);

    struct Row {
        int image, command, style;
    };
    const Row rows[] = {{0, 0, 1},     {0, 40001, 0}, {1, 40002, 0}, {2, 40003, 0},
                        {3, 40004, 0}, {4, 40005, 0}, {5, 40009, 0}, {6, 40010, 0},
                        {7, 40015, 0}, {8, 40016, 0}, {9, 0, 1}};
    ASSERT_EQ(fake.lastToolButtons.size(), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fake.lastToolButtons[i].image, rows[i].image);
        EXPECT_EQ(fake.lastToolButtons[i].command, rows[i].command);
        EXPECT_EQ(fake.lastToolButtons[i].style, rows[i].style);
        EXPECT_EQ(fake.lastToolButtons[i].state, 4);
    }
    EXPECT_EQ(state.toolBar, FakePlatform::window(FakePlatform::kToolBarId + 1));
}

TEST_F(MainWindowToolBarTest, NoneModeMakesOneTooAndEachSizeMessageMakesAnother) {
    state.menuBarMode = kMenuNone;
    send(kWmSize);
    send(kWmSize);
    EXPECT_EQ(fake.count("CreateToolbarEx"), 2);
    // The newest is kept; the earlier one is left alone.
    EXPECT_EQ(state.toolBar, FakePlatform::window(FakePlatform::kToolBarId + 2));
    EXPECT_EQ(fake.count("DefWindowProc"), 0);
}

TEST_F(MainWindowToolBarTest, TextModeMakesNoToolBar) {
    state.menuBarMode = kMenuText;
    EXPECT_EQ(send(kWmSize), 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.toolBar, nullptr);
}

// ---------------------------------------------------------------- activation

using MainWindowActivationTest = UiTest;

TEST_F(MainWindowActivationTest, DeactivationStopsThePumpAndLeavesTheStreamAlone) {
    playList({clip("a.avi")});
    ASSERT_EQ(state.playing, 1);
    EXPECT_EQ(send(kWmActivate, kWaInactive), 0);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.paused, 0);
    EXPECT_TRUE(fake.log.empty());  // no stream call, no default procedure
}

TEST_F(MainWindowActivationTest, ReactivationTakesPlayingFromHaveInput) {
    playList({clip("a.avi")});
    send(kWmActivate, kWaInactive);
    // Active (1) and click-active (2), with a minimised flag in the high word.
    send(kWmActivate, 2 | (1u << 16));
    EXPECT_EQ(state.playing, 1);
    send(kWmActivate, kWaInactive);
    send(kWmActivate, 1);
    EXPECT_EQ(state.playing, 1);
    EXPECT_TRUE(fake.log.empty());

    state.haveInput = 0;
    send(kWmActivate, 1);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(MainWindowActivationTest, ReactivationDoesNotConsultPausedAndDoesNotRunTheStream) {
    playList({clip("a.avi")});
    send(kWmActivateApp, 0);
    ASSERT_EQ(state.paused, 1);
    fake.clearLog();
    send(kWmActivateApp, 1);
    send(kWmActivate, 1);
    // The pump is let loose on the stopped stream; nothing resumes it.
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 1);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(MainWindowActivationTest, ActivationWithoutAStreamLeavesThePumpIdle) {
    // An Open that was cancelled released the stream but kept the input.
    playList({clip("a.avi")});
    fake.chosenFile.clear();
    command(kCmdOpen);
    ASSERT_EQ(state.haveInput, 1);
    ASSERT_FALSE(state.multiMediaStream);
    send(kWmActivate, 1);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(MainWindowActivationTest, DeactivatingTheApplicationSuspendsOnce) {
    playList({clip("a.avi")});
    streamAt(1200000);
    send(kWmActivateApp, 0);
    EXPECT_EQ(streamCalls(), (std::vector<std::string>{"GetTime", "SetState(Stop)"}));
    EXPECT_EQ(state.streamTime, 1200000);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.paused, 1);

    // Already paused: a second deactivation keeps the saved time.
    state.multiMediaStream->seek(400000);
    fake.clearLog();
    send(kWmActivateApp, 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.streamTime, 1200000);
}

TEST_F(MainWindowActivationTest, ActivateAppWithNonZeroWParamOrNoInputDoesNothing) {
    playList({clip("a.avi")});
    EXPECT_EQ(send(kWmActivateApp, 1), 0);
    EXPECT_EQ(send(kWmActivateApp, 0x10000), 0);  // the whole word counts
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.playing, 1);

    state.haveInput = 0;
    send(kWmActivateApp, 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.paused, 0);
}

// ---------------------------------------------------------------- keys, clicks, the rest

using MainWindowInputTest = UiTest;

TEST_F(MainWindowInputTest, EscapePostsCloseToTheAddressedWindow) {
    WindowHandle other = FakePlatform::window(0x999);
    EXPECT_EQ(mainWindowProc(other, kWmKeyDown, kVkEscape, 0), 0);
    ASSERT_EQ(fake.queue.size(), 1u);
    EXPECT_EQ(fake.queue.front().window, other);
    EXPECT_EQ(fake.queue.front().message, kWmClose);
    EXPECT_EQ(fake.queue.front().wParam, 0u);
    EXPECT_EQ(fake.queue.front().lParam, 0);
    EXPECT_EQ(fake.count("DefWindowProc"), 0);
}

TEST_F(MainWindowInputTest, OtherKeysAreSwallowed) {
    playList({clip("a.avi")});
    for (WParam key : {WParam{0x20}, WParam{0x25}, WParam{0x0D}, WParam{0x41}, WParam{0x70}}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(send(kWmKeyDown, key, 0x00010001), 0);
    }
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.queue.empty());
    EXPECT_EQ(state.playing, 1);
}

TEST_F(MainWindowInputTest, ClickDoesNothing) {
    playList({clip("a.avi")});
    EXPECT_EQ(send(kWmLButtonDown, 1, 0x00200020), 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.playing, 1);
}

TEST_F(MainWindowInputTest, OtherMessagesGoToTheDefaultProcedure) {
    fake.always("DefWindowProc", 0);
    const std::pair<std::uint32_t, const char*> messages[] = {
        {kWmCreate, "DefWindowProc(0x1)"},       {kWmPaint, "DefWindowProc(0xF)"},
        {kWmSetCursor, "DefWindowProc(0x20)"},   {kWmMouseMove, "DefWindowProc(0x200)"},
        {kWmSysKeyDown, "DefWindowProc(0x104)"},
    };
    for (const auto& [message, line] : messages) {
        fake.clearLog();
        send(message, 7, 9);
        EXPECT_EQ(fake.log, std::vector<std::string>{line});
    }
}

TEST_F(MainWindowInputTest, CloseGoesToTheDefaultProcedureWhichEndsThePlayer) {
    send(kWmClose);
    EXPECT_EQ(fake.indexOf("DefWindowProc(0x10)"), 0);
    EXPECT_GE(fake.indexOf("PostQuitMessage(0)"), 1);
}

TEST_F(MainWindowInputTest, CommandsWithoutAHandlerDoNothing) {
    playList({clip("a.avi"), clip("b.avi")});
    setFrameLimits(1, 2, 3, 4);
    for (WParam id : {WParam{40000}, WParam{40006}, WParam{40007}, WParam{40008}, WParam{40011},
                      WParam{40012}, WParam{40013}, WParam{40014}, WParam{40017}, WParam{1},
                      WParam{40002} | (WParam{1} << 16), WParam{40016} | (WParam{0x300} << 16)}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(send(kWmCommand, id, 0), 0);
    }
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.queue.empty());
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.itemCount, 2);
    expectFrameLimits(1, 2, 3, 4);
}

TEST_F(MainWindowInputTest, MenuAndToolBarCommandsActAlike) {
    playList({clip("a.avi")});
    // lParam is the tool bar's window for a button; it is not looked at.
    send(kWmCommand, kCmdPause, reinterpret_cast<LParam>(state.toolBar) | 0x200);
    EXPECT_EQ(state.paused, 1);
}

// ---------------------------------------------------------------- destruction

using MainWindowDestroyTest = UiTest;

TEST_F(MainWindowDestroyTest, WritesTheConfigurationThenReleasesEverythingAndQuits) {
    playList({clip("a.avi")});
    EXPECT_EQ(send(kWmDestroy), 0);
    EXPECT_EQ(readBytes(configPath()), expectedConfig({}));
    // The writer reads the clock first; everything is released after it.
    int written = fake.indexOf("LocalTime");
    int firstRelease = fake.indexOf("Release(stream)");
    int quit = fake.indexOf("PostQuitMessage(0)");
    EXPECT_GE(written, 0);
    EXPECT_LT(written, firstRelease);
    EXPECT_LT(firstRelease, quit);
    EXPECT_FALSE(state.multiMediaStream || state.primarySurface || state.directDraw);
    EXPECT_EQ(fake.liveObjects, 0);
}

TEST_F(MainWindowDestroyTest, ReadOnlyConfigurationIsLeftByteForByte) {
    std::ofstream(configPath(), std::ios::binary) << "ReadOnly yes\r\nWidth 10\r\n";
    state.readOnly = 1;
    send(kWmDestroy);
    EXPECT_EQ(readBytes(configPath()), "ReadOnly yes\r\nWidth 10\r\n");
    EXPECT_GE(fake.indexOf("PostQuitMessage(0)"), 0);
}

TEST_F(MainWindowDestroyTest, ConfigurationPathIsTheExecutablesFolderAndTheFileName) {
    char path[260];
    configFilePath(path);
    EXPECT_EQ(std::string(path), dir.string() + "/ostrel.cfg");

    // A folder that leaves no room is cut, never overrun.
    std::string longDir(255, 'd');
    copyText(state.exeDir, longDir.c_str());
    std::memset(path, 'x', sizeof path);
    configFilePath(path);
    EXPECT_EQ(std::strlen(path), 259u);
    EXPECT_EQ(std::string(path), longDir + "ostr");
}

// ---------------------------------------------------------------- hand-over

class MainWindowHandOverTest : public UiTest {
protected:
    void handOver(const std::string& text) {
        CopyData record;
        record.size = static_cast<std::uint32_t>(text.size() + 1);
        record.data = text.c_str();
        EXPECT_EQ(send(kWmCopyData, 0, reinterpret_cast<LParam>(&record)), 0);
    }
};

TEST_F(MainWindowHandOverTest, AVideoReplacesTheCurrentItemAndRunsIt) {
    std::string a = clip("a.avi"), b = clip("b.avi"), c = clip("c.avi");
    playList({a, b}, 1);
    handOver(c);
    EXPECT_EQ(std::string(state.playlist[1]), c);
    EXPECT_EQ(std::string(state.playlist[0]), a);
    EXPECT_EQ(state.itemCount, 2);
    EXPECT_EQ(state.currentItem, 1);
    EXPECT_EQ(streamCalls(),
              (std::vector<std::string>{"Release(stream)", "Release(sample)", "Release(ddStream)",
                                        "Release(videoStream)", "OpenFile(" + c + ",0)",
                                        "GetDuration", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
}

TEST_F(MainWindowHandOverTest, OptionsApplyAndTheStartFrameIsSought) {
    std::string a = clip("a.avi"), c = clip("c.avi");
    playList({a});
    handOver("-s 25 -t 75 " + c);
    EXPECT_EQ(state.startFrame, 25);
    EXPECT_EQ(state.totalFrames, 75);
    // 25 of 75 frames of a 3-second item: one second in.
    EXPECT_GE(fake.indexOf("Seek(10000000)"), 0);
    EXPECT_EQ(std::string(state.playlist[0]), c);
}

TEST_F(MainWindowHandOverTest, AMissingFileEndsThePlayer) {
    playList({clip("a.avi")});
    handOver((dir / "missing.avi").string());
    EXPECT_EQ(fake.count("OpenFile"), 0);
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
    EXPECT_NE(state.failure, Failure::None);
    // The end goes through quitPlayer alone: the stream is not touched here.
    EXPECT_EQ(fake.count("SetState"), 0);
}

TEST_F(MainWindowHandOverTest, AWavWhileAVideoPlaysSoundsAndLeavesTheStream) {
    std::string a = clip("a.avi"), wav = clip("ding.wav");
    playList({a});
    state.trackPos = 300;
    handOver(wav);
    int sound = fake.indexOf("sndPlaySound(" + wav + ",1)");
    EXPECT_GE(sound, 0);
    EXPECT_GT(blackFill(), sound);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.streamDuration, 0);
    // The video's stream is neither stopped nor released.
    EXPECT_TRUE(streamCalls().empty());
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
}

TEST_F(MainWindowHandOverTest, APathWithABlankIsSplitUnlessQuoted) {
    std::string spaced = clip("my clip.avi");
    playList({clip("a.avi")});
    handOver("\"" + spaced + "\"");
    EXPECT_EQ(std::string(state.playlist[0]), spaced);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);

    // Unquoted, the first part ("…/my") names nothing: the player ends.
    fake.clearLog();
    handOver(spaced);
    EXPECT_EQ(std::string(state.playlist[0]), (dir / "my").string());
    EXPECT_EQ(fake.count("OpenFile"), 0);
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
}

TEST_F(MainWindowHandOverTest, TextIsReadOnlyWithinTheSizeTheSenderGave) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a});
    // The record's size ends the text before a second, missing path.
    std::string text = b + " " + (dir / "missing.avi").string();
    CopyData record;
    record.size = static_cast<std::uint32_t>(b.size());
    record.data = text.c_str();
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&record));
    EXPECT_EQ(std::string(state.playlist[0]), b);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
    EXPECT_GE(fake.indexOf("OpenFile(" + b + ",0)"), 0);
}

TEST_F(MainWindowHandOverTest, AnUnterminatedTextIsCutAtItsEnd) {
    std::string b = clip("b.avi");
    playList({clip("a.avi")});
    // Exactly the path's bytes on the heap, no terminator after them.
    auto bytes = std::make_unique<char[]>(b.size());
    std::memcpy(bytes.get(), b.data(), b.size());
    CopyData record;
    record.size = static_cast<std::uint32_t>(b.size());
    record.data = bytes.get();
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&record));
    EXPECT_EQ(std::string(state.playlist[0]), b);
    EXPECT_GE(fake.indexOf("OpenFile(" + b + ",0)"), 0);
}

TEST_F(MainWindowHandOverTest, AnOverLongTextIsRefusedSafely) {
    std::string a = clip("a.avi");
    playList({a});
    std::size_t size = 100000;
    auto bytes = std::make_unique<char[]>(size);
    std::memset(bytes.get(), 'x', size);
    bytes[0] = '/';
    CopyData record;
    record.size = static_cast<std::uint32_t>(size);
    record.data = bytes.get();
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&record));
    // A path that long fits no slot and names nothing: the player ends,
    // and the slot holds a terminated text.
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
    EXPECT_LT(::strnlen(state.playlist[0], sizeof state.playlist[0]), sizeof state.playlist[0]);
    EXPECT_EQ(fake.count("OpenFile"), 0);
}

TEST_F(MainWindowHandOverTest, NoDataIsAnEmptyText) {
    std::string a = clip("a.avi");
    playList({a});
    // An empty text names nothing new: the current item is set up again.
    CopyData empty;
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&empty));
    CopyData zeroSize;
    zeroSize.data = "ignored";
    send(kWmCopyData, 0, reinterpret_cast<LParam>(&zeroSize));
    EXPECT_EQ(fake.count("OpenFile(" + a + ",0)"), 2);
    EXPECT_EQ(std::string(state.playlist[0]), a);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
}

TEST_F(MainWindowHandOverTest, ADroppedFileIsHandedOverAndTheDropFinished) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a});
    fake.droppedFile = b;
    auto drop = reinterpret_cast<WParam>(reinterpret_cast<DropHandle>(0x7000));
    EXPECT_EQ(send(kWmDropFiles, drop), 0);
    EXPECT_EQ(fake.indexOf("DragQueryFile(0,256)"), 0);
    EXPECT_EQ(fake.log.back(), "DragFinish");
    EXPECT_EQ(std::string(state.playlist[0]), b);
    EXPECT_GE(fake.indexOf("OpenFile(" + b + ",0)"), 0);
}

TEST_F(MainWindowHandOverTest, ARejectedDropStillFinishesTheDrop) {
    playList({clip("a.avi")});
    fake.droppedFile = (dir / "gone.avi").string();
    send(kWmDropFiles, 0x7000);
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
    EXPECT_EQ(fake.log.back(), "DragFinish");
}

// ---------------------------------------------------------------- sounds

using MainWindowSoundTest = UiTest;

TEST_F(MainWindowSoundTest, PlayWavFileAnswersWithTheSoundCall) {
    std::string wav = clip("ding.wav");
    EXPECT_EQ(playWavFile(wav.c_str(), kSndAsync), 1);
    fake.script("sndPlaySound", {0});
    EXPECT_EQ(playWavFile(wav.c_str(), kSndSync), 0);
    EXPECT_EQ(
        fake.calls("sndPlaySound"),
        (std::vector<std::string>{"sndPlaySound(" + wav + ",1)", "sndPlaySound(" + wav + ",0)"}));
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
    EXPECT_EQ(state.failure, Failure::None);
}

TEST_F(MainWindowSoundTest, AMissingWavEndsTheRunAndTheSoundCallStillFollows) {
    std::string gone = (dir / "gone.wav").string();
    playWavFile(gone.c_str(), kSndAsync);
    int quit = fake.indexOf("PostQuitMessage(1)");
    int sound = fake.indexOf("sndPlaySound(" + gone + ",1)");
    EXPECT_GE(quit, 0);
    EXPECT_GT(sound, quit);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(state.failureDetail), gone);
}

}  // namespace
}  // namespace ostrel::uitest
