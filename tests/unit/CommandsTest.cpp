// The nine commands: the command table row by row, then what each has of its
// own: Open's dialog and its failures, the settings dialog's choices, Site,
// and the position bar's arithmetic. (Exit: the main window's test; Escape:
// start-up's; what Save writes: the configuration writer's.)
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

using CommandTest = UiTest;

// The command => how the player stands => the file Open's dialog answers
// ("" cancels) => playState() and the first slot afterwards => playCalls().
// Unless "no input", item 2 of a list of three plays at 1.2 s, then "paused",
// "stopped" or "sound" (a WAV opened) follow in turn, or "at end frame"
// stops it by its limit; the frame limits are then 25, 50, 75 and 7.
TEST_F(CommandTest, DoesWhatTheCommandTableSays) {
    // clang-format off
    const char* rows[] = {
        // Open: the chosen video is the only item and runs from its start; the
        // frame limits are neither applied nor cleared. A sound plays on its
        // own. A cancel stops, blacks the area and keeps the first slot.
        "Open => playing => d.avi => 101 0/0 25,50,75,7 d.avi => SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) OpenFile(d.avi,0) GetDuration() SetState(Run)",
        "Open => paused => d.avi => 101 0/0 25,50,75,7 d.avi => GetOpenFileName(empty,260) Release(stream) OpenFile(d.avi,0) GetDuration() SetState(Run)",
        "Open => playing => Song.WAV => 000 0/0 0,0,0,0 Song.WAV => SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) sndPlaySound(Song.WAV,1) BltFill",
        "Open => paused => Song.WAV => 010 0/0 0,0,0,0 Song.WAV => GetOpenFileName(empty,260) sndPlaySound(Song.WAV,1) BltFill",
        "Open => playing =>  => 001 1/3 25,50,75,7 a.avi => SetState(Stop) Seek(0) Release(stream) GetOpenFileName(empty,260) BltFill",
        "Open => paused =>  => 011 1/3 25,50,75,7 a.avi => GetOpenFileName(empty,260) BltFill",
        // Start: nothing while playing; resumes a pause at its time; else sets
        // the current item up (the start frame still applies); then clears
        // the limits.
        "Start => playing =>  => 101 1/3 25,50,75,7 a.avi => ",
        "Start => paused =>  => 101 1/3 0,0,0,0 a.avi => Seek(1200000) SetState(Run)",
        "Start => at end frame =>  => 101 1/3 0,0,0,0 a.avi => Release(stream) OpenFile(b.avi,0) GetDuration() Seek(10000000) SetState(Run)",
        "Start => stopped =>  => 101 0/0 0,0,0,0 a.avi => Release(stream) OpenFile(a.avi,0) GetDuration() Seek(10000000) SetState(Run)",
        "Start => paused, stopped =>  => 101 0/0 0,0,0,0 a.avi => Seek(0) SetState(Run)",
        "Start => no input =>  => 000 2/3 0,0,0,0  => ",
        // Pause: once, keeping the stream's time.
        "Pause => playing =>  => 011 1/3 25,50,75,7 a.avi => GetTime() SetState(Stop)",
        "Pause => paused =>  => 011 1/3 25,50,75,7 a.avi => ",
        "Pause => no input =>  => 000 2/3 25,50,75,7  => ",
        // Stop: silences, rewinds, back to the first entry of no list; a
        // pause stays.
        "Stop => playing =>  => 001 0/0 0,0,0,0 a.avi => sndPlaySound(null,0) Seek(0) SetState(Stop)",
        "Stop => paused =>  => 011 0/0 0,0,0,0 a.avi => sndPlaySound(null,0) Seek(0) SetState(Stop)",
        "Stop => no input =>  => 000 2/3 0,0,0,0  => sndPlaySound(null,0)",
        // Stream: stops for the dialog, seeks to the position it leaves (0
        // starts the item again), runs, clears the limits.
        "Stream => playing =>  => 101 1/3 0,0,0,0 a.avi => GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(1200000) SetState(Run)",
        "Stream => paused =>  => 101 1/3 0,0,0,0 a.avi => DialogBox(SET_DLG,0x100) Release(stream) OpenFile(b.avi,0) GetDuration() Seek(10000000) SetState(Run)",
        "Stream => no input =>  => 000 2/3 25,50,75,7  => ",
        // Save writes the configuration (the writer's tests) and plays on.
        // About suspends for the dialog and resumes any pause; without input
        // it blacks the area.
        "Save => playing =>  => 101 1/3 25,50,75,7 a.avi => ",
        "About => playing =>  => 101 1/3 25,50,75,7 a.avi => GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)",
        "About => paused =>  => 101 1/3 25,50,75,7 a.avi => DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)",
        "About => stopped =>  => 101 0/0 25,50,75,7 a.avi => GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100) Seek(0) SetState(Run)",
        "About => paused, sound =>  => 100 0/0 25,50,75,7 Song.WAV => DialogBox(ABOUT_DLG,0x100) Seek(1200000) SetState(Run)",
        "About => no input =>  => 000 2/3 25,50,75,7  => DialogBox(ABOUT_DLG,0x100) BltFill",
        // A hand-over rejected while a dialog is open ends the run: the
        // command does nothing more once the dialog has closed.
        "About => playing, rejected =>  => 011 1/3 25,50,75,7 a.avi => GetTime() SetState(Stop) DialogBox(ABOUT_DLG,0x100)",
        "Stream => playing, rejected =>  => 011 1/3 25,50,75,7 a.avi => GetTime() SetState(Stop) DialogBox(SET_DLG,0x100)",
    };
    // clang-format on
    for (const std::string row : rows) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        const std::string& before = c[1];
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
            fake.chosenFile = file("Song.WAV");
            command(IDM_OPEN);
        }
        setLimits(25, 50, 75, 7);
        if (before == "at end frame") {
            setLimits(25, 5, 75, 6);
            ASSERT_EQ(pumpFrame(), kOk);  // the limit stops the stream
        }
        // A second start names a missing file while the dialog is open.
        bool rejected = before.find("rejected") != std::string::npos;
        if (rejected)
            fake.dialogScript = [&](FakeDialogView& view) {
                handOver(path("gone.avi"));
                view.command(IDOK);
            };
        fake.chosenFile = c[2] == "d.avi" ? clip("d.avi") : c[2].empty() ? "" : file(c[2]);
        fake.log.clear();
        const std::map<std::string, int> ids{
            {"Open", IDM_OPEN},     {"Start", IDM_START}, {"Pause", IDM_PAUSE}, {"Stop", IDM_STOP},
            {"Stream", IDM_STREAM}, {"Save", IDM_SAVE},   {"About", IDM_ABOUT}};
        command(ids.at(c[0]));
        EXPECT_EQ(playState() + " " + relative(state.playlist[0]), c[3]);
        EXPECT_EQ(playCalls(), c[4]);
        EXPECT_EQ(fake.count("PostQuitMessage(1)"), rejected);
    }
}

