// The logic of the stream settings and about dialogs, driven through the
// fake's dialog view: bars, item number, volume, centring and closing.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

class DialogTest : public UiTest {
public:
    FakeDialogView settings{fake, settingsDialogProc}, about{fake, aboutDialogProc};
    void open(FakeDialogView& view) {
        EXPECT_TRUE(view.send(kWmInitDialog));
        fake.log.clear();
    }
};

TEST_F(DialogTest, BothOpenCentredOnTheMainWindowAndAboutPlaysTheIntroIfSoundIsOn) {
    state.trackPos = 4000, state.volumePos = 7500, state.currentItem = 2;
    EXPECT_TRUE(settings.send(kWmInitDialog) && about.send(kWmInitDialog));
    EXPECT_EQ(logText(),
              "SetScrollRange(40017,0,10000,0) SetScrollRange(40018,0,10000,0) "
              "SetScrollPos(40017,4000,1) SetScrollPos(40018,7500,1) "
              "SetDlgItemText(40008, 3) FindWindow( ostrelwin, ostrel v2.03) "
              "GetWindowRect() MoveDialog(281,265) MakeHyperlink(40013,http://ostrel.org) "
              "SetDlgItemText(40012,2.03) FindWindow( ostrelwin, ostrel v2.03) "
              "GetWindowRect() MoveDialog(281,306) PlaySound(#129,0x40005)");
    // Settings is centred as 300 x 255, about as 300 x 174: odd differences
    // lose their half, negative ones round toward zero; without the window
    // or its rectangle neither moves. Bars at 0 need no call; a failing intro
    // is let go, and closing does not cut one that plays.
    state.trackPos = state.volumePos = 0;
    fake.script("PlaySound", {0});
    for (const char* row :
         {"10 20 311 277 => MoveDialog(10,21) MoveDialog(10,61)",
          "10 20 311 195 => MoveDialog(10,-20) MoveDialog(10,20)",
          "10 20 309 120 => MoveDialog(10,-57) MoveDialog(10,-17)",
          "0 0 299 100 => MoveDialog(0,-77) MoveDialog(0,-37)",
          "-100 -50 401 336 => MoveDialog(0,15) MoveDialog(0,56)", "0 0 0 0 => "}) {
        Rect& r = fake.windowRect;
        std::sscanf(row, "%d %d %d %d", &r.left, &r.top, &r.right, &r.bottom);
        fake.log.clear();
        fake.windowFound = r.right;
        settings.send(kWmInitDialog);
        if (!r.right) fake.windowFound = true, fake.script("GetWindowRect", {0});
        about.send(kWmInitDialog);
        EXPECT_TRUE(about.command(IDOK));
        EXPECT_EQ(logOf({"MoveDialog", "SetScrollPos", "sndPlaySound"}), split(row)[1]);
    }
    // The command opens it owned by the window addressed; without sound the
    // intro stays silent.
    state.soundOn = 0;
    fake.log.clear();
    mainWindowProc(window(0x999), kWmCommand, IDM_ABOUT, 0);
    EXPECT_EQ(logOf({"DialogBox", "PlaySound"}), "DialogBox(ABOUT_DLG,0x999)");
}

