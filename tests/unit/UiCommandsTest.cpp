// The nine commands: what each does to the playback state, the item index,
// the frame limits and the stream, row by row of the player's command table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "UiFixture.h"
#include "config/Configuration.h"
#include "playback/FramePump.h"
#include "ui/Dialogs.h"

namespace ostrel::uitest {
namespace {

using Lines = std::vector<std::string>;

// Default clips: 75 frames of 400000 units, so 30000000 in all.
constexpr StreamTime kDuration = 30000000;

// ---------------------------------------------------------------- Open

using OpenCommandTest = UiTest;

TEST_F(OpenCommandTest, AsksForAMediaFileWithTheMediaFilterSelected) {
    fake.chosenFile.clear();
    char buffer[260];
    copyText(buffer, "left over");
    EXPECT_EQ(chooseMediaFile(buffer), 0);
    EXPECT_EQ(fake.log, Lines{"GetOpenFileName(empty,260)"});
    EXPECT_EQ(fake.lastOpenFile.owner, mainWindow);
    EXPECT_EQ(fake.lastOpenFilter,
              "Media files (*.avi;*.mpg;*.dat;*.wav)|*.avi;*.mpg;*.dat;*.wav|All Files (*.*)|*.*|");
    EXPECT_EQ(fake.lastOpenFile.filterIndex, 1u);
    EXPECT_EQ(fake.lastOpenFile.maxFile, 260u);
    EXPECT_EQ(fake.lastOpenFile.flags, 0x180Cu);
    EXPECT_EQ(fake.lastOpenFile.file, buffer);

    std::string chosen = clip("x.avi");
    fake.chosenFile = chosen;
    EXPECT_NE(chooseMediaFile(buffer), 0);
    EXPECT_EQ(std::string(buffer), chosen);
}

TEST_F(OpenCommandTest, VideoWhilePlayingBecomesTheOnlyItemAndRunsFromItsStart) {
    std::string a = clip("a.avi"), b = clip("b.avi"), c = clip("c.avi"), d = clip("d.avi");
    playList({a, b, c}, 1);
    streamAt(1200000);
    setFrameLimits(5, 50, 75, 7);
    state.trackPos = 1234;
    fake.chosenFile = d;
    command(kCmdOpen);

    EXPECT_EQ(streamCalls(), (Lines{"SetState(Stop)", "Seek(0)", "Release(stream)",
                                    "Release(sample)", "Release(ddStream)", "Release(videoStream)",
                                    "OpenFile(" + d + ",0)", "GetDuration", "SetState(Run)"}));
    EXPECT_LT(fake.indexOf("Release(videoStream)"), fake.indexOf("GetOpenFileName(empty,260)"));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.streamTime, 0);
    EXPECT_EQ(state.streamDuration, kDuration);
    // The start frame is neither applied (no seek above) nor cleared.
    expectFrameLimits(5, 50, 75, 7);
    EXPECT_EQ(std::string(state.playlist[0]), d);
    EXPECT_EQ(std::string(state.playlist[1]), b);
    EXPECT_EQ(blackFill(), -1);
}

TEST_F(OpenCommandTest, VideoWhilePausedOpensWithoutStoppingAgain) {
    std::string a = clip("a.avi"), d = clip("d.avi");
    playList({a});
    command(kCmdPause);
    fake.clearLog();
    fake.chosenFile = d;
    command(kCmdOpen);
    EXPECT_EQ(fake.log.front(), "GetOpenFileName(empty,260)");
    EXPECT_EQ(fake.count("SetState(Stop)"), 0);
    EXPECT_EQ(fake.count("Seek"), 0);
    EXPECT_GE(fake.indexOf("OpenFile(" + d + ",0)"), 0);
    EXPECT_EQ(fake.log.back(), "SetState(Run)");
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
}

TEST_F(OpenCommandTest, WavInCapitalsPlaysAsSoundAndKeepsItsLetters) {
    std::string a = clip("a.avi"), song = clip("Song.WAV");
    playList({a, clip("b.avi")});
    command(kCmdPause);
    setFrameLimits(5, 50, 75, 7);
    state.trackPos = 777;
    fake.clearLog();
    fake.chosenFile = song;
    command(kCmdOpen);

    int sound = fake.indexOf("sndPlaySound(" + song + ",1)");
    EXPECT_GE(sound, 0);
    EXPECT_GT(blackFill(), sound);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.streamDuration, 0);
    EXPECT_EQ(state.paused, 1);
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.itemCount, 0);
    expectFrameLimits(0, 0, 0, 0);
    // The stored path keeps its capitals.
    EXPECT_EQ(std::string(state.playlist[0]), song);
    // A paused stream is neither stopped again nor released.
    EXPECT_TRUE(streamCalls().empty());
    EXPECT_TRUE(state.multiMediaStream);
}