TEST_F(CommandTest, OpenAsksForAMediaFileInABufferOfItsOwnAndAFailedItemEndsThePlayer) {
    char buffer[260] = "left over";
    EXPECT_EQ(chooseMediaFile(buffer), 0);
    EXPECT_EQ(logText() + " " + fake.openFile,
              "GetOpenFileName(empty,260) 0x100 Media files (*.avi;*.mpg;*.dat;*.wav)|"
              "*.avi;*.mpg;*.dat;*.wav|All Files (*.*)|*.*| 1 0x180C");
    // An item opened that no codec plays, the same started after a stop, a
    // sound gone by the time it would play: each ends the player; the stream
    // stopped for it stands rewound, its bar at 0.
    for (int way : {0, 1, 2}) {
        SCOPED_TRACE(way);
        startPlayer();
        playList({clip("a.avi"), clip("bad.avi", {75, 320, 240, false})});
        state.trackPos = 5000;
        fake.chosenFile = path(way == 2 ? "gone.wav" : "bad.avi");
        if (way == 1) command(IDM_STOP), state.currentItem = 1, setLimits(5, 50, 75, 7);
        command(way == 1 ? IDM_START : IDM_OPEN);
        EXPECT_EQ(fake.count(kCodecBox), way < 2);
        // The limits are kept when the start failed.
        EXPECT_EQ(format("%s %d %d", limits().c_str(), state.trackPos, state.playing),
                  way == 1 ? "5,50,75,7 0 0" : "0,0,0,0 0 0");
        EXPECT_EQ(state.failure, way < 2 ? Failure::ItemSetupFailed : Failure::MissingItem);
        expectRunEnded(0x12345678, 1);
    }
}

