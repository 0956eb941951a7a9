// Start-up in its order and its failure table (window made or not,
// configuration written or not, volume restored or not, exit status), the
// window styles, a second start handing over, and the main loop.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

constexpr int kIdleQuit = 99;  // the fake's quit when the loop would wait forever
const std::string kFramed = "CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,";
const std::string kBorderless = "CreateWindow(0x10, ostrelwin, ostrel v2.03,0x90000000,";
const std::string kUsage = "; usage: ostrel [-fs] [-s FRAME] [-e FRAME] [-t FRAMES] [media file]";

class StartupTest : public PlayerTest {
public:
    void SetUp() override { fake.deviceVolume = 0x51515151; }
};

TEST_F(StartupTest, AFreshStartOpensTheWindowAtTheDefaultsThenWaitsForMessages) {
    EXPECT_EQ(run(), kIdleQuit);  // the loop's own result comes back
    // The tool bar: the size message of the window's creation finds the
    // default mode, graphic, before start-up switches to text.
    EXPECT_EQ(logText(),
              "LoadIcon(10) LoadIcon(10) LoadCursor() CreateMutex(OSTREL) GetModuleFileName() "
              "Exists(ostrel.cfg) RegisterClass( ostrelwin,104,0x3,0x400000,0x66,0x66,0x55,1) " +
                  kFramed + "200,200,462,386) CreateToolbarEx(0x100) " + kSurfaceLog +
                  " ShowWindow(1) UpdateWindow() waveOutOpen(1,2,44100,88200,2,8,0) "
                  "waveOutGetVolume() waveOutClose() GetClientRect() ClientToScreen() "
                  "ClientToScreen() " +
                  kBlackArea + " WaitMessage(idle)");
    EXPECT_EQ(fake.windowProc, &mainWindowProc);
    EXPECT_EQ(state.exeDir, dir + "/");
    EXPECT_EQ(joined({state.versionText, state.authorId, state.discTitle, state.authorSite,
                      state.authorNet}),
              "2.03 none none ostrel.org/products.html ostrel.org");
    EXPECT_EQ(state.menuBarMode * 10 + state.volumeLevel, kMenuText * 10 + 3);
    EXPECT_EQ(state.mainWindow, mainWindow);
    EXPECT_EQ(state.arrowCursor, reinterpret_cast<CursorHandle>(0x55));
}

TEST_F(StartupTest, TheFirstItemIsSetUpBeforeTheAreaIsBlackedAndPlaysFromTheLoop) {
    file("ostrel.cfg", "XCoord 10\r\nYCoord 20\r\nWidth 300\r\nHeight 200\r\nMenuBar text\r\n");
    std::string a = clip("a.avi", {4});
    EXPECT_EQ(run(a), kIdleQuit);
    EXPECT_EQ(fake.count("Blt("), 4);
    EXPECT_EQ(logOf({"CreateWindow", "waveOutClose", "OpenFile", "SetState", "BltFill",
                     "WaitMessage", "CreateToolbarEx"}),
              kFramed + "10,20,300,200) waveOutClose() OpenFile(a.avi,0) SetState(Run) " +
                  kBlackArea + " SetState(Stop) WaitMessage(idle)");
}

