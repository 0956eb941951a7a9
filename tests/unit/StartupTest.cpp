// Start-up in its order and its failure table (window made or not,
// configuration written or not, volume restored or not, exit status), the
// window styles, a second start handing over, and the main loop.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

constexpr int kIdleQuit = 99;  // the fake's quit when the loop would wait forever
const std::string kFramedWindow =
    "CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,200,200,462,386)";
const std::string kBorderless =
    "CreateWindow(0x10, ostrelwin, ostrel v2.03,0x90000000,200,200,462,386)";
const std::string kUsage = "usage: ostrel [-fs] [-s FRAME] [-e FRAME] [-t FRAMES] [media file]";
const std::string kBlackArea =
    "BltFill(primary 204,250,658,580 src=204,250,658,580 flags=0x400 fill=0/100)";

class StartupTest : public PlayerTest {
public:
    void SetUp() override { fake.deviceVolume = 0x51515151; }
    // True when `lines` appear in the log in this order.
    ::testing::AssertionResult inOrder(const Lines& lines) const {
        auto at = fake.log.begin();
        for (const auto& line : lines)
            if ((at = std::find(at, fake.log.end(), line)) == fake.log.end())
                return ::testing::AssertionFailure() << "missing or out of order: " << line;
        return ::testing::AssertionSuccess();
    }
};

TEST_F(StartupTest, AFreshStartOpensTheWindowAtTheDefaultsThenWaitsForMessages) {
    EXPECT_EQ(run(), kIdleQuit);  // the loop's own result comes back
    // The tool bar: the size message of the window's creation finds the
    // default mode, graphic, before start-up switches to text.
    EXPECT_EQ(joined(relative(fake.log)),
              "LoadIcon(10); LoadIcon(10); LoadCursor(arrow); CreateMutex(OSTREL); "
              "GetModuleFileName; Exists(ostrel.cfg); RegisterClass( ostrelwin,menu=104); " +
                  kFramedWindow + "; CreateToolbarEx(parent=0x100); " + joined(kSurfaceLog) +
                  "; ShowWindow(1); UpdateWindow; waveOutOpen(1,2,44100,88200,2,8,0); "
                  "waveOutGetVolume; waveOutClose; GetClientRect; ClientToScreen; "
                  "ClientToScreen; " +
                  kBlackArea + "; WaitMessage(idle)");
    EXPECT_EQ(state.exeDir, dir + "/");
    EXPECT_STREQ(state.versionText, "2.03");
    EXPECT_STREQ(state.authorId, "none");
    EXPECT_STREQ(state.discTitle, "none");
    EXPECT_STREQ(state.authorSite, "ostrel.org/products.html");
    EXPECT_STREQ(state.authorNet, "ostrel.org");
    EXPECT_EQ(state.menuBarMode, kMenuText);
    EXPECT_EQ(state.volumeLevel, 3);
    EXPECT_EQ(state.mainWindow, mainWindow);
    const WindowClass& c = fake.lastClass;
    EXPECT_TRUE(c.style == (kCsHRedraw | kCsVRedraw) && c.windowProc == &mainWindowProc &&
                c.instance == instance && c.blackBackground);
    EXPECT_EQ(format("0x%lX 0x%lX 0x%lX 0x%lX", fake::id(c.icon), fake::id(c.smallIcon),
                     fake::id(c.cursor), fake::id(state.arrowCursor)),
              "0x66 0x66 0x55 0x55");
}

TEST_F(StartupTest, TheFirstItemIsSetUpBeforeTheAreaIsBlackedAndPlaysFromTheLoop) {
    file("ostrel.cfg", "XCoord 10\r\nYCoord 20\r\nWidth 300\r\nHeight 200\r\nMenuBar text\r\n");
    std::string a = clip("a.avi", frames(4));
    EXPECT_EQ(run(a), kIdleQuit);
    EXPECT_TRUE(inOrder({"CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,10,20,300,200)",
                         "waveOutClose", "OpenFile(" + a + ",0)", "SetState(Run)", kBlackArea,
                         "Update(0)"}));
    EXPECT_EQ(fake.count("CreateToolbarEx"), 0);  // text mode: no tool bar
    EXPECT_EQ(fake.count("Blt("), 4);
    EXPECT_EQ(fake.log.back(), "WaitMessage(idle)");  // played to its end, then asleep
}

struct StyleCase {
    const char *name, *config, *commandLine;
    std::string window;
    int toolBars;
};
void PrintTo(const StyleCase& c, std::ostream* out) {
    *out << c.name;
}