TEST_F(CommandTest, TheSettingsDialogsChoicesApplyWhenItCloses) {
    // Runs Stream with the dialog doing `script`, then OK; returns what the
    // dialog showed before OK (playing and paused, the position bar, the item
    // number) => the calls => item, item number, bar and stream time after.
    auto stream = [&](std::function<void(FakeDialogView&)> script) {
        std::string shown;
        fake.dialogScript = [&](FakeDialogView& view) {
            if (script) script(view);
            shown = format("%d%d %d%s", state.playing, state.paused,
                           view.scrollPos[IDC_POSITION_BAR], view.texts[IDC_ITEM_NUMBER].c_str());
            view.command(IDOK);
        };
        fake.log.clear();
        command(IDM_STREAM);
        return format("%s => %s => %d %d %d %lld", shown.c_str(), playCalls().c_str(),
                      state.currentItem, state.selectedItem, state.trackPos,
                      static_cast<long long>(state.streamTime));
    };
    const std::string seekTo = "GetTime() SetState(Stop) DialogBox(SET_DLG,0x100) Seek(";
    playList({clip("a.avi"), clip("b.avi"), clip("c.avi")});
    // The stream stands while the dialog drags its bar; the seek comes after.
    EXPECT_EQ(stream([](FakeDialogView& view) {
                  view.scroll(IDC_POSITION_BAR, kSbThumbTrack, 2500);
                  view.scroll(IDC_POSITION_BAR, kSbThumbPosition, 2500);
              }),
              "01 2500 1 => " + seekTo + "7500000) SetState(Run) => 0 1 2500 7500000");
    // Paused later on, the dialog shows the position kept, not the time;
    // item 2 is picked.
    state.multiMediaStream->seek(15000000);
    command(IDM_PAUSE);
    EXPECT_EQ(stream([](FakeDialogView& view) { view.command(IDC_ITEM_NEXT); }),
              "01 2500 2 => DialogBox(SET_DLG,0x100) Release(stream) OpenFile(b.avi,0) "
              "GetDuration() SetState(Run) => 1 0 0 15000000");
    // Item number 0 names no item: nothing changes but the position. A
    // stream of no duration: the position is the saturated value's low half.
    state.multiMediaStream->seek(12000000);
    EXPECT_EQ(stream([](FakeDialogView&) { state.selectedItem = 0; }),
              "01 4000 2 => " + seekTo + "12000000) SetState(Run) => 1 0 4000 12000000");
    state.streamDuration = 0;
    EXPECT_EQ(stream(nullptr), "01 -1 2 => " + seekTo + "0) SetState(Run) => 1 2 -1 0");
    // After an Open the empty list still shows item one.
    fake.chosenFile = clip("d.avi");
    command(IDM_OPEN);
    state.multiMediaStream->seek(12000000);
    EXPECT_EQ(stream([](FakeDialogView& view) { view.command(IDC_ITEM_PREV); }),
              "01 4000 1 => " + seekTo + "12000000) SetState(Run) => 0 1 4000 12000000");
    // After a cancelled Open there is no stream to hold or seek in: the
    // item starts again, its bar at 0 whatever the old stream's length.
    fake.chosenFile = "";
    command(IDM_OPEN);
    state.streamDuration = 1;
    command(IDM_PAUSE);
    send(kWmActivate, 1);
    EXPECT_EQ(playState(), "001 0/0 0,0,0,0");
    EXPECT_EQ(stream([](FakeDialogView& view) { view.scroll(IDC_POSITION_BAR, kSbLineRight); }),
              "01 10 1 => DialogBox(SET_DLG,0x100) OpenFile(d.avi,0) GetDuration() SetState(Run) "
              "=> 0 1 0 0");
    // The last slot's number names an item too.
    copyText(state.playlist[kPlaylistSlots - 1], clip("last.avi").c_str());
    stream([](FakeDialogView&) { state.selectedItem = kPlaylistSlots; });
    EXPECT_EQ(state.currentItem, kPlaylistSlots - 1);
}

