// The nine commands: the command table row by row (playing, paused, input,
// item, list, frame limits and the stream's calls), then what each command
// has of its own: Open's dialog and its failures, the settings dialog's
// choices, Save and Site. (Exit: the main window's test; Escape: start-up's.)
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

using CommandTest = UiTest;

// A command in a player standing as `before` says: unless "no input", item
// 2 of a list of three plays at 1.2 s, then "paused", "stopped" or "sound"
// (a WAV opened) follow in turn, or "at end frame" stops it by its limit;
// the frame limits are then 25, 50, 75 and 7. Each row: the command (its
// name starts the row's), `before`, the file Open's dialog answers ("" cancels),
// playState() and the first slot afterwards, playCalls().
TEST_F(CommandTest, DoesWhatTheCommandTableSays) {
    const struct {
        const char *name, *before, *chosen, *after, *calls;
    } rows[] = {
        // Open: the chosen video is the only item and runs from its start; the
        // frame limits are neither applied nor cleared. A sound plays on its
        // own. A cancel stops, blacks the area and keeps the first slot.
        {"OpenVideoWhilePlaying", "playing", "d.avi", "101 0/0 25,50,75,7 d.avi",
         "SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) OpenFile(d.avi,0) "
         "GetDuration() SetState(Run)"},
        {"OpenVideoWhilePaused", "paused", "d.avi", "101 0/0 25,50,75,7 d.avi",
         "GetOpenFileName(empty,260) Release(stream) OpenFile(d.avi,0) GetDuration() "
         "SetState(Run)"},
        {"OpenSoundWhilePlaying", "playing", "Song.WAV", "000 0/0 0,0,0,0 Song.WAV",
         "SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) "
         "sndPlaySound(Song.WAV,1) BltFill"},
        {"OpenSoundWhilePaused", "paused", "Song.WAV", "010 0/0 0,0,0,0 Song.WAV",
         "GetOpenFileName(empty,260) sndPlaySound(Song.WAV,1) BltFill"},
        {"OpenCancelledWhilePlaying", "playing", "", "001 1/3 25,50,75,7 a.avi",
         "SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) BltFill"},
        {"OpenCancelledWhilePaused", "paused", "", "011 1/3 25,50,75,7 a.avi",
         "GetOpenFileName(empty,260) BltFill"},
        // Start: nothing while playing; resumes a pause at its time; else sets
        // the current item up (the start frame still applies); then clears
        // the limits.
        {"StartWhilePlaying", "playing", "", "101 1/3 25,50,75,7 a.avi", ""},
        {"StartAfterPause", "paused", "", "101 1/3 0,0,0,0 a.avi", "Seek(1200000) SetState(Run)"},
        {"StartAtTheEndFrame", "at end frame", "", "101 1/3 0,0,0,0 a.avi",
         "Release(stream) OpenFile(b.avi,0) GetDuration() Seek(10000000) SetState(Run)"},
        {"StartAfterStop", "stopped", "", "101 0/0 0,0,0,0 a.avi",
         "Release(stream) OpenFile(a.avi,0) GetDuration() Seek(10000000) SetState(Run)"},
        {"StartAfterStopOfAPause", "paused, stopped", "", "101 0/0 0,0,0,0 a.avi",
         "Seek(0) SetState(Run)"},
        {"StartWithoutInput", "no input", "", "000 2/3 0,0,0,0 ", ""},
        // Pause: once, keeping the stream's time.
        {"PauseWhilePlaying", "playing", "", "011 1/3 25,50,75,7 a.avi",
         "GetTime() SetState(Stop)"},
        {"PauseWhilePaused", "paused", "", "011 1/3 25,50,75,7 a.avi", ""},
        {"PauseWithoutInput", "no input", "", "000 2/3 25,50,75,7 ", ""},
        // Stop: silences, rewinds, back to the first entry of no list; a
        // pause stays.
        {"StopWhilePlaying", "playing", "", "001 0/0 0,0,0,0 a.avi",
         "sndPlaySound(null,0) Seek(0) SetState(Stop)"},
        {"StopWhilePaused", "paused", "", "011 0/0 0,0,0,0 a.avi",
         "sndPlaySound(null,0) Seek(0) SetState(Stop)"},
        {"StopWithoutInput", "no input", "", "000 2/3 0,0,0,0 ", "sndPlaySound(null,0)"},
        // Stream: stops for the dialog, seeks to the position it leaves (0
        // starts the item again), runs, clears the limits.
        {"StreamWhilePlaying", "playing", "", "101 1/3 0,0,0,0 a.avi",
         "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(1200000) SetState(Run)"},
        {"StreamWhilePausedAtZero", "paused", "", "101 1/3 0,0,0,0 a.avi",
         "DialogBox(SET_DLG,0x100) Release(stream) OpenFile(b.avi,0) GetDuration() Seek(10000000) "
         "SetState(Run)"},
        {"StreamWithoutInput", "no input", "", "000 2/3 25,50,75,7 ", ""},
        // About: suspends for the dialog and resumes any pause; without input
        // it blacks the area.
        {"AboutWhilePlaying", "playing", "", "101 1/3 25,50,75,7 a.avi",
         "GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)"},
        {"AboutWhilePaused", "paused", "", "101 1/3 25,50,75,7 a.avi",
         "DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)"},
        {"AboutAfterStop", "stopped", "", "101 0/0 25,50,75,7 a.avi",
         "GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100) Seek(0) SetState(Run)"},
        {"AboutWhilePausedBehindASound", "paused, sound", "", "100 0/0 25,50,75,7 Song.WAV",
         "DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)"},
        {"AboutWithoutInput", "no input", "", "000 2/3 25,50,75,7 ",
         "DialogBox(ABOUT_DLG,0x100) BltFill"},
        // A hand-over rejected while a dialog is open ends the run: the
        // command does nothing more once the dialog has closed.
        {"AboutWhileAHandOverIsRejected", "playing, rejected", "", "011 1/3 25,50,75,7 a.avi",
         "GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100)"},
        {"StreamWhileAHandOverIsRejected", "playing, rejected", "", "011 1/3 25,50,75,7 a.avi",
         "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100)"}};
    clip("d.avi");
    file("Song.WAV");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string before = row.before;
        state = PlayerState{};
        fake = FakePlatform{};
        startPlayer();
        if (before == "no input") {
            state.currentItem = 2, state.itemCount = 3;
        } else {
            playList({clip("a.avi"), clip("b.avi"), clip("c.avi")}, 1);
            state.multiMediaStream->seek(1200000);
        }
        if (before.find("paused") == 0) command(IDM_PAUSE);
        if (before.find("stopped") != std::string::npos) command(IDM_STOP);
        if (before.find("sound") != std::string::npos) {
            fake.chosenFile = path("Song.WAV");
            command(IDM_OPEN);
        }
        setLimits(25, 50, 75, 7);
        if (before == "at end frame") {
            setLimits(25, 5, 75, 6);
            ASSERT_EQ(pumpFrame(), kOk);  // the limit stops the stream
        }
        // A second start names a missing file while the dialog is open.
        std::string missing = path("gone.avi");
        CopyData gone{0, static_cast<std::uint32_t>(missing.size() + 1), missing.c_str()};
        if (before.find("rejected") != std::string::npos)
            fake.dialogScript = [&](FakeDialogView& view) {
                send(kWmCopyData, 0, reinterpret_cast<LParam>(&gone));
                view.command(IDOK);
            };
        fake.chosenFile = row.chosen[0] ? path(row.chosen) : "";
        fake.log.clear();
        std::string name = row.name;
        for (auto [word, id] : {std::pair{"Open", IDM_OPEN},
                                {"Start", IDM_START},
                                {"Pause", IDM_PAUSE},
                                {"Stop", IDM_STOP},
                                {"Stream", IDM_STREAM},
                                {"About", IDM_ABOUT}})
            if (name.rfind(word, 0) == 0) command(id);
        EXPECT_EQ(playState() + " " + relative(state.playlist[0]), row.after);
        EXPECT_EQ(playCalls(), row.calls);
        EXPECT_EQ(fake.count("PostQuitMessage(1)"), before.find("rejected") != std::string::npos);
    }
}