TEST_F(OpenCommandTest, WavWhilePlayingReleasesTheVideo) {
    std::string a = clip("a.avi"), wav = clip("ding.wav");
    playList({a});
    fake.chosenFile = wav;
    command(kCmdOpen);
    EXPECT_EQ(streamCalls(),
              (Lines{"SetState(Stop)", "Seek(0)", "Release(stream)", "Release(sample)",
                     "Release(ddStream)", "Release(videoStream)"}));
    EXPECT_FALSE(state.multiMediaStream);
    EXPECT_GE(fake.indexOf("sndPlaySound(" + wav + ",1)"), 0);
    EXPECT_EQ(state.haveInput, 0);
}

TEST_F(OpenCommandTest, CancelWhilePlayingStopsAndBlacksButKeepsTheFirstItem) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a, b}, 1);
    streamAt(1200000);
    setFrameLimits(5, 50, 75, 7);
    fake.chosenFile.clear();
    command(kCmdOpen);

    EXPECT_EQ(streamCalls(),
              (Lines{"SetState(Stop)", "Seek(0)", "Release(stream)", "Release(sample)",
                     "Release(ddStream)", "Release(videoStream)"}));
    EXPECT_GT(blackFill(), fake.indexOf("GetOpenFileName(empty,260)"));
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.currentItem, 1);
    EXPECT_EQ(state.itemCount, 2);
    EXPECT_EQ(state.streamTime, 0);
    expectFrameLimits(5, 50, 75, 7);
    EXPECT_EQ(std::string(state.playlist[0]), a);

    // The list is still there to be started again.
    fake.clearLog();
    command(kCmdStart);
    EXPECT_GE(fake.indexOf("OpenFile(" + b + ",0)"), 0);
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
}

TEST_F(OpenCommandTest, CancelWhilePausedTouchesNoStream) {
    playList({clip("a.avi")});
    command(kCmdPause);
    fake.clearLog();
    fake.chosenFile.clear();
    command(kCmdOpen);
    EXPECT_TRUE(streamCalls().empty());
    EXPECT_GE(blackFill(), 0);
    EXPECT_EQ(state.paused, 1);
    EXPECT_TRUE(state.multiMediaStream);
}

TEST_F(OpenCommandTest, AVideoWithoutCodecEndsThePlayer) {
    std::string a = clip("a.avi");
    MediaInfo broken;
    broken.opens = false;
    std::string bad = clip("bad.avi", broken);
    playList({a});
    fake.chosenFile = bad;
    command(kCmdOpen);
    EXPECT_GE(fake.indexOf("MessageBox(0x0,Codec is not available ...,Codec problem,0x30)"), 0);
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
    EXPECT_FALSE(state.primarySurface || state.multiMediaStream);
}

// ---------------------------------------------------------------- Start

using StartCommandTest = UiTest;

TEST_F(StartCommandTest, WhilePlayingDoesNothing) {
    playList({clip("a.avi")});
    setFrameLimits(5, 50, 75, 7);
    command(kCmdStart);
    EXPECT_TRUE(fake.log.empty());
    expectFrameLimits(5, 50, 75, 7);
    EXPECT_EQ(state.playing, 1);
}

