// The logic of the stream settings and about dialogs, driven through the
// fake's dialog view: bars, item number, volume, centring and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiFixture.h"
#include "ui/Dialogs.h"

namespace ostrel::uitest {
namespace {

using Lines = std::vector<std::string>;
using fake::FakeDialogView;

class DialogTest : public UiTest {
protected:
    FakeDialogView settings{fake.log, "SET_DLG"};
    FakeDialogView about{fake.log, "ABOUT_DLG"};

    void SetUp() override {
        UiTest::SetUp();
        settings.proc = settingsDialogProc;
        about.proc = aboutDialogProc;
    }

    // Opens the settings dialog and starts the log afresh.
    void openSettings() {
        EXPECT_TRUE(settings.send(kWmInitDialog));
        fake.clearLog();
    }

    Lines volumeWrites() const { return fake.calls("waveOutSetVolume"); }
};

// ---------------------------------------------------------------- opening

using SettingsDialogOpenTest = DialogTest;

TEST_F(SettingsDialogOpenTest, SetsTheRangesBarsItemNumberAndCentres) {
    state.trackPos = 4000;
    state.volumePos = 7500;
    state.currentItem = 2;
    EXPECT_TRUE(settings.send(kWmInitDialog));
    EXPECT_EQ(
        fake.log,
        (Lines{"SetScrollRange(40017,0,10000,no redraw)", "SetScrollRange(40018,0,10000,no redraw)",
               "SetScrollPos(40017,4000,redraw)", "SetScrollPos(40018,7500,redraw)",
               "SetDlgItemText(40008,\" 3\")", "FindWindow( ostrelwin| ostrel v2.03)",
               "GetWindowRect", "MoveDialog(281,265)"}));
    EXPECT_EQ(state.selectedItem, 3);
    EXPECT_FALSE(settings.ended);
}

TEST_F(SettingsDialogOpenTest, BarsAtZeroNeedNoCall) {
    state.trackPos = 0;
    state.volumePos = 0;
    state.currentItem = 0;
    settings.send(kWmInitDialog);
    EXPECT_EQ(fake.count("SetScrollPos"), 0);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
}

TEST_F(SettingsDialogOpenTest, EachOpeningShowsTheCurrentItemAgain) {
    state.currentItem = 0;
    state.itemCount = 3;
    settings.send(kWmInitDialog);
    settings.command(kIdItemNext);
    EXPECT_EQ(state.selectedItem, 2);
    FakeDialogView again(fake.log, "SET_DLG");
    again.proc = settingsDialogProc;
    again.send(kWmInitDialog);
    EXPECT_EQ(state.selectedItem, 1);
    EXPECT_EQ(again.texts[kIdItemNumber], " 1");
}

// ---------------------------------------------------------------- centring

struct Centring {
    Rect window;
    Point settings;  // 300 x 255
    Point about;     // 300 x 174
};

class DialogCentringTest : public DialogTest, public ::testing::WithParamInterface<Centring> {};

TEST_P(DialogCentringTest, CentresOnTheMainWindowTruncatingTowardZero) {
    fake.windowRect = GetParam().window;
    settings.send(kWmInitDialog);
    about.send(kWmInitDialog);
    EXPECT_TRUE(settings.moved);
    EXPECT_EQ(settings.position, GetParam().settings);
    EXPECT_TRUE(about.moved);
    EXPECT_EQ(about.position, GetParam().about);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DialogCentringTest,
    ::testing::Values(
        // The default window: 462 x 386.
        Centring{{200, 200, 662, 586}, {281, 265}, {281, 306}},
        // Odd differences lose their half: 301 - 300 = 1, 257 - 255 = 2, 175 - 174 = 1.
        Centring{{10, 20, 311, 277}, {10, 21}, {10, 61}},
        Centring{{10, 20, 311, 195}, {10, -20}, {10, 20}},
        // A window smaller than the dialog: -1 / 2 is 0, -155 / 2 is -77, -74 / 2 is -37.
        Centring{{10, 20, 309, 120}, {10, -57}, {10, -17}},
        Centring{{0, 0, 299, 100}, {0, -77}, {0, -37}},
        // A window partly off the screen.
        Centring{{-100, -50, 401, 336}, {0, 15}, {0, 56}}));

TEST_F(DialogTest, StaysWhereTheTemplatePutsItWhenTheMainWindowIsNotFound) {
    fake.windowFound = false;
    settings.send(kWmInitDialog);
    about.send(kWmInitDialog);
    EXPECT_FALSE(settings.moved);
    EXPECT_FALSE(about.moved);
    EXPECT_EQ(fake.count("GetWindowRect"), 0);

    fake.windowFound = true;
    fake.script("GetWindowRect", {0});
    settings.send(kWmInitDialog);
    EXPECT_FALSE(settings.moved);
}

// ---------------------------------------------------------------- item number

using SettingsDialogItemTest = DialogTest;

TEST_F(SettingsDialogItemTest, ThreeItemsWrapBothWays) {
    state.itemCount = 3;
    state.currentItem = 0;
    openSettings();
    settings.command(kIdItemPrev);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 3");
    settings.command(kIdItemNext);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    settings.command(kIdItemNext);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 2");
    settings.command(kIdItemPrev);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    EXPECT_EQ(state.selectedItem, 1);
    EXPECT_EQ(fake.calls("SetDlgItemText"),
              (Lines{"SetDlgItemText(40008,\" 3\")", "SetDlgItemText(40008,\" 1\")",
                     "SetDlgItemText(40008,\" 2\")", "SetDlgItemText(40008,\" 1\")"}));
    EXPECT_FALSE(settings.ended);
}

TEST_F(SettingsDialogItemTest, OneItemKeepsOneBothWays) {
    state.itemCount = 1;
    openSettings();
    settings.command(kIdItemPrev);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    settings.command(kIdItemNext);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    EXPECT_EQ(state.selectedItem, 1);
}

TEST_F(SettingsDialogItemTest, AnEmptyListNeverShowsZero) {
    state.itemCount = 0;
    openSettings();
    settings.command(kIdItemPrev);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    EXPECT_EQ(state.selectedItem, 1);
    settings.command(kIdItemNext);
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");
    EXPECT_EQ(state.selectedItem, 1);
}

TEST_F(SettingsDialogItemTest, ButtonsAnswerFalseAndIgnoreTheNotificationWord) {
    state.itemCount = 98;
    state.currentItem = 96;
    openSettings();
    // The button's notification code rides in the high word.
    EXPECT_FALSE(settings.send(kWmCommand, kIdItemNext | (0u << 16)));
    EXPECT_FALSE(settings.send(kWmCommand, kIdItemNext | (5u << 16)));
    EXPECT_EQ(settings.texts[kIdItemNumber], " 1");  // 97, 98, then wrapped
}

// ---------------------------------------------------------------- closing

using DialogCloseTest = DialogTest;

TEST_F(DialogCloseTest, OnlyOkClosesTheSettingsDialog) {
    openSettings();
    for (int id : {2, 0, 3, 40008, 40017, 40018}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(settings.command(id));
    }
    EXPECT_FALSE(settings.ended);
    EXPECT_TRUE(settings.command(kIdOk));
    EXPECT_TRUE(settings.ended);
    EXPECT_EQ(settings.result, 1);
}

TEST_F(DialogCloseTest, OnlyOkClosesTheAboutDialog) {
    about.send(kWmInitDialog);
    for (int id : {2, 0, 21, 40012, 40013}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(about.command(id));
    }
    EXPECT_FALSE(about.ended);
    EXPECT_TRUE(about.command(kIdOk));
    EXPECT_TRUE(about.ended);
    EXPECT_EQ(about.result, 1);
}

TEST_F(DialogCloseTest, OtherMessagesAreNotHandled) {
    EXPECT_FALSE(settings.send(kWmDrawItem, 0, 0));
    EXPECT_FALSE(settings.send(0x000F));
    EXPECT_FALSE(about.send(0x000F));
    EXPECT_TRUE(fake.log.empty());
}

// ---------------------------------------------------------------- scroll bars

struct Step {
    int from;
    std::uint32_t code;
    int to;
    bool setsBar;
};

class VolumeBarStepTest : public DialogTest, public ::testing::WithParamInterface<Step> {};

TEST_P(VolumeBarStepTest, LineStepsMoveByTenWithinTheRangeAndApplyAtOnce) {
    const Step& step = GetParam();
    state.volumePos = step.from;
    openSettings();
    state.volumeLevel = -1;
    EXPECT_FALSE(settings.scroll(kIdVolumeBar, step.code));
    EXPECT_EQ(state.volumePos, step.to);
    if (step.setsBar) {
        EXPECT_EQ(fake.calls("SetScrollPos"),
                  Lines{"SetScrollPos(40018," + std::to_string(step.to) + ",redraw)"});
        EXPECT_EQ(state.volumeLevel, step.to * 8 / 10000);
        EXPECT_EQ(volumeWrites().size(), 1u);
    } else {
        EXPECT_TRUE(fake.log.empty());
        EXPECT_EQ(state.volumeLevel, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VolumeBarStepTest,
    ::testing::Values(Step{0, kSbLineLeft, 0, false}, Step{0, kSbLineRight, 10, true},
                      Step{5, kSbLineLeft, 0, true}, Step{5, kSbLineRight, 15, true},
                      Step{1250, kSbLineLeft, 1240, true}, Step{1245, kSbLineRight, 1255, true},
                      Step{9995, kSbLineRight, 10000, true}, Step{9995, kSbLineLeft, 9985, true},
                      Step{10000, kSbLineRight, 10000, false}, Step{10000, kSbLineLeft, 9990, true},
                      Step{5000, kSbPageLeft, 5000, false}, Step{5000, kSbPageRight, 5000, false},
                      Step{0, kSbPageLeft, 0, false}, Step{5000, 8 /* end scroll */, 5000, false},
                      Step{5000, 6 /* left end */, 5000, false}));

using VolumeBarTest = DialogTest;

TEST_F(VolumeBarTest, LevelsAndVolumesAtTheBandEdges) {
    state.volumePos = 1250;
    openSettings();
    settings.scroll(kIdVolumeBar, kSbLineLeft);  // 1240: level 0, silence
    EXPECT_EQ(state.volumeLevel, 0);
    settings.scroll(kIdVolumeBar, kSbLineRight);  // 1250: level 1
    EXPECT_EQ(state.volumeLevel, 1);
    state.volumePos = 9995;
    settings.scroll(kIdVolumeBar, kSbLineRight);  // 10000: level 8, full
    EXPECT_EQ(state.volumeLevel, 8);
    EXPECT_EQ(volumeWrites(), (Lines{"waveOutSetVolume(0x0)", "waveOutSetVolume(0x11111111)",
                                     "waveOutSetVolume(0xFFFFFFFF)"}));
    EXPECT_EQ(fake.deviceVolume, 0xFFFFFFFFu);
}

TEST_F(VolumeBarTest, DraggingMovesOnlyTheBarAndReleasingApplies) {
    state.volumePos = 2500;
    openSettings();
    settings.scroll(kIdVolumeBar, kSbThumbTrack, 6000);
    settings.scroll(kIdVolumeBar, kSbThumbTrack, 7503);
    EXPECT_EQ(state.volumePos, 2500);
    EXPECT_TRUE(volumeWrites().empty());
    EXPECT_EQ(settings.scrollPos[kIdVolumeBar], 7503);

    // The value comes from the bar, not from the release message.
    settings.scroll(kIdVolumeBar, kSbThumbPosition, 1);
    EXPECT_EQ(state.volumePos, 7503);
    EXPECT_EQ(state.volumeLevel, 6);
    EXPECT_EQ(volumeWrites(), Lines{"waveOutSetVolume(0xBBBBBBBB)"});
    EXPECT_EQ(fake.calls("GetScrollPos"), Lines{"GetScrollPos(40018)"});

    // A line step from the thumb's odd value stays on the scale.
    state.volumePos = 5;
    settings.scroll(kIdVolumeBar, kSbLineLeft);
    EXPECT_EQ(state.volumePos, 0);
}

TEST_F(VolumeBarTest, ReleasingAtTheEndsGivesSilenceAndFullVolume) {
    openSettings();
    settings.scroll(kIdVolumeBar, kSbThumbTrack, 10000);
    settings.scroll(kIdVolumeBar, kSbThumbPosition, 10000);
    EXPECT_EQ(state.volumeLevel, 8);
    settings.scroll(kIdVolumeBar, kSbThumbTrack, 1249);
    settings.scroll(kIdVolumeBar, kSbThumbPosition, 1249);
    EXPECT_EQ(state.volumeLevel, 0);
    EXPECT_EQ(volumeWrites(), (Lines{"waveOutSetVolume(0xFFFFFFFF)", "waveOutSetVolume(0x0)"}));
}

using PositionBarTest = DialogTest;

TEST_F(PositionBarTest, StepsMoveOnlyThePositionAndTouchNoVolume) {
    state.trackPos = 5;
    state.volumePos = 5000;
    openSettings();
    settings.scroll(kIdPositionBar, kSbLineLeft);
    EXPECT_EQ(state.trackPos, 0);
    settings.scroll(kIdPositionBar, kSbLineLeft);
    EXPECT_EQ(state.trackPos, 0);
    state.trackPos = 9995;
    settings.scroll(kIdPositionBar, kSbLineRight);
    EXPECT_EQ(state.trackPos, 10000);
    settings.scroll(kIdPositionBar, kSbLineRight);
    settings.scroll(kIdPositionBar, kSbPageLeft);
    settings.scroll(kIdPositionBar, kSbPageRight);
    EXPECT_EQ(state.trackPos, 10000);
    EXPECT_EQ(fake.calls("SetScrollPos"),
              (Lines{"SetScrollPos(40017,0,redraw)", "SetScrollPos(40017,10000,redraw)"}));
    EXPECT_EQ(state.volumePos, 5000);
    EXPECT_EQ(fake.count("waveOut"), 0);
}

TEST_F(PositionBarTest, TrackThenReleaseReadsTheBarBack) {
    openSettings();
    settings.scroll(kIdPositionBar, kSbThumbTrack, 3333);
    EXPECT_EQ(state.trackPos, 0);
    settings.scroll(kIdPositionBar, kSbThumbPosition, 3333);
    EXPECT_EQ(state.trackPos, 3333);
    EXPECT_EQ(fake.log, (Lines{"SetScrollPos(40017,3333,redraw)", "GetScrollPos(40017)"}));
}

TEST_F(PositionBarTest, AnyBarButTheVolumeBarIsThePosition) {
    state.trackPos = 100;
    state.volumePos = 100;
    openSettings();
    settings.send(kWmHScroll, kSbLineRight, reinterpret_cast<LParam>(settings.item(40099)));
    EXPECT_EQ(state.trackPos, 110);
    EXPECT_EQ(state.volumePos, 100);
}

// ---------------------------------------------------------------- about

using AboutDialogTest = DialogTest;

TEST_F(AboutDialogTest, OpensWithLinkVersionCentringAndTheIntroSound) {
    EXPECT_TRUE(about.send(kWmInitDialog));
    EXPECT_EQ(fake.log,
              (Lines{"MakeHyperlink(40013,http://ostrel.org)",
                     "SetDlgItemText(40012,\"2.03\")", "FindWindow( ostrelwin| ostrel v2.03)",
                     "GetWindowRect", "MoveDialog(281,306)", "PlaySound(#129,0x40005)"}));
    EXPECT_FALSE(about.ended);
}

TEST_F(AboutDialogTest, SoundOffOpensSilently) {
    state.soundOn = 0;
    about.send(kWmInitDialog);
    EXPECT_EQ(fake.count("PlaySound"), 0);
    EXPECT_EQ(about.texts[kIdVersion], "2.03");
}

TEST_F(AboutDialogTest, AFailingIntroSoundIsIgnoredAndClosingDoesNotCutIt) {
    fake.script("PlaySound", {0});
    EXPECT_TRUE(about.send(kWmInitDialog));
    EXPECT_TRUE(about.command(kIdOk));
    EXPECT_EQ(fake.count("sndPlaySound"), 0);
    EXPECT_EQ(fake.log.back(), "EndDialog(1)");
}

TEST_F(AboutDialogTest, TheCommandOpensItOwnedByTheAddressedWindow) {
    makeSurfaces();
    fake.clearLog();
    WindowHandle addressed = FakePlatform::window(0x999);
    mainWindowProc(addressed, kWmCommand, kCmdAbout, 0);
    EXPECT_GE(fake.indexOf("DialogBox(ABOUT_DLG,0x999)"), 0);
    ASSERT_EQ(fake.dialogs.size(), 1u);
    EXPECT_EQ(fake.dialogs[0]->links[kIdLink], kMakerUrl);
    EXPECT_TRUE(fake.dialogs[0]->ended);
}

}  // namespace
}  // namespace ostrel::uitest