TEST_F(CommandTest, OpenAsksForAMediaFileInABufferOfItsOwn) {
    char buffer[260];
    copyText(buffer, "left over");
    EXPECT_EQ(chooseMediaFile(buffer), 0);
    EXPECT_EQ(logText(), "GetOpenFileName(empty,260)");
    EXPECT_EQ(fake.openFile,
              "0x100 Media files (*.avi;*.mpg;*.dat;*.wav)|*.avi;*.mpg;*.dat;*.wav|All Files "
              "(*.*)|*.*| 1 0x180C");
    fake.chosenFile = clip("x.avi");
    EXPECT_NE(chooseMediaFile(buffer), 0);
    EXPECT_EQ(buffer, fake.chosenFile);
}

TEST_F(CommandTest, AnItemThatCannotBeSetUpEndsThePlayer) {
    playList({clip("a.avi"), clip("bad.avi", {75, 320, 240, false})});
    fake.chosenFile = path("bad.avi");
    command(IDM_OPEN);
    EXPECT_EQ(fake.count("MessageBox(null,Codec is not available ...,Codec problem,0x30)"), 1);
    expectRunEnded(0x12345678, 1);

    state = PlayerState{};
    fake = FakePlatform{};
    startPlayer();
    playList({clip("a.avi"), clip("bad.avi", {75, 320, 240, false})});
    command(IDM_STOP);
    state.currentItem = 1;
    setLimits(5, 50, 75, 7);
    command(IDM_START);
    EXPECT_EQ(fake.count("PostQuitMessage(1)"), 1);
    EXPECT_EQ(limits(), "5,50,75,7");  // kept: the start failed
}