TEST_F(StartCommandTest, AfterPauseResumesAtTheSavedTime) {
    playList({clip("a.avi"), clip("b.avi")}, 1);
    streamAt(1200000);
    command(kCmdPause);
    setFrameLimits(5, 50, 75, 7);
    fake.clearLog();
    command(kCmdStart);
    EXPECT_EQ(streamCalls(), (Lines{"Seek(1200000)", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.currentItem, 1);
    expectFrameLimits(0, 0, 0, 0);
}

TEST_F(StartCommandTest, NotPausedSetsTheCurrentItemUpAgainThenClearsTheLimits) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a, b}, 1);
    // The end-frame limit stopped the stream.
    setFrameLimits(25, 5, 75, 6);
    ASSERT_EQ(pumpFrame(), kOk);
    ASSERT_EQ(state.playing, 0);
    fake.clearLog();
    command(kCmdStart);
    // The start frame still applies to this setup; the limits go after it.
    EXPECT_EQ(streamCalls(), (Lines{"Release(stream)", "Release(sample)", "Release(ddStream)",
                                    "Release(videoStream)", "OpenFile(" + b + ",0)", "GetDuration",
                                    "Seek(10000000)", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.currentItem, 1);
    expectFrameLimits(0, 0, 0, 0);
}

TEST_F(StartCommandTest, WithoutInputOnlyClearsTheLimits) {
    setFrameLimits(5, 50, 75, 7);
    command(kCmdStart);
    EXPECT_TRUE(fake.log.empty());
    expectFrameLimits(0, 0, 0, 0);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.haveInput, 0);
}

TEST_F(StartCommandTest, AFailedSetupEndsThePlayerAndKeepsTheLimits) {
    MediaInfo broken;
    broken.opens = false;
    std::string a = clip("a.avi"), bad = clip("bad.avi", broken);
    playList({a, bad});
    command(kCmdStop);
    state.currentItem = 1;
    setFrameLimits(5, 50, 75, 7);
    fake.clearLog();
    command(kCmdStart);
    EXPECT_GE(fake.indexOf("PostQuitMessage(1)"), 0);
    expectFrameLimits(5, 50, 75, 7);
}

TEST_F(StartCommandTest, StopOfAPausedStreamThenStartPlaysItFromZero) {
    std::string a = clip("a.avi");
    playList({a});
    streamAt(1200000);
    command(kCmdPause);
    command(kCmdStop);
    EXPECT_EQ(state.paused, 1);
    fake.clearLog();
    command(kCmdStart);
    EXPECT_EQ(streamCalls(), (Lines{"Seek(0)", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
}

TEST_F(StartCommandTest, StopOfARunningStreamThenStartSetsTheFirstItemUpAfresh) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a, b}, 1);
    command(kCmdStop);
    fake.clearLog();
    command(kCmdStart);
    EXPECT_GE(fake.indexOf("OpenFile(" + a + ",0)"), 0);
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.playing, 1);
}

// ---------------------------------------------------------------- Pause

using PauseCommandTest = UiTest;

TEST_F(PauseCommandTest, StopsTheStreamOnceAndKeepsItsTime) {
    playList({clip("a.avi")});
    streamAt(800000);
    setFrameLimits(5, 50, 75, 7);
    command(kCmdPause);
    command(kCmdPause);
    EXPECT_EQ(streamCalls(), (Lines{"GetTime", "SetState(Stop)"}));
    EXPECT_EQ(state.streamTime, 800000);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.paused, 1);
    EXPECT_EQ(state.haveInput, 1);
    expectFrameLimits(5, 50, 75, 7);
}

TEST_F(PauseCommandTest, WithoutAStreamThereIsNothingToHold) {
    // An Open that was cancelled released the stream but kept the input.
    std::string a = clip("a.avi");
    playList({a});
    fake.chosenFile.clear();
    command(kCmdOpen);
    fake.clearLog();
    command(kCmdPause);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.paused, 0);
    // So Start sets the item up again instead of resuming nothing.
    command(kCmdStart);
    EXPECT_GE(fake.indexOf("OpenFile(" + a + ",0)"), 0);
    EXPECT_EQ(state.playing, 1);
}

TEST_F(PauseCommandTest, WithoutInputDoesNothing) {
    command(kCmdPause);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.paused, 0);
}

// ---------------------------------------------------------------- Stop

using StopCommandTest = UiTest;

