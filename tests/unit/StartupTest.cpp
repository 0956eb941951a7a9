// Start-up in its order and its failure table (window made or not,
// configuration written or not, volume restored or not, exit status), the
// window styles, a second start handing over, and the main loop.
#include <sstream>

#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

constexpr int kIdleQuit = 99;  // the fake's quit when the loop would wait forever
const std::string kFramed = "CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,";

using StartupTest = PlayerTest;

TEST_F(StartupTest, AStartOpensTheWindowBlacksTheAreaThenPlaysTheFirstItemFromTheLoop) {
    EXPECT_EQ(run(), kIdleQuit);  // the loop's own result comes back
    // The tool bar: the size message of the window's creation finds the
    // default mode, graphic, before start-up switches to text.
    EXPECT_EQ(logText(),
              "LoadIcon(10) LoadIcon(10) LoadCursor() CreateMutex(OSTREL) GetModuleFileName() "
              "Exists(ostrel.cfg) RegisterClass( ostrelwin,104,0x3,0x400000,0x66,0x66,0x55,1) " +
                  kFramed + "200,200,462,386) CreateToolbarEx(0x100) " + kSurfaceLog +
                  " ShowWindow(1) UpdateWindow() " + kWave +
                  " waveOutGetVolume() waveOutClose() GetClientRect() ClientToScreen() "
                  "ClientToScreen() " +
                  kBlackArea + " WaitMessage(idle)");
    EXPECT_TRUE(fake.windowProc == &mainWindowProc && state.mainWindow == mainWindow &&
                state.arrowCursor == handle<CursorObject>(0x55));
    EXPECT_EQ(joined({state.exeDir, state.versionText, state.authorId, state.discTitle,
                      state.authorSite, state.authorNet}),
              dir + "/ 2.03 none none ostrel.org/products.html ostrel.org");
    EXPECT_EQ(state.menuBarMode * 10 + state.volumeLevel, kMenuText * 10 + 8);
    // The first item is set up before the area is blacked and plays from the loop.
    reset();
    file("ostrel.cfg", "XCoord 10\r\nYCoord 20\r\nWidth 300\r\nHeight 200\r\nMenuBar text\r\n");
    EXPECT_EQ(run(clip("a.avi", {4})), kIdleQuit);
    EXPECT_EQ(fake.count("Blt("), 4);
    EXPECT_EQ(logOf({"CreateWindow", "waveOutClose", "OpenFile", "SetState", "BltFill",
                     "WaitMessage", "CreateToolbarEx"}),
              kFramed + "10,20,300,200) waveOutClose() OpenFile(a.avi,0) SetState(Run) " +
                  "BltFill SetState(Stop) WaitMessage(idle)");
}

TEST_F(StartupTest, TheFolderEndsAtItsLastSeparatorAndOnlyNoMenuBarInFullScreenIsFrameless) {
    // The player's path ("": in the folder; [N*c]: N times c) => the
    // configuration => the command line => the folder found => the styles
    // ("": framed; "-": no window) => tool bars. Without a folder the file is
    // looked for where the player runs; a folder must leave room for its file.
    // Whatever the file said, the run goes on with the text menu, in a window.
    for (const char* row :
         {"C:\\Games\\Disc One\\ostrel.exe =>  =>  => C:\\Games\\Disc One\\ =>  => 1",
          "/opt/disc\\one/bin/ostrel =>  =>  => /opt/disc\\one/bin/ =>  => 1",
          "/ostrel =>  =>  => / =>  => 1", "/opt/a\1b/ostrel =>  =>  => /opt/a\1b/ =>  => 1",
          "ostrel =>  =>  =>  =>  => 1", "/[248*d]/ostrel =>  =>  => /[248*d]/ => - => 0",
          "/[300*d]/ostrel =>  =>  =>  => - => 0",
          " => MenuBar none\r\nFullScreen yes\r\n =>  =>  => 0x10,0x90000000 => 1",
          " => MenuBar none\r\n => -fs =>  => 0x10,0x90000000 => 1",
          " => MenuBar none\r\n =>  =>  =>  => 1",
          " => MenuBar graphic\r\nFullScreen yes\r\n =>  =>  =>  => 1",
          " => MenuBar text\r\nFullScreen yes\r\n =>  =>  =>  => 0"}) {
        Lines c = split(expand(row));
        SCOPED_TRACE(c[0] + c[1]);
        reset();
        if (!c[1].empty()) file("ostrel.cfg", c[1]);
        fake.modulePath = c[0].empty() ? path("ostrel") : c[0];
        std::string exeDir = c[0].empty() ? dir + "/" : c[3], styles = c[4];
        if (styles.empty()) styles = "0x310,0x90CF0000";
        EXPECT_EQ(runPlayer(instance, c[2].c_str()), styles == "-" ? 1 : kIdleQuit);
        EXPECT_EQ(state.exeDir, exeDir);
        EXPECT_EQ(logOf({"Exists(" + exeDir, "CreateWindow"}),
                  styles == "-"
                      ? ""
                      : relative("Exists(" + exeDir + "ostrel.cfg) CreateWindow(" +
                                 styles.insert(styles.find(','), ", ostrelwin, ostrel v2.03") +
                                 ",200,200,462,386)"));
        EXPECT_EQ(std::to_string(fake.count("CreateToolbarEx")), c[5]);
        if (styles != "-") EXPECT_EQ(state.menuBarMode * 10 + state.fullScreen, kMenuText * 10);
    }
}