TEST_F(CommandTest, AfterACancelledOpenThereIsNoStreamUntilTheItemStartsAgain) {
    playList({clip("a.avi"), clip("b.avi")}, 1);
    command(IDM_OPEN);  // cancelled
    fake.log.clear();
    command(IDM_PAUSE);  // nothing to hold
    send(kWmActivate, 1);
    EXPECT_EQ(playState(), "001 1/2 0,0,0,0");
    fake.dialogScript = [](FakeDialogView& view) {
        view.scroll(IDC_POSITION_BAR, kSbLineRight);
        view.command(IDOK);
    };
    command(IDM_STREAM);  // nothing to seek in: the item starts again
    EXPECT_EQ(playCalls(),
              "DialogBox(SET_DLG,0x100) OpenFile(b.avi,0) GetDuration() SetState(Run)");
    EXPECT_EQ(state.playing, 1);
}

TEST_F(CommandTest, TheSettingsDialogsChoicesApplyWhenItCloses) {
    playList({clip("a.avi"), clip("b.avi"), clip("c.avi")});
    // The stream stands while the dialog moves its bar; the seek comes after.
    fake.dialogScript = [&](FakeDialogView& view) {
        view.scroll(IDC_POSITION_BAR, kSbThumbTrack, 2500);
        view.scroll(IDC_POSITION_BAR, kSbThumbPosition, 2500);
        EXPECT_EQ(playState(), "011 0/3 0,0,0,0");
        view.command(IDOK);
    };
    command(IDM_STREAM);
    EXPECT_EQ(state.streamTime, 7500000);
    EXPECT_EQ(fake.calls("Seek").back(), "Seek(7500000)");

    // Paused later on, the dialog shows the position kept, not the time;
    // item 2 is picked.
    state.multiMediaStream->seek(15000000);
    command(IDM_PAUSE);
    fake.dialogScript = [](FakeDialogView& view) {
        EXPECT_EQ(view.scrollPos[IDC_POSITION_BAR], 2500);
        view.command(IDC_ITEM_NEXT);
        view.command(IDOK);
    };
    fake.log.clear();
    command(IDM_STREAM);
    EXPECT_EQ(playCalls(),
              "DialogBox(SET_DLG,0x100) Release(stream) OpenFile(b.avi,0) "
              "GetDuration() SetState(Run)");
    EXPECT_EQ(state.currentItem * 10 + state.selectedItem, 10);

    // Item number 0 names no item: nothing changes but the position.
    state.multiMediaStream->seek(12000000);
    fake.dialogScript = [](FakeDialogView& view) {
        state.selectedItem = 0;
        view.command(IDOK);
    };
    fake.log.clear();
    command(IDM_STREAM);
    EXPECT_EQ(playCalls(),
              "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(12000000) "
              "SetState(Run)");
    EXPECT_EQ(state.currentItem, 1);

    // A stream of no duration: the position is the saturated value's low half.
    state.streamDuration = 0;
    fake.dialogScript = nullptr;
    fake.log.clear();
    command(IDM_STREAM);
    EXPECT_EQ(state.trackPos, -1);
    EXPECT_EQ(playCalls(),
              "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(0) SetState(Run)");

    // After an Open the empty list still shows item one.
    fake.chosenFile = clip("d.avi");
    command(IDM_OPEN);
    state.multiMediaStream->seek(12000000);
    fake.dialogScript = [](FakeDialogView& view) {
        view.command(IDC_ITEM_PREV);
        EXPECT_EQ(view.texts[IDC_ITEM_NUMBER], " 1");
        view.command(IDOK);
    };
    fake.log.clear();
    command(IDM_STREAM);
    EXPECT_EQ(playCalls(),
              "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(12000000) "
              "SetState(Run)");
}

