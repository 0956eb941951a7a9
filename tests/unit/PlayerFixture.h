// What every unit test stands on: a fresh fake platform and player state, a
// temporary folder that is the executable's folder, and helpers to make
// media and configuration files, start the player and drive it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/Startup.h"
#include "config/CommandLine.h"
#include "config/Configuration.h"
#include "fake/FakePlatform.h"
#include "playback/FramePump.h"
#include "playback/MediaStream.h"
#include "playback/Transport.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"
#include "state/Text.h"
#include "ui/Commands.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

namespace ostrel::test {

using namespace ostrel::platform;
using fake::FakeDialogView;
using fake::FakePlatform;
using fake::format;
using fake::Lines;
using fake::MediaInfo;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
// The lines as one text, `separator` between them.
inline std::string joined(const Lines& lines, const char* separator = " ") {
    std::string out;
    for (const auto& line : lines)
        out += (out.empty() ? "" : separator) + line;
    return out;
}

// What createVideoSurface calls, in order, when all goes well: the offscreen
// surface takes the display's size and its whole pixel format.
const std::string kSurfaceLog =
    "CoInitialize() CoCreateInstance(DirectDraw) CreateDirectDraw(0x1,8) "
    "CreatePrimarySurface(0x1,0x200,108) GetSurfaceDesc(primary) "
    "CreateOffscreenSurface(0x1007,0x40,108,1024,768,1,32) CreateClipper(0) SetClipper(clipper) "
    "SetHWnd(0,0x100)";
const std::string kBlackArea = "BltFill(primary,204,250,658,580,204,250,658,580,0x400,0/100)";

// The golden configuration file, the one the end-to-end suites compare with
// too (a player on its defaults), dated by the fake clock, with `changes`
// ("Key value" each) on their keys' lines.
inline std::string goldenConfig(std::initializer_list<std::string> changes = {}) {
    std::string text = readFile(OSTREL_GOLDEN_CONFIG);
    std::size_t date = text.find(" - ") + 3;
    text.replace(date, text.find('\r') - date, "Sun Dec 06 20:34:26 2026");
    for (const std::string& change : changes) {
        std::string key = change.substr(0, change.find(' '));
        std::size_t from =
            text.find_first_not_of(' ', text.find("\r\n" + key + " ") + 2 + key.size());
        text.replace(from, text.find('\r', from) - from, change.substr(key.size() + 1));
    }
    return text;
}

// Runs part of a test inside a folder and goes back afterwards.
struct InFolder {
    explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(previous); }
    std::filesystem::path previous = std::filesystem::current_path();
};

