// What every unit test stands on: a fresh fake platform and player state, a
// temporary folder that is the executable's folder, and helpers to make
// media and configuration files, start the player and drive it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "config/CommandLine.h"
#include "config/Configuration.h"
#include "fake/FakePlatform.h"
#include "playback/FramePump.h"
#include "playback/MediaStream.h"
#include "playback/Transport.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"
#include "state/PlayerState.h"
#include "state/Text.h"
#include "ui/Commands.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

namespace ostrel::test {

using namespace ostrel::platform;
using fake::FakeDialogView;
using fake::FakePlatform;
using fake::format;
using fake::MediaInfo;
using Lines = std::vector<std::string>;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
inline Lines join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
// The lines as one text, `separator` between them.
inline std::string joined(const Lines& lines, const char* separator = "; ") {
    std::string text;
    for (const auto& line : lines)
        text += (text.empty() ? "" : separator) + line;
    return text;
}
// A clip of `count` frames of 400000 units.
inline MediaInfo frames(int count) {
    MediaInfo info;
    info.frames = count;
    return info;
}

// What createVideoSurface calls, in order, when all goes well.
const Lines kSurfaceLog = {
    "CoInitialize", "CoCreateInstance(DirectDrawFactory)", "CreateDirectDraw(0x1,8)",
    "CreateSurface(primary flags=0x1 caps=0x200 size=108)", "GetSurfaceDesc(primary)",
    // the display's size and its whole pixel format
    "CreateSurface(offscreen flags=0x1007 caps=0x40 size=108 1024x768 format=1..32)",
    "CreateClipper(0)", "SetClipper(clipper)", "SetHWnd(0,0x100)"};

using Settings = std::map<std::string, std::string>;
// The golden configuration file, the one the end-to-end suites compare with
// too (a player on its defaults, the window where it was made), dated by the
// fake clock, with the values of `changes` on their keys' lines.
inline std::string goldenConfig(const Settings& changes = {}) {
    std::string text = readFile(OSTREL_GOLDEN_CONFIG);
    std::size_t date = text.find(" - ") + 3;
    text.replace(date, text.find('\r') - date, "Sun Dec 06 20:34:26 2026");
    for (const auto& [key, value] : changes) {
        std::size_t at = text.find("\r\n" + key + " ");
        std::size_t from = text.find_first_not_of(' ', at + 2 + key.size());
        text.replace(from, text.find('\r', from) - from, value);
    }
    return text;
}

// Runs part of a test inside a folder and goes back afterwards.
class InFolder {
public:
    explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~InFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_ = std::filesystem::current_path();
};

// A readable test name for parameterized tests: letters and digits only.
inline std::string testName(const std::string& text) {
    std::string name;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') name += c;
    return name;
}

class PlayerTest : public ::testing::Test {
public:
    PlayerTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-XXXXXX").string();
        dir = ::mkdtemp(pattern.data()) ? pattern : "";
        EXPECT_FALSE(dir.empty());
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
        made += "/" + std::string(length - made.size() - 1, 'f');
        writeFile(made, "");
        return made;
    }
    std::string configPath() const { return path("ostrel.cfg"); }
    bool configWritten() const { return std::filesystem::exists(configPath()); }

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
    void startPlayer(std::uint32_t volume = 0x12345678) {
        defaultTexts();
        copyText(state.exeDir, (dir + "/").c_str());
        copyText(state.versionText, kVersionText);
        state.instance = instance;
        state.mainWindow = fake.mainWindow = mainWindow;
        state.menuBarMode = kMenuText;
        fake.windowProc = mainWindowProc;
        ASSERT_EQ(createVideoSurface(), kOk);
        fake.deviceVolume = volume;
        ASSERT_TRUE(probeVolume());
        fake.clearLog();
    }
    // A list of `paths` as the configuration gives it, item `index` running.
    void playList(std::initializer_list<std::string> paths, int index = 0) {
        int slot = 0;
        for (const auto& p : paths)
            copyText(state.playlist[slot++], p.c_str());
        state.itemCount = slot;
        state.currentItem = index;
        ASSERT_EQ(setupCurrentItem(), 1);
        fake.clearLog();
    }
    // The running stream moved to `time`, as if it had played that far.
    void streamAt(StreamTime time) {
        ASSERT_TRUE(state.multiMediaStream);
        state.multiMediaStream->seek(time);
        fake.clearLog();
    }

    LResult send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return mainWindowProc(mainWindow, message, wParam, lParam);
    }
    void command(int id) { send(kWmCommand, static_cast<WParam>(id)); }
    // Runs every posted message but the quit through the window, as the loop would.
    void dispatchQueue() {
        for (; !fake.queue.empty(); fake.queue.pop_front())
            if (fake.queue.front().message != kWmQuit)
                fake.translateAndDispatch(fake.queue.front());
    }

    void setLimits(int start, int end, int total, int count) {
        state.startFrame = start, state.endFrame = end;
        state.totalFrames = total, state.frameCount = count;
    }
    static std::string limits() {
        return format("%d,%d,%d,%d", state.startFrame, state.endFrame, state.totalFrames,
                      state.frameCount);
    }
    // The playing state, item, list and frame limits in one line.
    static std::string playState() {
        return format("play=%d pause=%d input=%d item=%d/%d limits=", state.playing, state.paused,
                      state.haveInput, state.currentItem, state.itemCount) +
               limits();
    }
    // `lines` with the folder taken out of the paths.
    Lines relative(Lines lines) const {
        for (auto& line : lines)
            for (auto at = line.find(dir + "/"); at != std::string::npos; at = line.find(dir + "/"))
                line.erase(at, dir.size() + 1);
        return lines;
    }
    // The first `count` playlist slots, the folder taken out.
    Lines slots(int count) const { return relative(Lines(state.playlist, state.playlist + count)); }
    // What a command does to playback, in order: the stream's calls (its
    // release marked by the stream's own), sounds, dialogs, the black area.
    Lines playCalls() const {
        Lines out;
        for (const auto& line : fake.log)
            for (const char* call :
                 {"OpenFile(", "GetDuration", "GetTime", "Seek(", "SetState(", "Release(stream)",
                  "sndPlaySound(", "DialogBox(", "GetOpenFileName(", "BltFill("})
                if (line.rfind(call, 0) == 0) out.push_back(call[0] == 'B' ? "BltFill" : line);
        return relative(out);
    }
    // The end of a run: asked for, the quit posted once, then quitPlayer (run
    // here as the program would when the test drove the window alone): the
    // volume restored once, the component library shut down once, no
    // platform object left or released after it.
    void expectRunEnded(std::uint32_t volume, int exitCode) {
        EXPECT_TRUE(state.endRequested);
        if (state.endRequested && fake.count("CoUninitialize") == 0) quitPlayer();
        EXPECT_EQ(fake.calls("waveOutSetVolume"), Lines{format("waveOutSetVolume(0x%X)", volume)});
        EXPECT_EQ(fake.calls("PostQuitMessage"), Lines{format("PostQuitMessage(%d)", exitCode)});
        EXPECT_EQ(fake.count("CoUninitialize"), 1);
        for (const auto& line : fake.log)
            EXPECT_EQ(line.find("after CoUninitialize"), std::string::npos) << line;
        EXPECT_EQ(fake.liveObjects, 0);
    }
};

// The player as start-up leaves it, for the tests of what the user does.
class UiTest : public PlayerTest {
public:
    void SetUp() override { startPlayer(); }
};

}  // namespace ostrel::test
