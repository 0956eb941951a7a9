// The logic of the stream settings and about dialogs, driven through the
// fake's dialog view: bars, item number, volume, centring and closing.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

class DialogTest : public UiTest {
public:
    FakeDialogView settings{fake, settingsDialogProc}, about{fake, aboutDialogProc};
    // Opens the settings dialog and starts the log afresh.
    void openSettings() {
        EXPECT_TRUE(settings.send(kWmInitDialog));
        fake.log.clear();
    }
};

TEST_F(DialogTest, BothOpenCentredOnTheMainWindowTruncatingTowardZero) {
    state.trackPos = 4000, state.volumePos = 7500, state.currentItem = 2;
    EXPECT_TRUE(settings.send(kWmInitDialog));
    EXPECT_EQ(logText(),
              "SetScrollRange(40017,0,10000,0) SetScrollRange(40018,0,10000,0) "
              "SetScrollPos(40017,4000,1) SetScrollPos(40018,7500,1) "
              "SetDlgItemText(40008, 3) FindWindow( ostrelwin, ostrel v2.03) "
              "GetWindowRect() MoveDialog(281,265)");
    EXPECT_EQ(state.selectedItem, 3);
    fake.log.clear();
    EXPECT_TRUE(about.send(kWmInitDialog));
    EXPECT_EQ(logText(),
              "MakeHyperlink(40013,http://ostrel.org) SetDlgItemText(40012,2.03) "
              "FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
              "MoveDialog(281,306) PlaySound(#129,0x40005)");
    // Settings is centred as 300 x 255, about as 300 x 174: odd differences
    // lose their half, negative ones round toward zero; without the window
    // or its rectangle neither moves.
    const struct {
        Rect window;
        const char* moves;
    } cases[] = {
        {{10, 20, 311, 277}, "MoveDialog(10,21) MoveDialog(10,61)"},
        {{10, 20, 311, 195}, "MoveDialog(10,-20) MoveDialog(10,20)"},
        {{10, 20, 309, 120}, "MoveDialog(10,-57) MoveDialog(10,-17)"},
        {{0, 0, 299, 100}, "MoveDialog(0,-77) MoveDialog(0,-37)"},
        {{-100, -50, 401, 336}, "MoveDialog(0,15) MoveDialog(0,56)"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        fake.log.clear();
        fake.windowRect = c.window;
        fake.windowFound = c.moves[0];
        settings.send(kWmInitDialog);
        if (!c.moves[0]) fake.windowFound = true, fake.script("GetWindowRect", {0});
        about.send(kWmInitDialog);
        EXPECT_EQ(joined(fake.calls("MoveDialog")), c.moves);
    }
    // A bar at 0 needs no call; each opening shows the current item again.
    state.trackPos = state.volumePos = state.currentItem = 0;
    state.itemCount = 3;
    settings.command(IDC_ITEM_NEXT);
    fake.log.clear();
    settings.send(kWmInitDialog);
    EXPECT_EQ(fake.count("SetScrollPos"), 0);
    EXPECT_EQ(settings.texts[IDC_ITEM_NUMBER], " 1");
}

TEST_F(DialogTest, AboutPlaysTheIntroOnlyWhenSoundIsOnAndAFailingOneIsLetGo) {
    fake.script("PlaySound", {0});
    about.send(kWmInitDialog);
    EXPECT_TRUE(about.command(IDOK));  // and closing does not cut it
    EXPECT_EQ(fake.count("sndPlaySound"), 0);
    state.soundOn = 0;
    fake.log.clear();
    about.send(kWmInitDialog);
    EXPECT_EQ(fake.count("PlaySound"), 0);
    // The command opens it owned by the window addressed.
    mainWindowProc(FakePlatform::window(0x999), kWmCommand, IDM_ABOUT, 0);
    EXPECT_EQ(fake.count("DialogBox(ABOUT_DLG,0x999)"), 1);
}

TEST_F(DialogTest, TheItemNumberWrapsBothWaysAndNeverShowsZero) {
    const struct {
        int items, current;
        const char* presses;  // '<' previous, '>' next
        const char* shown;
        int selected;
    } cases[] = {
        {3, 0, "<>><", " 3 1 2 1", 1}, {1, 0, "<>", " 1 1", 1}, {0, 0, "<>", " 1 1", 1},
        {98, 96, ">>", " 98 1", 1},    {3, 1, "<<", " 1 3", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.presses);
        state.itemCount = c.items, state.currentItem = c.current;
        openSettings();
        std::string shown;
        for (const char* p = c.presses; *p; ++p) {
            // The button's notification code rides in the high word.
            EXPECT_FALSE(
                settings.send(kWmCommand, (*p == '<' ? IDC_ITEM_PREV : IDC_ITEM_NEXT) | (5 << 16)));
            shown += settings.texts[IDC_ITEM_NUMBER];
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(state.selectedItem, c.selected);
    }
    EXPECT_FALSE(settings.result);
}

TEST_F(DialogTest, OnlyOkClosesEitherDialog) {
    openSettings();
    about.send(kWmInitDialog);
    for (int id : {2, 0, 3, 21, 40008, 40012, 40013, 40017, 40018})
        EXPECT_FALSE(settings.command(id) || about.command(id)) << id;
    EXPECT_FALSE(settings.send(kWmDrawItem) || about.send(kWmDrawItem) || about.send(0x000F));
    EXPECT_FALSE(settings.result || about.result);
    EXPECT_TRUE(settings.command(IDOK) && about.command(IDOK));
    EXPECT_EQ(*settings.result + *about.result, 2);
}

TEST_F(DialogTest, ScrollCodesStepTheBarsAndTheVolumeBarAppliesAtOnce) {
    const struct {
        int bar, from;
        std::uint32_t code;
        int to, level;  // level -1: the bar does not move
    } cases[] = {
        {IDC_VOLUME_BAR, 0, kSbLineLeft, 0, -1},
        {IDC_VOLUME_BAR, 0, kSbLineRight, 10, 0},
        {IDC_VOLUME_BAR, 5, kSbLineLeft, 0, 0},
        {IDC_VOLUME_BAR, 5, kSbLineRight, 15, 0},
        {IDC_VOLUME_BAR, 1250, kSbLineLeft, 1240, 0},
        {IDC_VOLUME_BAR, 1240, kSbLineRight, 1250, 1},
        {IDC_VOLUME_BAR, 9995, kSbLineRight, 10000, 8},
        {IDC_VOLUME_BAR, 9995, kSbLineLeft, 9985, 7},
        {IDC_VOLUME_BAR, 10000, kSbLineRight, 10000, -1},
        {IDC_VOLUME_BAR, 10000, kSbLineLeft, 9990, 7},
        {IDC_VOLUME_BAR, 5000, kSbPageLeft, 5000, -1},
        {IDC_VOLUME_BAR, 5000, kSbPageRight, 5000, -1},
        {IDC_VOLUME_BAR, 5000, 8 /* end of scroll */, 5000, -1},
        {IDC_POSITION_BAR, 5, kSbLineLeft, 0, -1},
        {IDC_POSITION_BAR, 0, kSbLineLeft, 0, -1},
        {IDC_POSITION_BAR, 9995, kSbLineRight, 10000, -1},
        {IDC_POSITION_BAR, 10000, kSbLineRight, 10000, -1},
        {IDC_POSITION_BAR, 5000, kSbPageRight, 5000, -1},
        {40099, 100, kSbLineRight, 110, -1},  // any other bar is the position
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(format("bar %d from %d code %u", c.bar, c.from, c.code));
        bool volume = c.bar == IDC_VOLUME_BAR;
        state.trackPos = state.volumePos = 100;
        (volume ? state.volumePos : state.trackPos) = c.from;
        openSettings();
        state.volumeLevel = -1;
        EXPECT_FALSE(settings.scroll(c.bar, c.code));
        EXPECT_EQ(volume ? state.volumePos : state.trackPos, c.to);
        EXPECT_EQ(volume ? state.trackPos : state.volumePos, 100);
        bool moves = c.from != c.to || c.level >= 0;
        EXPECT_EQ(joined(fake.calls("SetScrollPos")),
                  moves ? format("SetScrollPos(%d,%d,1)", c.bar, c.to) : "");
        EXPECT_EQ(state.volumeLevel, c.level);
        EXPECT_EQ(fake.count("waveOutSetVolume"), c.level >= 0);
    }
}

TEST_F(DialogTest, DraggingMovesOnlyTheBarAndReleasingReadsItBack) {
    state.volumePos = 2500;
    openSettings();
    settings.scroll(IDC_VOLUME_BAR, kSbThumbTrack, 6000);
    settings.scroll(IDC_VOLUME_BAR, kSbThumbTrack, 7503);
    settings.scroll(IDC_POSITION_BAR, kSbThumbTrack, 3333);
    EXPECT_EQ(logText(),
              "SetScrollPos(40018,6000,1) SetScrollPos(40018,7503,1) SetScrollPos(40017,3333,1)");
    EXPECT_EQ(state.volumePos + state.trackPos, 2500);
    // The value comes from the bar, not from the release message.
    fake.log.clear();
    settings.scroll(IDC_VOLUME_BAR, kSbThumbPosition, 1);
    settings.scroll(IDC_POSITION_BAR, kSbThumbPosition, 1);
    EXPECT_EQ(logText(),
              "GetScrollPos(40018) waveOutOpen(1,2,44100,88200,2,8,0) "
              "waveOutSetVolume(0xBBBBBBBB) waveOutClose() GetScrollPos(40017)");
    EXPECT_EQ(state.volumeLevel * 10000 + state.trackPos, 63333);
    for (int end : {10000, 1249}) {  // full volume, then silence
        settings.scroll(IDC_VOLUME_BAR, kSbThumbTrack, end);
        settings.scroll(IDC_VOLUME_BAR, kSbThumbPosition, end);
    }
    EXPECT_EQ(joined(fake.calls("waveOutSetVolume")),
              "waveOutSetVolume(0xBBBBBBBB) waveOutSetVolume(0xFFFFFFFF) waveOutSetVolume(0x0)");
}

}  // namespace
}  // namespace ostrel::test