class PlayerTest : public ::testing::Test {
public:
    PlayerTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-XXXXXX").string();
        dir = ::mkdtemp(pattern.data()) ? pattern : "";
    }
    ~PlayerTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    fake::FakeFixtureState fixture;
    FakePlatform& fake = fixture.fake;
    std::string dir;  // the temporary folder, no separator at the end
    const WindowHandle mainWindow = FakePlatform::window(FakePlatform::kMainWindowId);
    const InstanceHandle instance = reinterpret_cast<InstanceHandle>(0x400000);

    std::string path(const std::string& name) const { return dir + "/" + name; }
    // Makes a file in the folder and returns its full path.
    std::string file(const std::string& name, const std::string& bytes = "") const {
        writeFile(path(name), bytes);
        return path(name);
    }
    // A media file the fake stream plays as `info`.
    std::string clip(const std::string& name, MediaInfo info = {}) {
        fake.media[path(name)] = info;
        return file(name, "clip");
    }
    // A file whose full path is exactly `length` characters long, under `sub`.
    std::string fileOfLength(const std::string& sub, std::size_t length) const {
        std::string made = path(sub);
        for (std::filesystem::create_directories(made); length - made.size() > 120;
             std::filesystem::create_directories(made))
            made += "/" + std::string(100, 'd');
        return file(made.substr(dir.size() + 1) + "/" + std::string(length - made.size() - 1, 'f'));
    }
    std::string configPath() const { return path("ostrel.cfg"); }

    // Runs the player as the process entry does, the executable in the folder.
    int run(const std::string& commandLine = "") {
        fake.modulePath = path("ostrel");
        return runPlayer(instance, commandLine.c_str());
    }
    // The texts start-up sets before it reads the configuration.
    static void defaultTexts() {
        copyText(state.authorId, "none");
        copyText(state.discTitle, "none");
        copyText(state.authorSite, kMakerSite);
        copyText(state.authorNet, kMakerHost);
    }
    // What start-up leaves when the user can act: the settings' defaults,
    // the window, the display objects and the probed volume; the log empty.
    void startPlayer() {
        defaultTexts();
        copyText(state.exeDir, (dir + "/").c_str());
        copyText(state.versionText, kVersionText);
        state.instance = instance;
        state.mainWindow = fake.mainWindow = mainWindow;
        state.menuBarMode = kMenuText;
        fake.windowProc = mainWindowProc;
        ASSERT_EQ(createVideoSurface(), kOk);
        fake.deviceVolume = 0x12345678;
        ASSERT_TRUE(probeVolume());
        fake.log.clear();
    }
    // A list of `paths` as the configuration gives it, item `index` running.
    void playList(std::initializer_list<std::string> paths, int index = 0) {
        int slot = 0;
        for (const auto& p : paths)
            copyText(state.playlist[slot++], p.c_str());
        state.itemCount = slot;
        state.currentItem = index;
        ASSERT_EQ(setupCurrentItem(), 1);
        fake.log.clear();
    }
    LResult send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return mainWindowProc(mainWindow, message, wParam, lParam);
    }
    void command(int id) { send(kWmCommand, static_cast<WParam>(id)); }

    void setLimits(int start, int end, int total, int count) {
        state.startFrame = start, state.endFrame = end;
        state.totalFrames = total, state.frameCount = count;
    }
    static std::string limits() {
        return format("%d,%d,%d,%d", state.startFrame, state.endFrame, state.totalFrames,
                      state.frameCount);
    }
    // Playing, paused and input flags, item/items and the frame limits in one line.
    static std::string playState() {
        return format("%d%d%d %d/%d ", state.playing, state.paused, state.haveInput,
                      state.currentItem, state.itemCount) +
               limits();
    }
    // `lines` with the folder taken out of the paths.
    std::string relative(std::string line) const {
        for (auto at = line.find(dir + "/"); at != std::string::npos; at = line.find(dir + "/"))
            line.erase(at, dir.size() + 1);
        return line;
    }
    std::string logText() const { return relative(joined(fake.log)); }
    // The log lines starting with any of `prefixes`, folder taken out, blank-separated.
    std::string logOf(std::initializer_list<const char*> prefixes) const {
        Lines out;
        for (const auto& line : fake.log)
            for (const char* prefix : prefixes)
                if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return relative(joined(out));
    }
    // What a command does to playback, in order: the stream's calls, sounds,
    // dialogs, the black area.
    std::string playCalls() const {
        std::string calls =
            logOf({"OpenFile(", "GetDuration", "GetTime", "Seek(", "SetState(", "Release(stream)",
                   "sndPlaySound(", "DialogBox(", "GetOpenFileName(", "BltFill("});
        for (auto at = calls.find("BltFill("); at != std::string::npos; at = calls.find("BltFill("))
            calls.replace(at, calls.find(')', at) - at + 1, "BltFill");
        return calls;
    }
    // The end of a run: asked for, the quit posted once, then quitPlayer (run
    // here as the program would when the test drove the window alone): the
    // volume restored once, the component library shut down once, no
    // platform object left or released after it.
    void expectRunEnded(std::uint32_t volume, int exitCode) {
        EXPECT_TRUE(state.endRequested);
        if (state.endRequested && fake.count("CoUninitialize") == 0) quitPlayer();
        EXPECT_EQ(joined(fake.calls("waveOutSetVolume")), format("waveOutSetVolume(0x%X)", volume));
        EXPECT_EQ(joined(fake.calls("PostQuitMessage")), format("PostQuitMessage(%d)", exitCode));
        EXPECT_EQ(fake.count("CoUninitialize"), 1);
        EXPECT_EQ(fake.count("CoCreateInstance(no"), 0);
        EXPECT_EQ(logText().find("after CoUninitialize"), std::string::npos);
        EXPECT_EQ(fake.liveObjects, 0);
    }
};

// The player as start-up leaves it, for the tests of what the user does.
class UiTest : public PlayerTest {
public:
    void SetUp() override { startPlayer(); }
};

}  // namespace ostrel::test
