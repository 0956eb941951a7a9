// Start-up in its order, its failure table (window made or not,
// configuration written or not, volume restored or not, exit status), the
// hand-over of a second start, and the main loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "app/Startup.h"
#include "playback/MediaStream.h"
#include "ui/MainWindow.h"

namespace ostrel::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kOpen = "waveOutOpen(1,2,44100,88200,2,8,0)";
const std::string kFramedWindow =
    "CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,200,200,462,386)";
const std::string kBlackArea =
    "BltFill(primary 204,250,658,580 src=204,250,658,580 flags=0x400 fill=0/100)";
constexpr int kIdleQuit = 99;  // the fake's quit when the loop would wait forever

class StartupTest : public PlaybackTest {
protected:
    void SetUp() override {
        fake.modulePath = folder.path("ostrel");
        fake.deviceVolume = 0x51515151;
    }

    int run(const char* commandLine = "") {
        return runPlayer(reinterpret_cast<InstanceHandle>(0x400000), commandLine);
    }

    std::string configPath() const { return folder.path("ostrel.cfg"); }
    bool configWritten() const { return std::filesystem::exists(configPath()); }
    void writeConfig(const std::string& text) const { folder.file("ostrel.cfg", text); }
    std::string readConfig() const {
        std::ifstream in(configPath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // True when the lines appear in the log in this order.
    ::testing::AssertionResult inOrder(const Strings& lines) const {
        int last = -1;
        for (const auto& line : lines) {
            int at = -1;
            for (int i = last + 1; i < static_cast<int>(fake.log.size()); ++i)
                if (fake.log[static_cast<std::size_t>(i)] == line) {
                    at = i;
                    break;
                }
            if (at < 0) return ::testing::AssertionFailure() << "missing or out of order: " << line;
            last = at;
        }
        return ::testing::AssertionSuccess();
    }

    bool windowMade() const { return fake.count("CreateWindow") == 1 && state.mainWindow; }
    bool volumeRestored() const { return fake.count("waveOutSetVolume") > 0; }
};

// --- a normal start

TEST_F(StartupTest, AFreshStartOpensTheWindowAtTheDefaultsThenWaitsForMessages) {
    EXPECT_EQ(run(), kIdleQuit);  // the loop's own result comes back
    EXPECT_TRUE(inOrder({"LoadIcon(10)", "LoadIcon(10)", "LoadCursor(arrow)", "CreateMutex(OSTREL)",
                         "GetModuleFileName", "Exists(" + configPath() + ")",
                         "RegisterClass( ostrelwin,menu=104)", kFramedWindow,
                         "CreateToolbarEx(parent=0x100)", "CoInitialize", "SetHWnd(0,0x100)",
                         "ShowWindow(1)", "UpdateWindow", kOpen, "waveOutGetVolume", "waveOutClose",
                         kBlackArea, "WaitMessage(idle)"}));
    EXPECT_EQ(fake.count("LoadIcon"), 2);
    EXPECT_EQ(fake.count("CreateWindow"), 1);
    EXPECT_EQ(fake.count("OpenFile"), 0);
    EXPECT_EQ(fake.count("Update("), 0);

    EXPECT_EQ(state.instance, reinterpret_cast<InstanceHandle>(0x400000));
    EXPECT_EQ(state.mainWindow, mainWindowHandle());
    EXPECT_EQ(state.arrowCursor, reinterpret_cast<CursorHandle>(0x55));
    EXPECT_EQ(std::string(state.exeDir), folder.root() + "/");
    EXPECT_STREQ(state.versionText, "2.03");
    EXPECT_STREQ(state.authorId, "none");
    EXPECT_STREQ(state.discTitle, "none");
    EXPECT_STREQ(state.authorSite, kMakerSite);
    EXPECT_STREQ(state.authorNet, kMakerHost);
    EXPECT_EQ(std::string(state.authorSite).substr(std::strlen(kMakerHost)), "/products.html");
    EXPECT_EQ(state.menuBarMode, kMenuText);
    EXPECT_EQ(state.volumeLevel, 3);
    EXPECT_EQ(state.initialVolume, 0x51515151u);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.failure, Failure::None);
    EXPECT_FALSE(configWritten());
}

TEST_F(StartupTest, TheWindowClassIsRegisteredWithTheMainWindowProcedure) {
    run();
    const WindowClass& c = fake.lastClass;
    EXPECT_EQ(c.size, 48u);
    EXPECT_EQ(c.style, kCsHRedraw | kCsVRedraw);
    EXPECT_EQ(c.style, 3u);
    EXPECT_EQ(c.windowProc, &mainWindowProc);
    EXPECT_EQ(c.instance, reinterpret_cast<InstanceHandle>(0x400000));
    EXPECT_EQ(c.icon, reinterpret_cast<IconHandle>(0x66));
    EXPECT_EQ(c.smallIcon, reinterpret_cast<IconHandle>(0x66));
    EXPECT_EQ(c.cursor, reinterpret_cast<CursorHandle>(0x55));
    EXPECT_TRUE(c.blackBackground);
    EXPECT_EQ(c.menuResource, 104);
    EXPECT_EQ(fake.lastClassName, " ostrelwin");
}

TEST_F(StartupTest, TheFirstItemIsSetUpBeforeTheAreaIsBlackedAndPlaysFromTheLoop) {
    std::string clip = folder.file("clip.avi");
    MediaInfo info;
    info.frames = 4;
    fake.media[clip] = info;
    EXPECT_EQ(run(clip.c_str()), kIdleQuit);
    EXPECT_TRUE(inOrder(
        {"waveOutClose", "OpenFile(" + clip + ",0)", "SetState(Run)", kBlackArea, "Update(0)"}));
    EXPECT_EQ(fake.count("Blt("), 4);
    // It played to its end and the loop went to sleep.
    EXPECT_EQ(fake.log.back(), "WaitMessage(idle)");
    EXPECT_EQ(state.playing, 0);
}

TEST_F(StartupTest, ThePlacementFromTheConfigurationIsUsed) {
    writeConfig("XCoord 10\r\nYCoord 20\r\nWidth 300\r\nHeight 200\r\nMenuBar text\r\n");
    run();
    EXPECT_EQ(fake.calls("CreateWindow"),
              Strings{"CreateWindow(0x310, ostrelwin, ostrel v2.03,0x90CF0000,10,20,300,200)"});
    EXPECT_EQ(fake.count("CreateToolbarEx"), 0);  // text mode: no tool bar
}

// --- window styles and the menu-bar mode

struct StyleCase {
    const char* config;
    const char* commandLine;
    const char* createWindow;
    int toolBars;
};

class WindowStyleTest : public StartupTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(WindowStyleTest, OnlyNoMenuBarInFullScreenGoesWithoutAFrame) {
    const StyleCase& c = GetParam();
    writeConfig(c.config);
    run(c.commandLine);
    EXPECT_EQ(fake.calls("CreateWindow"), Strings{c.createWindow});
    EXPECT_EQ(fake.count("CreateToolbarEx"), c.toolBars);
    // Whatever the file said, the run goes on in text mode and in a window.
    EXPECT_EQ(state.menuBarMode, kMenuText);
    EXPECT_EQ(state.fullScreen, 0);
}

INSTANTIATE_TEST_SUITE_P(
    MenuBarAndFullScreen, WindowStyleTest,
    ::testing::Values(
        StyleCase{"MenuBar none\r\nFullScreen yes\r\n", "",
                  "CreateWindow(0x10, ostrelwin, ostrel v2.03,0x90000000,200,200,462,386)", 1},
        StyleCase{"MenuBar none\r\n", "-fs",
                  "CreateWindow(0x10, ostrelwin, ostrel v2.03,0x90000000,200,200,462,386)", 1},
        StyleCase{"MenuBar none\r\n", "", kFramedWindow.c_str(), 1},
        StyleCase{"MenuBar graphic\r\nFullScreen yes\r\n", "", kFramedWindow.c_str(), 1},
        StyleCase{"MenuBar text\r\nFullScreen yes\r\n", "", kFramedWindow.c_str(), 0}));

// --- a second start

TEST_F(StartupTest, ASecondStartHandsItsCommandLineToTheRunningPlayer) {
    fake.otherInstance = true;
    fake.otherWindow = FakePlatform::window(0x300);
    EXPECT_EQ(run("-s 25 clip.avi"), 0);
    EXPECT_EQ(fake.log,
              (Strings{"LoadIcon(10)", "LoadIcon(10)", "LoadCursor(arrow)", "CreateMutex(OSTREL)",
                       "CloseHandle(0x77)", "FindWindow( ostrelwin| ostrel v2.03)",
                       "SetForegroundWindow(0x300)", "SendCopyData(0x300,-s 25 clip.avi,15)"}));
    EXPECT_FALSE(configWritten());
}

TEST_F(StartupTest, ASecondStartWithoutACommandLineOnlyRaisesTheRunningPlayer) {
    fake.otherInstance = true;
    fake.otherWindow = FakePlatform::window(0x300);
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(fake.log.back(), "SetForegroundWindow(0x300)");
    EXPECT_EQ(fake.count("SendCopyData"), 0);
    EXPECT_EQ(fake.count("GetModuleFileName") + fake.count("CreateWindow"), 0);
}

TEST_F(StartupTest, ASecondStartWhileTheFirstHasNoWindowEndsWithoutAnEffect) {
    fake.otherInstance = true;
    fake.otherWindow = nullptr;  // the first plays a lone sound
    EXPECT_EQ(run("clip.avi"), 0);
    EXPECT_EQ(fake.log.back(), "FindWindow( ostrelwin| ostrel v2.03)");
    EXPECT_EQ(fake.count("SendCopyData") + fake.count("SetForegroundWindow"), 0);
}

// --- the executable's folder

TEST_F(StartupTest, TheFolderEndsAtTheLastBackslash) {
    fake.modulePath = "C:\\Games\\Disc One\\ostrel.exe";
    run();
    EXPECT_STREQ(state.exeDir, "C:\\Games\\Disc One\\");
    EXPECT_EQ(fake.count("Exists(C:\\Games\\Disc One\\ostrel.cfg)"), 1);
}

TEST_F(StartupTest, TheFolderEndsAtTheLastSlashOrBackslashWhicheverComesLast) {
    fake.modulePath = "/opt/disc\\one/bin/ostrel";
    run();
    EXPECT_STREQ(state.exeDir, "/opt/disc\\one/bin/");
}

TEST_F(StartupTest, ATooLongExecutablePathRefusesToStart) {
    fake.modulePath = "/" + std::string(300, 'd') + "/ostrel";
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(fake.log.back(), "GetModuleFileName");
    EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
    EXPECT_EQ(fake.count("RegisterClass") + fake.count("CreateWindow"), 0);
}

TEST_F(StartupTest, AFolderTooLongForTheConfigurationPathRefusesToStart) {
    // The folder fits (250 characters) but the configuration path would not.
    fake.modulePath = "/" + std::string(248, 'd') + "/ostrel";
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(fake.count("Exists"), 0);
    EXPECT_EQ(fake.count("CreateWindow"), 0);
}

// --- the failure table

TEST_F(StartupTest, AnUnreadableConfigurationEndsBeforeAnyWindow) {
    std::filesystem::create_directory(configPath());  // exists, cannot be read as a file
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(fake.count("RegisterClass") + fake.count("CreateWindow"), 0);
    EXPECT_EQ(fake.count("waveOut"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(configPath()));
    EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
}

TEST_F(StartupTest, AConfiguredItemThatIsMissingEndsBeforeAnyWindow) {
    std::string text = "FileName " + folder.path("gone.avi") + "\r\nSoundOn no\r\n";
    writeConfig(text);
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(fake.count("CreateWindow"), 0);
    EXPECT_EQ(readConfig(), text);  // not rewritten
    EXPECT_EQ(fake.count("waveOut"), 0);
}

TEST_F(StartupTest, ABadCommandLineEndsAfterTheClassButBeforeAnyWindow) {
    EXPECT_EQ(run(folder.path("gone.avi").c_str()), 1);
    EXPECT_EQ(fake.count("RegisterClass"), 1);
    EXPECT_EQ(fake.count("CreateWindow"), 0);
    EXPECT_FALSE(configWritten());
    EXPECT_EQ(fake.count("waveOut"), 0);
    EXPECT_EQ(state.failure, Failure::MissingItem);
}

TEST_F(StartupTest, AZeroFrameNumberEndsBeforeAnyWindow) {
    EXPECT_EQ(run("-e 0"), 1);
    EXPECT_EQ(fake.count("CreateWindow"), 0);
    EXPECT_EQ(state.failure, Failure::BadCommandLine);
}

TEST_F(StartupTest, ALoneSoundPlaysToItsEndWithoutAWindowThenTheConfigurationIsSaved) {
    std::string sound = folder.file("intro.WAV");
    EXPECT_EQ(run(sound.c_str()), 0);
    EXPECT_EQ(fake.calls("sndPlaySound"), Strings{"sndPlaySound(" + sound + ",0)"});
    EXPECT_EQ(fake.count("CreateWindow") + fake.count("CoInitialize"), 0);
    EXPECT_EQ(fake.count("waveOut"), 0);
    EXPECT_TRUE(configWritten());
    EXPECT_TRUE(inOrder({"sndPlaySound(" + sound + ",0)", "LocalTime"}));
    // Without a window the mode stays as configured: graphic by default.
    EXPECT_NE(readConfig().find("graphic"), std::string::npos);
}

TEST_F(StartupTest, ALoneSoundOfAReadOnlyConfigurationLeavesTheFileAlone) {
    std::string text = "ReadOnly yes\r\nMenuBar none\r\n";
    writeConfig(text);
    std::string sound = folder.file("intro.wav");
    EXPECT_EQ(run(sound.c_str()), 0);
    EXPECT_EQ(fake.count("sndPlaySound"), 1);
    EXPECT_EQ(readConfig(), text);
}

TEST_F(StartupTest, ALoneSoundThatDidNotPlaySavesNothing) {
    std::string sound = folder.file("intro.wav");
    fake.always("sndPlaySound", 0);
    EXPECT_EQ(run(sound.c_str()), 0);
    EXPECT_FALSE(configWritten());
    EXPECT_EQ(fake.count("CreateWindow"), 0);
}

TEST_F(StartupTest, NoWindowEndsTheStartQuietly) {
    fake.script("CreateWindow", {0});
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(state.failure, Failure::NoWindow);
    EXPECT_EQ(fake.count("CoInitialize") + fake.count("waveOut") + fake.count("PostQuit"), 0);
    EXPECT_FALSE(configWritten());
}

TEST_F(StartupTest, NoVideoSurfaceReleasesWhatWasMadeAndEndsWithoutTouchingTheVolume) {
    fake.script("CreateSurface(offscreen)", {kFail});
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(windowMade());
    EXPECT_EQ(fake.count("ShowWindow"), 0);
    EXPECT_EQ(fake.count("waveOut"), 0);  // never probed, so nothing to restore
    Strings tail(fake.log.end() - 5, fake.log.end());
    EXPECT_EQ(tail, (Strings{"Release(factory)", "Release(primary)", "Release(directDraw)",
                             "PostQuitMessage(1)", "CoUninitialize"}));
    EXPECT_EQ(fake.count("WaitMessage"), 0);
    EXPECT_FALSE(configWritten());
    EXPECT_EQ(state.failure, Failure::NoVideoSurface);
}

class NoWaveDeviceTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoWaveDeviceTest, EndsRightAfterTheWindowAppeared) {
    std::string clip = folder.file("clip.avi");
    fake.script(GetParam(), {kMmError});
    EXPECT_EQ(run(clip.c_str()), 1);
    EXPECT_TRUE(windowMade());
    EXPECT_EQ(fake.count("ShowWindow(1)"), 1);
    EXPECT_EQ(state.failure, Failure::NoWaveDevice);
    // Left to the process end: no item, no restore, no release, no quit.
    EXPECT_EQ(fake.count("OpenFile") + fake.count("BltFill") + fake.count("WaitMessage"), 0);
    EXPECT_FALSE(volumeRestored());
    EXPECT_TRUE(releases().empty());
    EXPECT_EQ(fake.count("PostQuitMessage") + fake.count("CoUninitialize"), 0);
    EXPECT_FALSE(configWritten());
}

INSTANTIATE_TEST_SUITE_P(OpenOrRead, NoWaveDeviceTest,
                         ::testing::Values("waveOutOpen", "waveOutGetVolume"));

TEST_F(StartupTest, AFirstItemThatCannotBeSetUpEndsTheRunWithTheVolumeRestored) {
    std::string clip = folder.file("clip.avi");
    fake.script("OpenFile", {kFail});
    EXPECT_EQ(run(clip.c_str()), 1);
    EXPECT_TRUE(windowMade());
    EXPECT_EQ(fake.count("MessageBox"), 1);
    EXPECT_EQ(fake.calls("waveOutSetVolume"), Strings{"waveOutSetVolume(0x51515151)"});
    EXPECT_EQ(fake.calls("PostQuitMessage"), Strings{"PostQuitMessage(1)"});
    EXPECT_EQ(fake.log.back(), "CoUninitialize");
    EXPECT_EQ(fake.count("BltFill") + fake.count("WaitMessage"), 0);  // the loop never ran
    EXPECT_FALSE(configWritten());
    EXPECT_EQ(std::string(failureText()), "ostrel: cannot play item: " + clip);
}

TEST_F(StartupTest, AFailingFrameBlitEndsTheRunAtOnceWithoutTeardown) {
    std::string clip = folder.file("clip.avi");
    fake.script("Blt", {kOk, kSurfaceLost});
    EXPECT_EQ(run(clip.c_str()), 1);
    EXPECT_EQ(fake.count("Blt("), 2);
    EXPECT_EQ(fake.log.back().rfind("Blt(", 0), 0u);
    EXPECT_TRUE(releases().empty());
    EXPECT_FALSE(volumeRestored());
    EXPECT_EQ(fake.count("PostQuitMessage") + fake.count("CoUninitialize"), 0);
    EXPECT_FALSE(configWritten());
    EXPECT_EQ(std::string(failureText()),
              "ostrel: cannot put a video frame on the screen: "
              "status 0x887601C2");
}

TEST_F(StartupTest, TheNormalEndSavesReleasesRestoresAndExitsWithZero) {
    std::string clip = folder.file("clip.avi");
    fake.media[clip] = MediaInfo{3};
    // Once the item has played, the user presses Escape.
    fake.idleScript.push_back([&] {
        fake.queue.push_back({mainWindowHandle(), kWmKeyDown, kVkEscape, 0});
    });
    EXPECT_EQ(run(clip.c_str()), 0);
    EXPECT_TRUE(configWritten());
    EXPECT_EQ(fake.calls("waveOutSetVolume"), Strings{"waveOutSetVolume(0x51515151)"});
    EXPECT_EQ(fake.calls("PostQuitMessage"), Strings{"PostQuitMessage(0)"});
    EXPECT_TRUE(inOrder({"ReplaceFile(" + configPath() + ".new," + configPath() + ")",
                         "Release(stream)", "Release(directDraw)", "waveOutSetVolume(0x51515151)",
                         "PostQuitMessage(0)", "CoUninitialize"}));
    EXPECT_EQ(fake.log.back(), "CoUninitialize");
    EXPECT_EQ(fake.liveObjects, 0);
    EXPECT_EQ(state.failure, Failure::None);
    EXPECT_STREQ(failureText(), "");
    // A saved file says "text" whatever the configured mode was.
    EXPECT_NE(readConfig().find("text"), std::string::npos);
}

TEST_F(StartupTest, ARejectedHandOverEndsTheRunWithTheVolumeRestoredAndNothingSaved) {
    std::string missing = folder.path("gone.avi");
    CopyData data{0, static_cast<std::uint32_t>(missing.size() + 1), missing.c_str()};
    fake.idleScript.push_back([&] {
        fake.queue.push_back({mainWindowHandle(), kWmCopyData, 0, reinterpret_cast<LParam>(&data)});
    });
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(fake.calls("waveOutSetVolume"), Strings{"waveOutSetVolume(0x51515151)"});
    EXPECT_EQ(fake.calls("PostQuitMessage"), Strings{"PostQuitMessage(1)"});
    EXPECT_EQ(fake.count("CoUninitialize"), 1);
    for (const auto& line : fake.log)
        EXPECT_EQ(line.find("after CoUninitialize"), std::string::npos) << line;
    EXPECT_FALSE(configWritten());
}

// --- the main loop

class MainLoopTest : public PlaybackTest {
protected:
    void SetUp() override {
        startPlayer();
        fake.windowProc = &mainWindowProc;
    }
};

TEST_F(MainLoopTest, WithNothingToPlayItWaitsForMessagesInsteadOfSpinning) {
    state.haveInput = 1;
    state.playing = 0;
    for (int i = 0; i < 3; ++i)
        fake.idleScript.push_back([] {});  // woken without a message
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.log,
              (Strings{"WaitMessage", "WaitMessage", "WaitMessage", "WaitMessage(idle)"}));