TEST_F(DialogTest, TheItemNumberWrapsBothWaysAndNeverShowsZeroAndOnlyOkCloses) {
    // Items, current => presses ('<' previous, '>' next) => shown on opening
    // (the current item, whatever was picked before) and after each press => selected.
    for (const char* row :
         {"3 0 => <>>< =>  1 3 1 2 1 => 1", "3 2 =>  =>  3 => 3", "1 0 => <> =>  1 1 1 => 1",
          "0 0 => <> =>  1 1 1 => 1", "98 96 => >> =>  97 98 1 => 1", "3 1 => << =>  2 1 3 => 3"}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        std::sscanf(row, "%d %d", &state.itemCount, &state.currentItem);
        open(settings);
        std::string shown = settings.texts[IDC_ITEM_NUMBER];
        for (char press : c[1]) {  // the button's notification code rides in the high word
            EXPECT_FALSE(settings.send(kWmCommand,
                                       (press == '<' ? IDC_ITEM_PREV : IDC_ITEM_NEXT) | (5 << 16)));
            shown += settings.texts[IDC_ITEM_NUMBER];
        }
        EXPECT_EQ(shown + " => " + std::to_string(state.selectedItem), c[2] + " => " + c[3]);
    }
    about.send(kWmInitDialog);
    for (int id : {2, 0, 3, 21, 40008, 40012, 40013, 40017, 40018})
        EXPECT_FALSE(settings.command(id) || about.command(id)) << id;
    EXPECT_FALSE(settings.send(kWmDrawItem) || about.send(kWmDrawItem) || about.send(0x000F));
    EXPECT_FALSE(settings.result || about.result);
    EXPECT_TRUE(settings.command(IDOK) && about.command(IDOK));
    EXPECT_EQ(*settings.result + *about.result, 2);
}

TEST_F(DialogTest, ScrollCodesStepTheBarsAndTheVolumeBarAppliesAtOnce) {
    // Bar, from, scroll code => the bar's position after it => the volume
    // level set at once, if any. Codes: 0 line left, 1 line right, 2 and 3
    // page, 8 end of scroll; any bar but the volume's is the position.
    for (const char* row :
         {"40018 0 0 => 0 => ", "40018 0 1 => 10 => 0", "40018 5 0 => 0 => 0",
          "40018 5 1 => 15 => 0", "40018 1250 0 => 1240 => 0", "40018 1240 1 => 1250 => 1",
          "40018 9995 1 => 10000 => 8", "40018 9995 0 => 9985 => 7", "40018 10000 1 => 10000 => ",
          "40018 10000 0 => 9990 => 7", "40018 5000 2 => 5000 => ", "40018 5000 3 => 5000 => ",
          "40018 5000 8 => 5000 => ", "40017 5 0 => 0 => ", "40017 0 0 => 0 => ",
          "40017 9995 1 => 10000 => ", "40017 10000 1 => 10000 => ", "40017 5000 3 => 5000 => ",
          "40099 100 1 => 110 => "}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        int bar, from, code;
        std::sscanf(row, "%d %d %d", &bar, &from, &code);
        bool volume = bar == IDC_VOLUME_BAR;
        std::int32_t &moved = volume ? state.volumePos : state.trackPos,
                     &other = volume ? state.trackPos : state.volumePos;
        moved = from, other = 100;
        open(settings);
        state.volumeLevel = -1;
        EXPECT_FALSE(settings.scroll(bar, code));
        EXPECT_EQ(format("%d %d", moved, other), c[1] + " 100");
        EXPECT_EQ(logOf({"SetScrollPos"}), from != std::stoi(c[1]) || !c[2].empty()
                                               ? format("SetScrollPos(%d,%s,1)", bar, c[1].c_str())
                                               : "");
        EXPECT_EQ(state.volumeLevel, c[2].empty() ? -1 : std::stoi(c[2]));
        EXPECT_EQ(fake.count("waveOutSetVolume"), !c[2].empty());
    }
    // Dragging moves only the bar; on release the value is read from the bar,
    // not taken from the message.
    state.volumePos = 2500;
    open(settings);
    settings.scroll(IDC_VOLUME_BAR, kSbThumbTrack, 7503);
    EXPECT_EQ(state.volumePos, 2500);
    settings.scroll(IDC_VOLUME_BAR, kSbThumbPosition, 1);
    EXPECT_EQ(logOf({"SetScrollPos", "GetScrollPos", "waveOutSetVolume"}),
              "SetScrollPos(40018,7503,1) GetScrollPos(40018) waveOutSetVolume(0xBBBBBBBB)");
}

}  // namespace
}  // namespace ostrel::test