TEST_F(StopCommandTest, SilencesRewindsAndGoesBackToTheFirstItem) {
    playList({clip("a.avi"), clip("b.avi"), clip("c.avi")}, 2);
    streamAt(1200000);
    state.trackPos = 400;
    state.streamTime = 5;
    setFrameLimits(5, 50, 75, 7);
    command(kCmdStop);
    EXPECT_EQ(fake.log.front(), "sndPlaySound(null,0)");
    EXPECT_EQ(streamCalls(), (Lines{"Seek(0)", "SetState(Stop)"}));
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.streamTime, 0);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(state.haveInput, 1);
    expectFrameLimits(0, 0, 0, 0);
    // The stream objects are kept.
    EXPECT_TRUE(state.multiMediaStream && state.streamSample);
}

TEST_F(StopCommandTest, APausedStreamStaysPaused) {
    playList({clip("a.avi")});
    command(kCmdPause);
    command(kCmdStop);
    EXPECT_EQ(state.paused, 1);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(StopCommandTest, WithoutInputOnlySilencesAndClearsTheLimits) {
    state.currentItem = 2;
    state.itemCount = 3;
    state.playing = 1;
    setFrameLimits(5, 50, 75, 7);
    command(kCmdStop);
    EXPECT_EQ(fake.log, Lines{"sndPlaySound(null,0)"});
    EXPECT_EQ(state.playing, 0);
    EXPECT_EQ(state.currentItem, 2);
    EXPECT_EQ(state.itemCount, 3);
    expectFrameLimits(0, 0, 0, 0);
}

// ---------------------------------------------------------------- Stream

using StreamCommandTest = UiTest;

TEST_F(StreamCommandTest, WhilePlayingShowsThePositionAndSeeksBackToIt) {
    playList({clip("a.avi")});
    streamAt(12000000);
    setFrameLimits(5, 50, 75, 7);
    int shown = -1;
    fake.dialogScript = [&](fake::FakeDialogView& view) {
        shown = view.scrollPos[kIdPositionBar];
        // The stream stands still while the dialog is open.
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.paused, 1);
        view.command(kIdOk);
    };
    WindowHandle addressed = FakePlatform::window(0x999);
    mainWindowProc(addressed, kWmCommand, kCmdStream, 0);
    EXPECT_EQ(shown, 4000);
    EXPECT_EQ(state.trackPos, 4000);
    EXPECT_EQ(streamCalls(),
              (Lines{"GetTime", "SetState(Stop)", "Seek(12000000)", "SetState(Run)"}));
    int dialog = fake.indexOf("DialogBox(SET_DLG,0x999)");
    EXPECT_GT(dialog, fake.indexOf("SetState(Stop)"));
    EXPECT_LT(dialog, fake.indexOf("Seek(12000000)"));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    expectFrameLimits(0, 0, 0, 0);
}

TEST_F(StreamCommandTest, MovingThePositionBarSeeksThereAfterTheDialog) {
    playList({clip("a.avi")});
    fake.dialogScript = [&](fake::FakeDialogView& view) {
        view.scroll(kIdPositionBar, kSbThumbTrack, 2500);
        view.scroll(kIdPositionBar, kSbThumbPosition, 2500);
        // Nothing moves until the dialog has ended.
        EXPECT_EQ(fake.count("Seek"), 0);
        view.command(kIdOk);
    };
    command(kCmdStream);
    EXPECT_EQ(streamCalls(),
              (Lines{"GetTime", "SetState(Stop)", "Seek(7500000)", "SetState(Run)"}));
    EXPECT_EQ(state.streamTime, 7500000);
}

TEST_F(StreamCommandTest, PickingAnotherItemSetsItUp) {
    std::string a = clip("a.avi"), b = clip("b.avi"), c = clip("c.avi");
    playList({a, b, c}, 1);
    fake.dialogScript = [](fake::FakeDialogView& view) {
        view.command(kIdItemNext);
        view.command(kIdOk);
    };
    command(kCmdStream);
    EXPECT_EQ(state.currentItem, 2);
    EXPECT_EQ(state.selectedItem, 0);
    EXPECT_GE(fake.indexOf("OpenFile(" + c + ",0)"), 0);
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
}