    fake.clearLog();
    state.haveInput = 0;
    state.playing = 1;
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.log, Strings{"WaitMessage(idle)"});
}

TEST_F(MainLoopTest, WhilePlayingItPumpsFramesAndNeverWaits) {
    addItem(0, "a.avi", MediaInfo{5});
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Blt("), 5);
    EXPECT_EQ(fake.count("WaitMessage"), 1);
    EXPECT_EQ(fake.log.back(), "WaitMessage(idle)");  // only once the item has ended
}

TEST_F(MainLoopTest, WaitingMessagesGoBeforeTheNextFrame) {
    addItem(0, "a.avi", MediaInfo{5});
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.clearLog();
    fake.queue.push_back({mainWindowHandle(), kWmActivate, kWaInactive, 0});
    EXPECT_EQ(runMainLoop(), kIdleQuit);
    EXPECT_EQ(fake.count("Update("), 0);
    EXPECT_EQ(state.playing, 0);
}

TEST_F(MainLoopTest, TheQuitMessageEndsTheLoopWithItsCode) {
    state.haveInput = 1;
    state.playing = 1;
    fake.queue.push_back({nullptr, kWmQuit, 7, 0});
    EXPECT_EQ(runMainLoop(), 7);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(MainLoopTest, AFailingBlitLeavesTheLoopAtOnce) {
    addItem(0, "a.avi", MediaInfo{5});
    ASSERT_EQ(setupCurrentItem(), 1);
    fake.script("Blt", {kOk, kOk, kFail});
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_EQ(fake.count("Blt("), 3);
    EXPECT_EQ(fake.count("WaitMessage"), 0);
    EXPECT_EQ(exitCodeFor(0), 1);
}

}  // namespace
}  // namespace ostrel::testing