TEST_F(CommandTest, SaveWritesTheConfigurationAndPlaysOn) {
    playList({clip("a.avi")});
    copyText(state.discTitle, "Summer  Tour");
    state.soundOn = 0;
    fake.windowRect = {-5, 30, 495, 430};  // the left edge off screen keeps 200
    command(IDM_SAVE);
    EXPECT_EQ(readFile(configPath()), goldenConfig({"DiscTitle Summer  Tour", "SoundOn no",
                                                    "YCoord 30", "Width 500", "Height 400"}));
    EXPECT_EQ(playCalls(), "");
    EXPECT_EQ(state.playing, 1);
}

TEST_F(CommandTest, SiteOpensTheAuthorsPageUnlessOfflineOrNone) {
    const std::string longest(256, 's');  // "http://" and 256 characters fill the buffer
    const struct {
        std::string site;
        bool offline;
        std::int64_t parent;  // the main window's owner, if any
        std::string url;      // "" when nothing is opened
    } cases[] = {
        {kMakerSite, false, 0, "0x100,http://ostrel.org/products.html"},
        {kMakerSite, false, 0x300, "0x300,http://ostrel.org/products.html"},
        {kMakerSite, true, 0, ""},
        {"none", false, 0, ""},
        {"None", false, 0, "0x100,http://None"},
        {"http://example.net/x", false, 0, "0x100,http://http://example.net/x"},
        {longest, false, 0, "0x100,http://" + longest},
        {longest + "t", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.site);
        copyText(state.authorSite, c.site.c_str());
        copyText(state.urlBuffer, "");
        fake.offline = c.offline;
        fake.script("GetParent", {c.parent});
        fake.log.clear();
        command(IDM_SITE);
        EXPECT_EQ(joined(fake.calls("ShellExecute")),
                  c.url.empty() ? "" : "ShellExecute(" + c.url + ")");
        EXPECT_EQ(state.urlBuffer, c.url.empty() ? "" : c.url.substr(6));
    }
}

}  // namespace
}  // namespace ostrel::test