// How the run is made to end => the scripted call and its answers => the
// command line (a.avi a clip, *.wav a sound, gone.avi missing) => exit status,
// window made, configuration written, volume restored => the failure's text
// => the end of the log. A second start hands its command line, terminator
// counted, to the running player's window; without one there is no one to tell.
TEST_F(StartupTest, EveryWayARunEnds) {
    const std::map<std::string, I64> answers = {
        {"0", 0}, {"ok", kOk}, {"fail", kFail}, {"lost", kSurfaceLost}, {"error", kMmError}};
    const std::string usage =
        "; usage: ostrel [-fs] [-s FRAME] [-e FRAME] [-t FRAMES] [media file]";
    const std::string ended = kSurfaceReleases + " " + kWave +
                              " waveOutSetVolume(0x51515151) waveOutClose() CoUninitialize()";
    // clang-format off
    for (const std::string& row : std::initializer_list<std::string>{
             "unreadable configuration =>  =>  => 1 000 => ostrel: cannot read the configuration: ostrel.cfg => GetModuleFileName() Exists(ostrel.cfg)",
             "FileName gone.avi\r\n =>  =>  => 1 000 => ostrel: the configuration names a missing item: gone.avi => Exists(gone.avi)",
             " =>  => gone.avi => 1 000 => ostrel: item not found: gone.avi" + usage + " => Exists(gone.avi)",
             " =>  => -e 0 => 1 000 => ostrel: bad command line: -e 0" + usage + " => RegisterClass( ostrelwin,104,0x3,0x400000,0x66,0x66,0x55,1)",
             " =>  => intro.WAV => 0 010 =>  => sndPlaySound(intro.WAV,0) LocalTime() FindWindow( ostrelwin, ostrel v2.03) ReplaceFile(ostrel.cfg.new,ostrel.cfg)",
             "ReadOnly yes\r\n =>  => intro.wav => 0 000 =>  => Exists(intro.wav) sndPlaySound(intro.wav,0)",
             " => sndPlaySound 0 0 => intro.wav => 1 000 => ostrel: cannot play item: intro.wav => sndPlaySound(intro.wav,0)",
             " => CreateWindow 0 =>  => 1 000 => ostrel: cannot create the main window => 0x90CF0000,200,200,462,386)",
             " => CreateOffscreenSurface fail =>  => 1 100 => ostrel: cannot set up the video surfaces: no off-screen surface => CreateOffscreenSurface(0x1007,0x40,108,1024,768,1,32) PostQuitMessage(1) Release(factory) Release(primary) Release(directDraw) CoUninitialize()",
             " => waveOutOpen error => a.avi => 1 100 => ostrel: no usable wave output device: the wave output cannot be opened => SetHWnd(0,0x100) ShowWindow(1) UpdateWindow() " + kWave,
             " => waveOutGetVolume error => a.avi => 1 100 => ostrel: no usable wave output device: the output volume cannot be read => " + kWave + " waveOutGetVolume() waveOutClose()",
             " => OpenFile fail => a.avi => 1 101 => ostrel: cannot play item: a.avi => OpenFile(a.avi,0) " + kCodecBox + " Release(stream) PostQuitMessage(1) " + ended,
             " => Blt ok lost => a.avi => 1 100 => ostrel: cannot put a video frame on the screen: status 0x887601C2 => SetCursor(null) " + kFrame,
             "escape =>  => a.avi => 0 111 =>  => PostMessage(0x100,0x10,0,0) DefWindowProc(0x10) LocalTime() FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() ReplaceFile(ostrel.cfg.new,ostrel.cfg) PostQuitMessage(0) Release(stream) Release(sample) Release(ddStream) Release(videoStream) " + ended,
             "hand-over =>  =>  => 1 101 => ostrel: item not found: gone.avi => Exists(gone.avi) PostQuitMessage(1) " + ended,
             "second start at 0x300 =>  => -s 25 clip => 0 000 =>  => LoadIcon(10) LoadIcon(10) LoadCursor() CreateMutex(OSTREL) CloseHandle(0x77) FindWindow( ostrelwin, ostrel v2.03) SetForegroundWindow(0x300) SendCopyData(0x300,-s 25 clip,11)",
             "second start at 0x300 =>  =>  => 0 000 =>  => CreateMutex(OSTREL) CloseHandle(0x77) FindWindow( ostrelwin, ostrel v2.03) SetForegroundWindow(0x300)",
             "second start at 0 =>  => -s 25 clip => 0 000 =>  => LoadIcon(10) LoadIcon(10) LoadCursor() CreateMutex(OSTREL) CloseHandle(0x77) FindWindow( ostrelwin, ostrel v2.03)"}) {
        // clang-format on
        Lines c = split(row);
        SCOPED_TRACE(row);
        reset();
        fake.deviceVolume = 0x51515151;
        fs::remove_all(configPath());
        std::string gone = path("gone.avi"), config = c[0], line = c[2];
        CopyData handOver{0, static_cast<U32>(gone.size() + 1), gone.c_str()};
        if (config.find("gone") != std::string::npos) config = "FileName " + gone + "\r\n";
        if (config == "unreadable configuration")
            fs::create_directory(configPath());
        else if (config.find('\n') != std::string::npos)
            file("ostrel.cfg", config);
        std::istringstream script(c[1]);
        std::string name, answer;
        for (script >> name; script >> answer;)
            fake.script(name, {answers.at(answer)});
        if (line.find('.') != std::string::npos)
            line = line == "gone.avi" ? gone : line == "a.avi" ? clip(line, {3}) : file(line);
        if (config == "escape" || config == "hand-over")  // waiting when the loop starts
            fake.queue.push_back(config == "escape" ? Message{mainWindow, kWmKeyDown, kVkEscape}
                                                    : Message{mainWindow, kWmCopyData, 0,
                                                              reinterpret_cast<LParam>(&handOver)});
        fake.otherInstance = config.rfind("second start at ", 0) == 0;
        if (fake.otherInstance)
            fake.otherWindow = window(std::stoul(config.substr(16), nullptr, 16));
        int exit = run(line);
        EXPECT_EQ(format("%d %d%d%d", exit, state.mainWindow != nullptr, fake.count("ReplaceFile("),
                         fake.count("waveOutSetVolume(0x51515151)")),
                  c[3]);
        EXPECT_EQ(fake.count("CoInitialize"), state.mainWindow != nullptr);
        EXPECT_EQ(relative(failureText()), c[4]);
        EXPECT_EQ(exitCodeFor(0), !c[4].empty());
        EXPECT_TRUE(logText().ends_with(c[5])) << logText();
        if (c[3][4] == '1') expectRunEnded(0x51515151, exit);
        // A saved file says "text" once the window ran, whatever mode was
        // configured; a file not written is left as it was.
        std::string menuBar = state.mainWindow ? "text\r" : "graphic\r";
        if (c[3][3] == '1')
            EXPECT_NE(readFile(configPath()).find("MenuBar      " + menuBar), std::string::npos);
        else if (config.find('\n') != std::string::npos)
            EXPECT_EQ(readFile(configPath()), config);
    }
}

TEST_F(StartupTest, TheMainLoopTakesMessagesFirstAndWithNothingToPlayWaitsInsteadOfSpinning) {
    startPlayer();
    playList({clip("a.avi", {5})});
    fake.queue.push_back({mainWindow, kWmActivate, kWaInactive, 0});  // before any frame
    fake.idleScript.assign(3, [] {});  // woken three times without a message
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    state.haveInput = 0, state.playing = 1;
    EXPECT_EQ(runMainLoop(), kIdleQuit);  // the quit message's own code
    EXPECT_EQ(logText(),
              "WaitMessage() WaitMessage() WaitMessage() WaitMessage(idle) WaitMessage(idle)");
    playList({clip("a.avi", {5})});
    fake.script("Blt", {kOk, kOk, kFail});  // a failing frame ends it at once
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fake.count("Blt(") * 10 + fake.count("WaitMessage"), 30);
}

}  // namespace
}  // namespace ostrel::test