class WindowStyleTest : public StartupTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(WindowStyleTest, OnlyNoMenuBarInFullScreenGoesWithoutAFrame) {
    file("ostrel.cfg", GetParam().config);
    run(GetParam().commandLine);
    EXPECT_EQ(fake.calls("CreateWindow"), Lines{GetParam().window});
    EXPECT_EQ(fake.count("CreateToolbarEx"), GetParam().toolBars);
    // Whatever the file said, the run goes on with the text menu, in a window.
    EXPECT_EQ(state.menuBarMode, kMenuText);
    EXPECT_EQ(state.fullScreen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Style, WindowStyleTest,
    ::testing::Values(
        StyleCase{"NoneFullScreen", "MenuBar none\r\nFullScreen yes\r\n", "", kBorderless, 1},
        StyleCase{"NoneAndFs", "MenuBar none\r\n", "-fs", kBorderless, 1},
        StyleCase{"NoneWindowed", "MenuBar none\r\n", "", kFramedWindow, 1},
        StyleCase{"GraphicFullScreen", "MenuBar graphic\r\nFullScreen yes\r\n", "", kFramedWindow,
                  1},
        StyleCase{"TextFullScreen", "MenuBar text\r\nFullScreen yes\r\n", "", kFramedWindow, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, ASecondStartHandsItsCommandLineToTheRunningPlayer) {
    fake.otherInstance = true;
    const std::pair<WindowHandle, Lines> cases[] = {
        {FakePlatform::window(0x300),
         {"FindWindow( ostrelwin| ostrel v2.03)", "SetForegroundWindow(0x300)",
          "SendCopyData(0x300,-s 25 clip.avi,15)"}},  // the terminator counts
        {FakePlatform::window(0x300),
         {"FindWindow( ostrelwin| ostrel v2.03)", "SetForegroundWindow(0x300)"}},
        {nullptr, {"FindWindow( ostrelwin| ostrel v2.03)"}},  // the first plays a lone sound
    };
    for (const auto& [window, tail] : cases) {
        fake.clearLog();
        fake.otherWindow = window;
        EXPECT_EQ(run(tail.size() == 3 ? "-s 25 clip.avi" : ""), 0);
        EXPECT_EQ(fake.log, join({{"LoadIcon(10)", "LoadIcon(10)", "LoadCursor(arrow)",
                                   "CreateMutex(OSTREL)", "CloseHandle(0x77)"},
                                  tail}));
    }
    EXPECT_FALSE(configWritten());
}

struct ExeCase {
    const char* name;
    std::string modulePath;
    int exit;
    std::string exeDir;
};
void PrintTo(const ExeCase& c, std::ostream* out) {
    *out << c.name;
}

class ExeDirTest : public StartupTest, public ::testing::WithParamInterface<ExeCase> {};

TEST_P(ExeDirTest, TheFolderEndsAtTheLastSeparatorAndMustLeaveRoomForTheFile) {
    fake.modulePath = GetParam().modulePath;
    EXPECT_EQ(runPlayer(instance, ""), GetParam().exit);
    EXPECT_EQ(state.exeDir, GetParam().exeDir);
    EXPECT_EQ(fake.calls("Exists("), GetParam().exit == 1
                                         ? Lines{}
                                         : Lines{"Exists(" + GetParam().exeDir + "ostrel.cfg)"});
    EXPECT_EQ(fake.count("CreateWindow"), GetParam().exit == 1 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    ExeDir, ExeDirTest,
    ::testing::Values(ExeCase{"Backslashes", "C:\\Games\\Disc One\\ostrel.exe", kIdleQuit,
                              "C:\\Games\\Disc One\\"},
                      ExeCase{"SlashLast", "/opt/disc\\one/bin/ostrel", kIdleQuit,
                              "/opt/disc\\one/bin/"},
                      // The path fits (250 characters) but not with the file's name.
                      ExeCase{"NoRoomForTheFile", "/" + std::string(248, 'd') + "/ostrel", 1,
                              "/" + std::string(248, 'd') + "/"},
                      ExeCase{"PathTooLong", "/" + std::string(300, 'd') + "/ostrel", 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- failures

// One row of the start-up table each: the exit status, whether the window
// was made, the configuration written and the volume restored, the cause.
class StartupEndTest : public StartupTest {
public:
    void expectEnd(const std::string& commandLine, int exit, bool window, bool written,
                   bool restored, Failure failure, const std::string& text) {
        EXPECT_EQ(run(commandLine), exit);
        EXPECT_EQ(state.mainWindow != nullptr, window);
        EXPECT_EQ(fake.count("ReplaceFile(") == 1, written);
        EXPECT_EQ(fake.calls("waveOutSetVolume"),
                  restored ? Lines{"waveOutSetVolume(0x51515151)"} : Lines{});
        EXPECT_EQ(state.failure, failure);
        EXPECT_EQ(failureText(), text);
        EXPECT_EQ(exitCodeFor(0), failure == Failure::None ? 0 : 1);
    }
    // Nothing of the run's end happens: no release, no quit, no shutdown.
    void expectLeftToTheProcessEnd() const {
        EXPECT_EQ(fake.count("Release(") + fake.count("PostQuit") + fake.count("CoUninit"), 0);
    }
};

TEST_F(StartupEndTest, UnreadableConfiguration) {
    std::filesystem::create_directory(configPath());
    expectEnd("", 1, false, false, false, Failure::ConfigUnreadable,
              "ostrel: cannot read the configuration: " + configPath());
    EXPECT_EQ(fake.count("RegisterClass"), 0);
}

TEST_F(StartupEndTest, MissingConfiguredItem) {
    file("ostrel.cfg", "FileName " + path("gone.avi") + "\r\n");
    expectEnd("", 1, false, false, false, Failure::ConfigMissingItem,
              "ostrel: the configuration names a missing item: " + path("gone.avi"));
}

TEST_F(StartupEndTest, BadCommandLine) {
    expectEnd(path("gone.avi"), 1, false, false, false, Failure::MissingItem,
              "ostrel: item not found: " + path("gone.avi") + "; " + kUsage);
    EXPECT_EQ(fake.count("RegisterClass"), 1);
    state = PlayerState{};
    expectEnd("-e 0", 1, false, false, false, Failure::BadCommandLine,
              "ostrel: bad command line: -e 0; " + kUsage);
}

TEST_F(StartupEndTest, LoneSoundPlaysToItsEndThenTheConfigurationIsWritten) {
    expectEnd(file("intro.WAV"), 0, false, true, false, Failure::None, "");
    EXPECT_TRUE(inOrder({"sndPlaySound(" + path("intro.WAV") + ",0)", "LocalTime"}));
    EXPECT_NE(readFile(configPath()).find("MenuBar      graphic"), std::string::npos);
    EXPECT_EQ(fake.count("CoInitialize"), 0);
}

TEST_F(StartupEndTest, LoneSoundOfAReadOnlyConfiguration) {
    file("ostrel.cfg", "ReadOnly yes\r\n");
    expectEnd(file("intro.wav"), 0, false, false, false, Failure::None, "");
    EXPECT_EQ(fake.count("sndPlaySound"), 1);
    EXPECT_EQ(readFile(configPath()), "ReadOnly yes\r\n");
}

TEST_F(StartupEndTest, LoneSoundThatDidNotPlay) {
    fake.always("sndPlaySound", 0);  // a broken RIFF header
    expectEnd(file("intro.wav"), 1, false, false, false, Failure::ItemSetupFailed,
              "ostrel: cannot play item: " + path("intro.wav"));
}

TEST_F(StartupEndTest, NoWindow) {
    fake.script("CreateWindow", {0});
    expectEnd("", 1, false, false, false, Failure::NoWindow,
              "ostrel: cannot create the main window");
    EXPECT_EQ(fake.count("CoInitialize") + fake.count("PostQuit"), 0);
}

TEST_F(StartupEndTest, NoVideoSurface) {
    fake.script("CreateSurface(offscreen)", {kFail});
    expectEnd("", 1, true, false, false, Failure::NoVideoSurface,
              "ostrel: cannot set up the video surfaces: no off-screen surface");
    EXPECT_EQ(Lines(fake.log.end() - 5, fake.log.end()),
              (Lines{"PostQuitMessage(1)", "Release(factory)", "Release(primary)",
                     "Release(directDraw)", "CoUninitialize"}));
    EXPECT_EQ(fake.count("ShowWindow") + fake.count("waveOut"), 0);
}

TEST_F(StartupEndTest, NoWaveOutput) {
    for (auto [failing, why] : {std::pair{"waveOutOpen", "the wave output cannot be opened"},
                                {"waveOutGetVolume", "the output volume cannot be read"}}) {
        state = PlayerState{};
        fake.clearLog();
        fake.script(failing, {kMmError});
        expectEnd(clip("a.avi"), 1, true, false, false, Failure::NoWaveDevice,
                  std::string("ostrel: no usable wave output device: ") + why);
        EXPECT_EQ(fake.log.back().rfind("waveOut", 0), 0u);  // right after the window appeared
        EXPECT_EQ(fake.count("ShowWindow(1)"), 1);
        expectLeftToTheProcessEnd();
    }
}

TEST_F(StartupEndTest, FirstItemCannotBeSetUp) {
    fake.script("OpenFile", {kFail});
    expectEnd(clip("a.avi"), 1, true, false, true, Failure::ItemSetupFailed,
              "ostrel: cannot play item: " + path("a.avi"));
    EXPECT_EQ(fake.count("MessageBox"), 1);
    expectRunEnded(0x51515151, 1);
    EXPECT_EQ(fake.log.back(), "CoUninitialize");  // the loop never ran
}

TEST_F(StartupEndTest, FrameNotShown) {
    fake.script("Blt", {kOk, kSurfaceLost});
    expectEnd(clip("a.avi"), 1, true, false, false, Failure::BlitFailed,
              "ostrel: cannot put a video frame on the screen: status 0x887601C2");
    EXPECT_EQ(fake.count("Blt("), 2);
    EXPECT_EQ(fake.log.back().rfind("Blt(", 0), 0u);
    expectLeftToTheProcessEnd();
}

TEST_F(StartupEndTest, EscapeAfterTheItemPlayed) {
    fake.idleScript.push_back([&] {
        fake.queue.push_back({mainWindow, kWmKeyDown, kVkEscape, 0});
    });
    expectEnd(clip("a.avi", frames(3)), 0, true, true, true, Failure::None, "");
    EXPECT_TRUE(inOrder({"ReplaceFile(" + configPath() + ".new," + configPath() + ")",
                         "PostQuitMessage(0)", "Release(stream)", "Release(directDraw)",
                         "waveOutSetVolume(0x51515151)", "CoUninitialize"}));
    expectRunEnded(0x51515151, 0);
    // A saved file says "text" whatever mode was configured.
    EXPECT_NE(readFile(configPath()).find("MenuBar      text"), std::string::npos);
}

TEST_F(StartupEndTest, RejectedHandOver) {
    std::string missing = path("gone.avi");
    CopyData record{0, static_cast<std::uint32_t>(missing.size() + 1), missing.c_str()};
    fake.idleScript.push_back([&] {
        fake.queue.push_back({mainWindow, kWmCopyData, 0, reinterpret_cast<LParam>(&record)});
    });
    expectEnd("", 1, true, false, true, Failure::MissingItem, "ostrel: item not found: " + missing);
    expectRunEnded(0x51515151, 1);
}

// ---------------------------------------------------------------- main loop

class MainLoopTest : public UiTest {};

TEST_F(MainLoopTest, WithNothingToPlayItWaitsForMessagesInsteadOfSpinning) {
    state.haveInput = 1;
    for (int i = 0; i < 3; ++i)
        fake.idleScript.push_back([] {});  // woken without a message
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.log, (Lines{"WaitMessage", "WaitMessage", "WaitMessage", "WaitMessage(idle)"}));
    fake.clearLog();
    state.haveInput = 0;
    state.playing = 1;
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.log, Lines{"WaitMessage(idle)"});
}

TEST_F(MainLoopTest, WhilePlayingItPumpsWithoutWaitingAndAFailingFrameEndsItAtOnce) {
    playList({clip("a.avi", frames(5))});
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Blt("), 5);
    EXPECT_EQ(fake.calls("WaitMessage"), Lines{"WaitMessage(idle)"});  // only once it ended
    playList({clip("a.avi", frames(5))});
    fake.script("Blt", {kOk, kOk, kFail});
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fake.count("Blt("), 3);
    EXPECT_EQ(fake.count("WaitMessage"), 0);
    EXPECT_EQ(exitCodeFor(0), 1);
}

TEST_F(MainLoopTest, MessagesGoBeforeTheNextFrameAndQuitEndsTheLoopWithItsCode) {
    playList({clip("a.avi", frames(5))});
    fake.queue.push_back({mainWindow, kWmActivate, kWaInactive, 0});
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Update("), 0);
    state.playing = 1;
    fake.clearLog();
    fake.queue.push_back({nullptr, kWmQuit, 7, 0});
    EXPECT_EQ(runMainLoop(), 7);
    EXPECT_TRUE(fake.log.empty());
}

}  // namespace
}  // namespace ostrel::test