TEST_F(StartupTest, OnlyNoMenuBarInFullScreenGoesWithoutAFrame) {
    const struct {
        const char *config, *commandLine;
        std::string window;
        int toolBars;
    } cases[] = {
        {"MenuBar none\r\nFullScreen yes\r\n", "", kBorderless, 1},
        {"MenuBar none\r\n", "-fs", kBorderless, 1},
        {"MenuBar none\r\n", "", kFramed, 1},
        {"MenuBar graphic\r\nFullScreen yes\r\n", "", kFramed, 1},
        {"MenuBar text\r\nFullScreen yes\r\n", "", kFramed, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        state = PlayerState{};
        fake = FakePlatform{};
        file("ostrel.cfg", c.config);
        run(c.commandLine);
        EXPECT_EQ(joined(fake.calls("CreateWindow")), c.window + "200,200,462,386)");
        EXPECT_EQ(fake.count("CreateToolbarEx"), c.toolBars);
        // Whatever the file said, the run goes on with the text menu, in a window.
        EXPECT_EQ(state.menuBarMode * 10 + state.fullScreen, kMenuText * 10);
    }
}

TEST_F(StartupTest, ASecondStartHandsItsCommandLineToTheRunningPlayer) {
    fake.otherInstance = true;
    const std::string start =
        "LoadIcon(10) LoadIcon(10) LoadCursor() CreateMutex(OSTREL) CloseHandle(0x77) "
        "FindWindow( ostrelwin, ostrel v2.03)";
    const std::tuple<WindowHandle, const char*, std::string> cases[] = {
        {FakePlatform::window(0x300), "-s 25 clip.avi",
         " SetForegroundWindow(0x300) SendCopyData(0x300,-s 25 clip.avi,15)"},  // terminator counts
        {FakePlatform::window(0x300), "", " SetForegroundWindow(0x300)"},
        {nullptr, "-s 25 clip.avi", ""},  // the first plays a lone sound
    };
    for (const auto& [window, commandLine, tail] : cases) {
        fake.log.clear();
        fake.otherWindow = window;
        EXPECT_EQ(run(commandLine), 0);
        EXPECT_EQ(logText(), start + tail);
    }
    EXPECT_FALSE(std::filesystem::exists(configPath()));
}

TEST_F(StartupTest, TheFolderEndsAtTheLastSeparatorAndMustLeaveRoomForTheFile) {
    const std::string fits = "/" + std::string(248, 'd') + "/";  // but not with the file's name
    const std::tuple<std::string, int, std::string> cases[] = {
        {"C:\\Games\\Disc One\\ostrel.exe", kIdleQuit, "C:\\Games\\Disc One\\"},
        {"/opt/disc\\one/bin/ostrel", kIdleQuit, "/opt/disc\\one/bin/"},
        {fits + "ostrel", 1, fits},
        {"/" + std::string(300, 'd') + "/ostrel", 1, ""},
    };
    for (const auto& [modulePath, exit, exeDir] : cases) {
        SCOPED_TRACE(exeDir);
        state = PlayerState{};
        fake = FakePlatform{};
        fake.modulePath = modulePath;
        EXPECT_EQ(runPlayer(instance, ""), exit);
        EXPECT_EQ(state.exeDir, exeDir);
        EXPECT_EQ(joined(fake.calls("Exists(")),
                  exit == 1 ? "" : "Exists(" + exeDir + "ostrel.cfg)");
        EXPECT_EQ(fake.count("CreateWindow"), exit != 1);
    }
}

// One row of the start-up table each: how the run is made to end, the exit
// status, whether the window was made, the configuration written and the
// volume restored, the cause, and the end of the log.
TEST_F(StartupTest, EveryWayARunEnds) {
    const struct {
        const char* name;
        std::string config;         // the configuration file, if any ("/" a folder)
        const char* failing;        // a call scripted to fail
        std::int64_t answer, and2;  // its answers
        std::string commandLine;    // *.avi a clip, *.wav a sound, gone.* missing
        int exit;
        bool window, written, restored;
        Failure failure;
        std::string text, tail;
    } rows[] = {
        {"unreadable configuration", "/", "", 0, 0, "", 1, false, false, false,
         Failure::ConfigUnreadable, "ostrel: cannot read the configuration: ostrel.cfg",
         "GetModuleFileName() Exists(ostrel.cfg)"},
        {"missing configured item", "FileName gone.avi\r\n", "", 0, 0, "", 1, false, false, false,
         Failure::ConfigMissingItem, "ostrel: the configuration names a missing item: gone.avi",
         "Exists(gone.avi)"},
        {"missing command line item", "", "", 0, 0, "gone.avi", 1, false, false, false,
         Failure::MissingItem, "ostrel: item not found: gone.avi" + kUsage, "Exists(gone.avi)"},
        {"bad command line", "", "", 0, 0, "-e 0", 1, false, false, false, Failure::BadCommandLine,
         "ostrel: bad command line: -e 0" + kUsage,
         "RegisterClass( ostrelwin,104,0x3,0x400000,0x66,0x66,0x55,1)"},
        {"lone sound played, then the configuration written", "", "", 0, 0, "intro.WAV", 0, false,
         true, false, Failure::None, "",
         "sndPlaySound(intro.WAV,0) LocalTime() FindWindow( ostrelwin, ostrel v2.03) "
         "ReplaceFile(ostrel.cfg.new,ostrel.cfg)"},
        {"lone sound of a read-only configuration", "ReadOnly yes\r\n", "", 0, 0, "intro.wav", 0,
         false, false, false, Failure::None, "", "Exists(intro.wav) sndPlaySound(intro.wav,0)"},
        {"lone sound that did not play", "", "sndPlaySound", 0, 0, "intro.wav", 1, false, false,
         false, Failure::ItemSetupFailed, "ostrel: cannot play item: intro.wav",
         "sndPlaySound(intro.wav,0)"},
        {"no window", "", "CreateWindow", 0, 0, "", 1, false, false, false, Failure::NoWindow,
         "ostrel: cannot create the main window", kFramed + "200,200,462,386)"},
        {"no video surface", "", "CreateOffscreenSurface", kFail, kFail, "", 1, true, false, false,
         Failure::NoVideoSurface, "ostrel: cannot set up the video surfaces: no off-screen surface",
         "CreateOffscreenSurface(0x1007,0x40,108,1024,768,1,32) PostQuitMessage(1) "
         "Release(factory) Release(primary) Release(directDraw) CoUninitialize()"},
        {"no wave output", "", "waveOutOpen", kMmError, 0, "a.avi", 1, true, false, false,
         Failure::NoWaveDevice,
         "ostrel: no usable wave output device: the wave output cannot be "
         "opened",
         "SetHWnd(0,0x100) ShowWindow(1) UpdateWindow() "
         "waveOutOpen(1,2,44100,88200,2,8,0)"},
        {"no wave volume", "", "waveOutGetVolume", kMmError, 0, "a.avi", 1, true, false, false,
         Failure::NoWaveDevice,
         "ostrel: no usable wave output device: the output volume cannot "
         "be read",
         "waveOutOpen(1,2,44100,88200,2,8,0) waveOutGetVolume() waveOutClose()"},
        {"first item cannot be set up", "", "OpenFile", kFail, 0, "a.avi", 1, true, false, true,
         Failure::ItemSetupFailed, "ostrel: cannot play item: a.avi",
         "OpenFile(a.avi,0) MessageBox(null,Codec is not available ...,Codec problem,0x30) "
         "Release(stream) PostQuitMessage(1) Release(factory) Release(primary) Release(offscreen) "
         "Release(clipper) Release(directDraw) waveOutOpen(1,2,44100,88200,2,8,0) "
         "waveOutSetVolume(0x51515151) waveOutClose() CoUninitialize()"},
        {"frame not shown", "", "Blt", kOk, kSurfaceLost, "a.avi", 1, true, false, false,
         Failure::BlitFailed, "ostrel: cannot put a video frame on the screen: status 0x887601C2",
         "SetCursor(null) Update(0) GetClientRect() ClientToScreen() ClientToScreen() "
         "Blt(primary,offscreen,204,250,658,580,0,0,320,240,0x1000000,no fx)"},
        {"escape after the item played", "", "", 0, 0, "a.avi", 0, true, true, true, Failure::None,
         "",
         "WaitMessage() PostMessage(0x100,0x10,0,0) DefWindowProc(0x10) LocalTime() "
         "FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
         "ReplaceFile(ostrel.cfg.new,ostrel.cfg) PostQuitMessage(0) Release(stream) "
         "Release(sample) Release(ddStream) Release(videoStream) Release(factory) "
         "Release(primary) Release(offscreen) Release(clipper) Release(directDraw) "
         "waveOutOpen(1,2,44100,88200,2,8,0) waveOutSetVolume(0x51515151) waveOutClose() "
         "CoUninitialize()"},
        {"rejected hand-over", "", "", 0, 0, "", 1, true, false, true, Failure::MissingItem,
         "ostrel: item not found: gone.avi",
         "Exists(gone.avi) PostQuitMessage(1) Release(factory) Release(primary) "
         "Release(offscreen) Release(clipper) Release(directDraw) "
         "waveOutOpen(1,2,44100,88200,2,8,0) waveOutSetVolume(0x51515151) waveOutClose() "
         "CoUninitialize()"},
    };
    std::string gone = path("gone.avi");
    CopyData handOver{0, static_cast<std::uint32_t>(gone.size() + 1), gone.c_str()};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        state = PlayerState{};
        fake = FakePlatform{};
        fake.deviceVolume = 0x51515151;
        std::filesystem::remove_all(configPath());
        std::string config = row.config, line = row.commandLine, name = row.name;
        if (auto at = config.find("gone.avi"); at != std::string::npos) config.replace(at, 8, gone);
        if (config == "/") std::filesystem::create_directory(configPath());
        if (config.size() > 1) file("ostrel.cfg", config);
        if (row.failing[0]) fake.script(row.failing, {row.answer, row.and2});
        if (line.find('.') != std::string::npos)
            line = line == "gone.avi" ? gone : line == "a.avi" ? clip(line, {3}) : file(line);
        if (name.find("escape") == 0)
            fake.idleScript.push_back([&] {
                fake.queue.push_back({mainWindow, kWmKeyDown, kVkEscape, 0});
            });
        if (name.find("rejected") == 0)
            fake.idleScript.push_back([&] {
                fake.queue.push_back(
                    {mainWindow, kWmCopyData, 0, reinterpret_cast<LParam>(&handOver)});
            });
        EXPECT_EQ(run(line), row.exit);
        EXPECT_EQ(state.mainWindow != nullptr, row.window);
        EXPECT_EQ(fake.count("CoInitialize"), row.window);
        EXPECT_EQ(fake.count("ReplaceFile(") == 1, row.written);
        EXPECT_EQ(fake.count("waveOutSetVolume(0x51515151)"), row.restored);
        EXPECT_EQ(state.failure, row.failure);
        EXPECT_EQ(relative(failureText()), row.text);
        EXPECT_EQ(exitCodeFor(0), row.failure != Failure::None);
        std::string log = logText();
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), row.tail.size())), row.tail);
        if (row.restored) expectRunEnded(0x51515151, row.exit);
        // A saved file says "text" once the window ran, whatever mode was
        // configured; a file not written is left as it was.
        if (row.written)
            EXPECT_NE(readFile(configPath())
                          .find(row.window ? "MenuBar      text\r" : "MenuBar      graphic\r"),
                      std::string::npos);
        else if (config.size() > 1)
            EXPECT_EQ(readFile(configPath()), config);
    }
}