TEST_F(CommandTest, SiteOpensTheAuthorsPageUnlessOfflineOrNone) {
    const std::string longest(256, 's');  // "http://" and 256 characters fill the buffer
    // The site, offline, the main window's owner => the page opened, if any.
    const std::tuple<std::string, bool, I64, std::string> cases[] = {
        {kMakerSite, false, 0, "0x100,http://ostrel.org/products.html"},
        {kMakerSite, false, 0x300, "0x300,http://ostrel.org/products.html"},
        {kMakerSite, true, 0, ""},
        {"none", false, 0, ""},
        {"None", false, 0, "0x100,http://None"},
        {"http://x.net", false, 0, "0x100,http://http://x.net"},
        {longest, false, 0, "0x100,http://" + longest},
        {longest + "t", false, 0, ""}};
    for (const auto& [site, offline, parent, url] : cases) {
        SCOPED_TRACE(site);
        copyText(state.authorSite, site.c_str());
        copyText(state.urlBuffer, "");
        fake.offline = offline;
        fake.script("GetParent", {parent});
        fake.log.clear();
        command(IDM_SITE);
        EXPECT_EQ(logOf({"ShellExecute"}), url.empty() ? "" : "ShellExecute(" + url + ")");
        EXPECT_EQ(state.urlBuffer, url.substr(url.empty() ? 0 : 6));
    }
}

// The position bar's arithmetic, mulDiv64: x * y / z over a 128-bit product,
// truncated toward zero, saturating when the quotient needs more than 64 bits.
constexpr std::int64_t kMax = INT64_MAX, kMin = INT64_MIN, k32 = std::int64_t{1} << 32;

TEST(MulDivTest, WorkedValuesSignsAndExtremes) {
    // x, y, z, x * y / z in turn. A zero divisor saturates by the operands'
    // signs, a zero operand's too (5 * 0 / 0 is the largest, last); 2^63 comes back as its bit
    // pattern. Frame 1 of 2^31 - 1 in the longest stream; last, a product just over 64 bits.
    const std::int64_t cases[] = {
        250,  100000000, 500,       50000000, -7,   3,     2,          -10,         7,    -3,
        -2,   10,        1,         1,        0,    kMax,  -1,         1,           0,    kMin,
        0,    -5,        0,         kMin,     0,    5,     0,          kMax,        k32,  k32,
        1,    kMax,      k32 << 30, 2,        1,    kMin,  7,          1,           2,    3,
        -7,   1,         2,         -3,       7,    1,     -2,         -3,          -7,   -1,
        -2,   -3,        0,         -5,       3,    0,     0,          5,           -1,   0,
        5,    0,         -1,        0,        kMin, 1,     1,          kMin,        kMin, -1,
        1,    kMin,      kMin,      kMin,     kMin, kMin,  kMin,       kMin,        kMax, kMin + 1,
        kMax, kMax,      kMax,      kMax,     kMax, kMax,  kMin,       -kMax + 1,   kMax, 2,
        2,    kMax,      kMax,      -2,       2,    -kMax, 1,          1,           kMin, 0,
        kMax, kMin,      1,         kMin,     1,    kMax,  0x7FFFFFFF, 0x100000002, k32,  k32,
        4,    k32 << 30, 5,         0,        0,    kMax};
    for (std::size_t i = 0; i < std::size(cases); i += 4)
        EXPECT_EQ(mulDiv64(cases[i], cases[i + 1], cases[i + 2]), cases[i + 3]) << "row " << i / 4;
}

}  // namespace
}  // namespace ostrel::test