TEST_F(StreamCommandTest, ConfirmingPositionZeroRestartsTheItem) {
    std::string a = clip("a.avi");
    playList({a});
    command(kCmdStream);
    EXPECT_EQ(state.trackPos, 0);
    EXPECT_EQ(streamCalls(), (Lines{"GetTime", "SetState(Stop)", "Release(stream)",
                                    "Release(sample)", "Release(ddStream)", "Release(videoStream)",
                                    "OpenFile(" + a + ",0)", "GetDuration", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
}

TEST_F(StreamCommandTest, OpenedWhilePausedShowsTheLastPosition) {
    playList({clip("a.avi")});
    fake.dialogScript = [](fake::FakeDialogView& view) {
        view.scroll(kIdPositionBar, kSbThumbTrack, 2500);
        view.scroll(kIdPositionBar, kSbThumbPosition, 2500);
        view.command(kIdOk);
    };
    command(kCmdStream);
    streamAt(15000000);
    command(kCmdPause);
    fake.clearLog();

    int shown = -1;
    fake.dialogScript = [&](fake::FakeDialogView& view) {
        shown = view.scrollPos[kIdPositionBar];
        view.command(kIdOk);
    };
    command(kCmdStream);
    // Not the current time (5000): the position kept from before.
    EXPECT_EQ(shown, 2500);
    EXPECT_EQ(streamCalls(), (Lines{"Seek(7500000)", "SetState(Run)"}));
}

TEST_F(StreamCommandTest, ZeroDurationGivesTheLowHalfOfTheSaturatedPosition) {
    playList({clip("a.avi")});
    streamAt(400000);
    state.streamDuration = 0;
    int shown = 0;
    fake.dialogScript = [&](fake::FakeDialogView& view) {
        shown = view.scrollPos[kIdPositionBar];
        view.command(kIdOk);
    };
    command(kCmdStream);
    // 0x7FFFFFFFFFFFFFFF cut to 32 bits.
    EXPECT_EQ(shown, -1);
    EXPECT_EQ(state.trackPos, -1);
    EXPECT_EQ(streamCalls(), (Lines{"GetTime", "SetState(Stop)", "Seek(0)", "SetState(Run)"}));
}

TEST_F(StreamCommandTest, WithoutInputAndNotPausedDoesNothing) {
    setFrameLimits(5, 50, 75, 7);
    command(kCmdStream);
    EXPECT_TRUE(fake.log.empty());
    expectFrameLimits(5, 50, 75, 7);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(StreamCommandTest, ItemNumberZeroChangesNoItem) {
    std::string a = clip("a.avi"), b = clip("b.avi");
    playList({a, b}, 1);
    streamAt(12000000);
    fake.dialogScript = [](fake::FakeDialogView& view) {
        state.selectedItem = 0;
        view.command(kIdOk);
    };
    command(kCmdStream);
    EXPECT_EQ(state.currentItem, 1);
    EXPECT_EQ(fake.count("OpenFile"), 0);
    EXPECT_EQ(streamCalls(),
              (Lines{"GetTime", "SetState(Stop)", "Seek(12000000)", "SetState(Run)"}));
}

TEST_F(StreamCommandTest, AnEmptyListAfterOpenKeepsItemOne) {
    std::string a = clip("a.avi"), d = clip("d.avi");
    playList({a});
    fake.chosenFile = d;
    command(kCmdOpen);
    ASSERT_EQ(state.itemCount, 0);
    streamAt(12000000);
    std::string shown;
    fake.dialogScript = [&](fake::FakeDialogView& view) {
        view.command(kIdItemPrev);
        shown = view.texts[kIdItemNumber];
        view.command(kIdOk);
    };
    command(kCmdStream);
    EXPECT_EQ(shown, " 1");
    EXPECT_EQ(state.currentItem, 0);
    EXPECT_EQ(fake.count("OpenFile"), 0);
    EXPECT_GE(fake.indexOf("Seek(12000000)"), 0);
}

TEST_F(StreamCommandTest, WithoutAStreamTheItemStartsAgain) {
    // An Open that was cancelled released the stream; there is nothing to
    // seek in, whatever position the dialog leaves.
    std::string a = clip("a.avi");
    playList({a});
    fake.chosenFile.clear();
    command(kCmdOpen);
    fake.clearLog();
    fake.dialogScript = [](fake::FakeDialogView& view) {
        view.scroll(kIdPositionBar, kSbLineRight);
        view.command(kIdOk);
    };
    command(kCmdStream);
    EXPECT_EQ(streamCalls(), (Lines{"OpenFile(" + a + ",0)", "GetDuration", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
}

// ---------------------------------------------------------------- Save

using SaveCommandTest = UiTest;

TEST_F(SaveCommandTest, WritesTheConfigurationAndPlaysOn) {
    playList({clip("a.avi")});
    copyText(state.discTitle, "Summer  Tour");
    state.soundOn = 0;
    fake.windowRect = {-5, 30, 495, 430};
    command(kCmdSave);
    ConfigValues expected;
    expected.discTitle = "Summer  Tour";
    expected.soundOn = false;
    expected.y = 30;  // the left edge off screen keeps the stored 200
    expected.width = 500;
    expected.height = 400;
    EXPECT_EQ(readBytes(configPath()), expectedConfig(expected));
    EXPECT_EQ(fake.count("PostQuitMessage"), 0);
    EXPECT_TRUE(streamCalls().empty());
    EXPECT_EQ(state.playing, 1);
}

TEST_F(SaveCommandTest, ReadOnlyWritesNothing) {
    state.readOnly = 1;
    command(kCmdSave);
    EXPECT_FALSE(std::filesystem::exists(configPath()));
}

// ---------------------------------------------------------------- About

using AboutCommandTest = UiTest;

TEST_F(AboutCommandTest, WhilePlayingPausesForTheDialogAndResumes) {
    playList({clip("a.avi")});
    streamAt(800000);
    setFrameLimits(5, 50, 75, 7);
    fake.dialogScript = [](fake::FakeDialogView& view) {
        EXPECT_EQ(state.playing, 0);
        EXPECT_EQ(state.paused, 1);
        view.command(kIdOk);
    };
    command(kCmdAbout);
    EXPECT_EQ(streamCalls(), (Lines{"GetTime", "SetState(Stop)", "Seek(800000)", "SetState(Run)"}));
    int dialog = fake.indexOf("DialogBox(ABOUT_DLG,0x100)");
    EXPECT_GT(dialog, fake.indexOf("SetState(Stop)"));
    EXPECT_LT(dialog, fake.indexOf("Seek(800000)"));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    expectFrameLimits(5, 50, 75, 7);
    EXPECT_EQ(blackFill(), -1);
}

TEST_F(AboutCommandTest, APauseMadeBeforeIsLiftedToo) {
    playList({clip("a.avi")});
    streamAt(800000);
    command(kCmdPause);
    fake.clearLog();
    command(kCmdAbout);
    EXPECT_EQ(streamCalls(), (Lines{"Seek(800000)", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
}

TEST_F(AboutCommandTest, APauseIsLiftedEvenWhenASoundTookTheInputAway) {
    playList({clip("a.avi")});
    streamAt(800000);
    command(kCmdPause);
    fake.chosenFile = clip("ding.wav");
    command(kCmdOpen);
    ASSERT_EQ(state.haveInput, 0);
    fake.clearLog();
    command(kCmdAbout);
    EXPECT_EQ(streamCalls(), (Lines{"Seek(800000)", "SetState(Run)"}));
    EXPECT_EQ(state.playing, 1);
    EXPECT_EQ(state.paused, 0);
    EXPECT_EQ(blackFill(), -1);
}

TEST_F(AboutCommandTest, AfterStopStartsTheKeptStreamFromZero) {
    playList({clip("a.avi")});
    streamAt(800000);
    command(kCmdStop);
    fake.clearLog();
    command(kCmdAbout);
    EXPECT_EQ(streamCalls(), (Lines{"GetTime", "SetState(Stop)", "Seek(0)", "SetState(Run)"}));
    EXPECT_EQ(state.streamTime, 0);
    EXPECT_EQ(state.playing, 1);
}

TEST_F(AboutCommandTest, WithoutInputBlacksTheAreaAfterTheDialog) {
    makeSurfaces();
    fake.clearLog();
    command(kCmdAbout);
    EXPECT_TRUE(streamCalls().empty());
    EXPECT_GT(blackFill(), fake.indexOf("DialogBox(ABOUT_DLG,0x100)"));
    EXPECT_EQ(state.playing, 0);
}

// ---------------------------------------------------------------- Site

using SiteCommandTest = UiTest;

TEST_F(SiteCommandTest, OpensTheAuthorsSiteWithThePrefix) {
    command(kCmdSite);
    EXPECT_EQ(fake.log,
              (Lines{"InetIsOffline", "GetParent",
                     "ShellExecute(0x100,open,http://ostrel.org/products.html)"}));
    EXPECT_STREQ(state.urlBuffer, "http://ostrel.org/products.html");
}

TEST_F(SiteCommandTest, TheMainWindowsParentOwnsTheBrowserWhenThereIsOne) {
    fake.script("GetParent", {0x300});
    command(kCmdSite);
    EXPECT_EQ(fake.log.back(), "ShellExecute(0x300,open,http://ostrel.org/products.html)");
}

TEST_F(SiteCommandTest, OfflineDoesNothing) {
    fake.offline = true;
    command(kCmdSite);
    EXPECT_EQ(fake.log, Lines{"InetIsOffline"});
    EXPECT_STREQ(state.urlBuffer, "");
}

TEST_F(SiteCommandTest, NoneDoesNothingButOnlyInSmallLetters) {
    copyText(state.authorSite, "none");
    command(kCmdSite);
    EXPECT_EQ(fake.log, Lines{"InetIsOffline"});

    copyText(state.authorSite, "None");
    command(kCmdSite);
    EXPECT_EQ(fake.log.back(), "ShellExecute(0x100,open,http://None)");
}

TEST_F(SiteCommandTest, AnAddressWithItsOwnPrefixGetsItTwice) {
    copyText(state.authorSite, "http://example.net/x");
    command(kCmdSite);
    EXPECT_EQ(fake.log.back(), "ShellExecute(0x100,open,http://http://example.net/x)");
}

TEST_F(SiteCommandTest, AnAddressThatDoesNotFitBehindThePrefixIsNotOpened) {
    std::string longest(256, 's');  // 7 + 256 characters fill the buffer exactly
    copyText(state.authorSite, longest.c_str());
    command(kCmdSite);
    EXPECT_EQ(fake.log.back(), "ShellExecute(0x100,open,http://" + longest + ")");
    EXPECT_EQ(std::strlen(state.urlBuffer), 263u);

    fake.clearLog();
    copyText(state.urlBuffer, "");
    std::string tooLong(257, 't');
    copyText(state.authorSite, tooLong.c_str());
    command(kCmdSite);
    EXPECT_EQ(fake.count("ShellExecute"), 0);
    EXPECT_STREQ(state.urlBuffer, "");
}

// ---------------------------------------------------------------- Exit and Escape

using ExitCommandTest = UiTest;

TEST_F(ExitCommandTest, ExitSendsDestroyWhichWritesTheConfigurationAndEnds) {
    playList({clip("a.avi")});
    command(kCmdExit);
    EXPECT_EQ(fake.log.front(), "SendMessage(0x2)");
    EXPECT_EQ(readBytes(configPath()), expectedConfig({}));
    EXPECT_GE(fake.indexOf("PostQuitMessage(0)"), 0);
    EXPECT_EQ(fake.liveObjects, 0);
    EXPECT_EQ(fake.count("DefWindowProc"), 0);
}

TEST_F(ExitCommandTest, EscapeWritesTheConfigurationAndEndsLikeExit) {
    playList({clip("a.avi")});
    send(kWmKeyDown, kVkEscape);
    EXPECT_FALSE(std::filesystem::exists(configPath()));  // not before the close arrives
    dispatchQueue();
    EXPECT_EQ(fake.indexOf("PostMessage(0x10)"), 0);
    EXPECT_GT(fake.indexOf("DefWindowProc(0x10)"), 0);
    EXPECT_EQ(readBytes(configPath()), expectedConfig({}));
    EXPECT_GE(fake.indexOf("PostQuitMessage(0)"), 0);
    EXPECT_EQ(fake.liveObjects, 0);
}

}  // namespace
}  // namespace ostrel::uitest
