// What every unit test stands on: a fresh fake platform and player state, a
// temporary folder that is the executable's folder, and helpers to make
// media and configuration files, start the player and drive it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

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
using namespace ostrel::fake;
namespace fs = std::filesystem;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline std::string joined(const Lines& lines) {
    std::string out;
    for (const auto& line : lines)
        out += (out.empty() ? "" : " ") + line;
    return out;
}

// `row` with each "[N*c]" turned into N copies of c.
inline std::string expand(std::string row) {
    for (std::size_t at; (at = row.find('[')) != std::string::npos;) {
        std::size_t star = row.find('*', at);
        row.replace(at, star + 3 - at, std::stoul(row.substr(at + 1)), row[star + 1]);
    }
    return row;
}
// The fields of a table row, " => " between them.
inline Lines split(const std::string& row) {
    Lines out;
    for (std::size_t at = 0, end; at <= row.size(); at = end + 4)
        out.push_back(row.substr(at, (end = std::min(row.find(" => ", at), row.size())) - at));
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
const std::string kWave = "waveOutOpen(1,2,44100,88200,2,8,0)";
const std::string kSurfaceReleases =
    "Release(factory) Release(primary) Release(offscreen) Release(clipper) Release(directDraw)";
const std::string kCodecBox = "MessageBox(null,Codec is not available ...,Codec problem,0x30)";
// One frame pumped onto the video area, the window where start-up puts it.
const std::string kFrame =
    "Update(0) GetClientRect() ClientToScreen() ClientToScreen() "
    "Blt(primary,offscreen,204,250,658,580,0,0,320,240,0x1000000,no fx)";

// The golden configuration file, the one the end-to-end suites compare with
// too (a player on its defaults), dated by the fake clock, with `changes`
// ("Key value" each) on their keys' lines.
inline std::string goldenConfig(std::initializer_list<std::string> changes = {}) {
    std::string text = readFile(OSTREL_GOLDEN_CONFIG);
    std::size_t date = text.find(" - ") + 3;
    text.replace(date, text.find('\r') - date, "Sun Dec 06 20:34:26 2026");
    for (const std::string& change : changes) {
        std::string key = change.substr(0, change.find(' ')) + " ";
        std::size_t at = text.find_first_not_of(' ', text.find("\r\n" + key) + 2 + key.size());
        text.replace(at, text.find('\r', at) - at, change.substr(key.size()));
    }
    return text;
}

// Each test runs in a temporary folder of its own: relative paths, and the
// file a player without a folder looks for, are found there.
class PlayerTest : public ::testing::Test {
public:
    PlayerTest() { fs::current_path(dir); }
    ~PlayerTest() override { fs::current_path(previous), fs::remove_all(dir); }

    FakeFixtureState fixture;
    FakePlatform& fake = fixture.fake;
    const fs::path previous = fs::current_path();
    std::string dir = mkdtemp((fs::temp_directory_path() / "ostrel-XXXXXX").string().data());
    static WindowHandle window(std::uintptr_t n) { return handle<WindowObject>(n); }
    const WindowHandle mainWindow = window(0x100);
    const InstanceHandle instance = handle<InstanceObject>(0x400000);

    void reset() {
        state = PlayerState{};
        fake = FakePlatform{};
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string file(const std::string& name, const std::string& bytes = "") const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    // A media file the fake stream plays as `info`.
    std::string clip(const std::string& name, MediaInfo info = {}) {
        fake.media[path(name)] = info;
        return file(name, "clip");
    }
    // A file whose full path is exactly `length` characters long, under `sub`.
    std::string fileOfLength(std::string sub, std::size_t length) const {
        for (fs::create_directories(path(sub)); length - path(sub).size() > 120;
             fs::create_directories(path(sub)))
            sub += "/" + std::string(100, 'd');
        return file(sub + "/" + std::string(length - path(sub).size() - 1, 'f'));
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
    // A fresh player as start-up leaves it for the user: default settings, the
    // window, the display objects and the probed volume; the log empty.
    void startPlayer() {
        reset();
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
    void playList(const Lines& paths, int index = 0) {
        int slot = 0;
        for (const auto& p : paths)
            copyText(state.playlist[slot++], p.c_str());
        state.itemCount = slot, state.currentItem = index;
        ASSERT_EQ(setupCurrentItem(), 1);
        fake.log.clear();
    }
    LResult send(U32 message, WParam wParam = 0, LParam lParam = 0) {
        return mainWindowProc(mainWindow, message, wParam, lParam);
    }
    void command(int id) { send(kWmCommand, static_cast<WParam>(id)); }
    // A second start's command line: `size` bytes of `text` (all and its
    // terminator by default) in a block of just that size, so reads past it fail.
    void handOver(const std::string& text, std::size_t size = std::string::npos) {
        size = std::min(size, text.size() + 1);
        auto bytes = std::make_unique<char[]>(size);
        std::memcpy(bytes.get(), text.c_str(), size);
        CopyData record{0, static_cast<U32>(size), bytes.get()};
        EXPECT_EQ(send(kWmCopyData, 0, reinterpret_cast<LParam>(&record)), 0);
    }
    void setLimits(int start, int end, int total, int count) {
        state.startFrame = start, state.endFrame = end;
        state.totalFrames = total, state.frameCount = count;
    }
    static std::string limits() {
        return format("%d,%d,%d,%d", state.startFrame, state.endFrame, state.totalFrames,
                      state.frameCount);
    }
    // Playing, paused and input flags, item/items and the frame limits.
    static std::string playState() {
        return format("%d%d%d %d/%d ", state.playing, state.paused, state.haveInput,
                      state.currentItem, state.itemCount) +
               limits();
    }
    // `line` with the folder taken out of the paths.
    std::string relative(std::string line) const {
        for (auto at = line.find(dir + "/"); at != std::string::npos; at = line.find(dir + "/"))
            line.erase(at, dir.size() + 1);
        return line;
    }
    std::string logText() const { return relative(joined(fake.log)); }
    // The log lines starting with any of `prefixes`, folder taken out.
    std::string logOf(std::initializer_list<std::string> prefixes) const {
        Lines out;
        for (const auto& line : fake.log)
            for (const auto& prefix : prefixes)
                if (line.rfind(prefix, 0) == 0)
                    out.push_back(line.substr(0, prefix == "BltFill" ? 7 : std::string::npos));
        return relative(joined(out));
    }
    // What a command does to playback, in order: the stream's calls, sounds,
    // dialogs, the black area.
    std::string playCalls() const {
        return logOf({"OpenFile(", "GetDuration", "GetTime", "Seek(", "SetState(",
                      "Release(stream)", "sndPlaySound(", "DialogBox(", "GetOpenFileName(",
                      "BltFill"});
    }
    // The end of a run: asked for, the quit posted once, then quitPlayer (run
    // here when the test drove the window alone) restoring the volume and
    // shutting the library down once; no platform object left or released after.
    void expectRunEnded(U32 volume, int exitCode) {
        EXPECT_TRUE(state.endRequested);
        if (state.endRequested && fake.count("CoUninitialize") == 0) quitPlayer();
        EXPECT_EQ(logOf({"waveOutSetVolume", "PostQuit", "CoUninit", "CoCreateInstance(no"}),
                  format("PostQuitMessage(%d) waveOutSetVolume(0x%X) CoUninitialize()", exitCode,
                         volume));
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