// ---------------------------------------------------------------- main loop

using MainLoopTest = UiTest;

TEST_F(MainLoopTest, WithNothingToPlayItWaitsForMessagesInsteadOfSpinning) {
    state.haveInput = 1;
    for (int i = 0; i < 3; ++i)
        fake.idleScript.push_back([] {});  // woken without a message
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(logText(), "WaitMessage() WaitMessage() WaitMessage() WaitMessage(idle)");
    fake.log.clear();
    state.haveInput = 0, state.playing = 1;
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(logText(), "WaitMessage(idle)");
}

TEST_F(MainLoopTest, WhilePlayingItPumpsWithoutWaitingAndAFailingFrameEndsItAtOnce) {
    playList({clip("a.avi", {5})});
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Blt("), 5);
    EXPECT_EQ(joined(fake.calls("WaitMessage")), "WaitMessage(idle)");  // only once it ended
    playList({clip("a.avi", {5})});
    fake.script("Blt", {kOk, kOk, kFail});
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fake.count("Blt("), 3);
    EXPECT_EQ(fake.count("WaitMessage"), 0);
    EXPECT_EQ(exitCodeFor(0), 1);
}

TEST_F(MainLoopTest, MessagesGoBeforeTheNextFrameAndQuitEndsTheLoopWithItsCode) {
    playList({clip("a.avi", {5})});
    fake.queue.push_back({mainWindow, kWmActivate, kWaInactive, 0});
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Update("), 0);
    state.playing = 1;
    fake.log.clear();
    fake.queue.push_back({nullptr, kWmQuit, 7, 0});
    EXPECT_EQ(runMainLoop(), 7);
    EXPECT_TRUE(fake.log.empty());
}

}  // namespace
}  // namespace ostrel::test
