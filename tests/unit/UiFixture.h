// Common ground of the user-interface tests: a fresh fake and player state,
// a temporary folder as the executable's folder, the main window known to
// both, and helpers to make clips and get an item playing.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "app/Text.h"
#include "fake/FakePlatform.h"
#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"
#include "ui/Commands.h"
#include "ui/MainWindow.h"

namespace ostrel::uitest {

using namespace ostrel::platform;
using fake::FakePlatform;
using fake::MediaInfo;

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::filesystem::path makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-ui-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* made = ::mkdtemp(buffer.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

class UiTest : public ::testing::Test {
protected:
    fake::FakeFixtureState fixture;
    FakePlatform& fake = fixture.fake;
    std::filesystem::path dir;
    WindowHandle mainWindow = FakePlatform::window(FakePlatform::kMainWindowId);
    InstanceHandle instance = reinterpret_cast<InstanceHandle>(0x400000);

    void SetUp() override {
        dir = makeTempDir();
        ASSERT_FALSE(dir.empty());
        copyText(state.exeDir, (dir.string() + "/").c_str());
        // What start-up has done by the time the user can act.
        copyText(state.versionText, kVersionText);
        copyText(state.authorId, "none");
        copyText(state.discTitle, "none");
        copyText(state.authorSite, kMakerSite);
        copyText(state.authorNet, kMakerHost);
        state.instance = instance;
        state.mainWindow = mainWindow;
        state.menuBarMode = kMenuText;
        fake.mainWindow = mainWindow;
        fake.windowProc = mainWindowProc;
    }

    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::filesystem::path configPath() const { return dir / "ostrel.cfg"; }

    // A file the player can open; the fake stream plays it as `info`.
    std::string clip(const std::string& name, MediaInfo info = {}) {
        std::filesystem::path path = dir / name;
        std::ofstream(path) << "clip";
        fake.media[path.string()] = info;
        return path.string();
    }

    // The display objects, as start-up makes them.
    void makeSurfaces() {
        ASSERT_EQ(createVideoSurface(), kOk);
        state.menuBarMode = kMenuText;
    }

    // A playlist of `paths` (as the configuration file gives it) with item
    // `index` running; the log starts empty afterwards.
    void playList(std::initializer_list<std::string> paths, int index = 0) {
        makeSurfaces();
        int slot = 0;
        for (const auto& path : paths)
            copyText(state.playlist[slot++], path.c_str());
        state.itemCount = slot;
        state.haveInput = 1;
        state.currentItem = index;
        ASSERT_EQ(setupCurrentItem(), 1);
        fake.clearLog();
    }

    // Moves the running stream to `time` as if it had played that far.
    void streamAt(StreamTime time) {
        ASSERT_TRUE(state.multiMediaStream);
        state.multiMediaStream->seek(time);
        fake.clearLog();
    }

    LResult send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return mainWindowProc(mainWindow, message, wParam, lParam);
    }
    void command(WParam id) { send(kWmCommand, id, 0); }

    // Runs every posted message through the window, as the loop would.
    void dispatchQueue() {
        while (!fake.queue.empty()) {
            Message m = fake.queue.front();
            fake.queue.pop_front();
            if (m.message == kWmQuit) continue;
            fake.translateAndDispatch(m);
        }
    }

    void setFrameLimits(int start, int end, int total, int count) {
        state.startFrame = start;
        state.endFrame = end;
        state.totalFrames = total;
        state.frameCount = count;
    }
    void expectFrameLimits(int start, int end, int total, int count) {
        EXPECT_EQ(state.startFrame, start);
        EXPECT_EQ(state.endFrame, end);
        EXPECT_EQ(state.totalFrames, total);
        EXPECT_EQ(state.frameCount, count);
    }

    // Index of the first log line that starts with `prefix` (-1 when none).
    int firstIndex(const std::string& prefix) const {
        for (std::size_t i = 0; i < fake.log.size(); ++i)
            if (fake.log[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
        return -1;
    }
    // The video area painted black.
    int blackFill() const { return firstIndex("BltFill(primary 204,250,658,580"); }

    // Log lines of the stream calls the commands make, in order.
    std::vector<std::string> streamCalls() const {
        std::vector<std::string> out;
        for (const auto& line : fake.log)
            if (line.rfind("SetState(", 0) == 0 || line.rfind("Seek(", 0) == 0 ||
                line == "GetTime" || line == "GetDuration" || line.rfind("OpenFile(", 0) == 0 ||
                line.rfind("Release(", 0) == 0)
                out.push_back(line);
        return out;
    }
};

// The configuration file as the player writes it, from the values it holds.
struct ConfigValues {
    std::string authorId = "none";
    std::string discTitle = "none";
    std::string authorSite = kMakerSite;
    std::string authorNet = kMakerHost;
    bool forceNet = false;
    bool soundOn = true;
    std::string menuBar = "text";
    int x = 200, y = 200, width = 462, height = 386;
    std::string stamp = "Sun Dec 06 20:34:26 2026";  // the fake's clock
};

inline std::string expectedConfig(const ConfigValues& v) {
    const std::string nl = "\r\n";
    std::ostringstream out;
    auto entry = [&](const std::string& comment, const std::string& key, int blanks,
                     const std::string& value) {
        out << comment << nl << nl << key << std::string(blanks, ' ') << value << nl << nl;
    };
    out << "# ostrel v2.03 configuration - " << v.stamp << nl << "# --" << nl << nl;
    entry("# Author ID", "AuthorId", 5, v.authorId);
    entry("# Disc Title", "DiscTitle", 4, v.discTitle);
    entry("# Author Site", "AuthorSite", 3, v.authorSite);
    entry("# Host Network", "AuthorNet", 4, v.authorNet);
    entry("# Enforce internet connection ( yes/no)", "ForceNet", 5, v.forceNet ? "yes" : "no");
    entry("# Tracking activation ( yes/no)", "Tracking", 5, "no");
    entry("# Intro sound activation ( yes/no)", "SoundOn", 6, v.soundOn ? "yes" : "no");
    entry("# Menu bar activation ( text/graphic/none)", "MenuBar", 6, v.menuBar);
    entry("# Read only configuration ( yes/no)", "ReadOnly", 5, "no");
    entry("# Input file name ( set to \"none\" for no file input)", "FileName", 5, "none");
    entry("# Play in full screen mode ( yes/no)", "FullScreen", 3, "no");
    entry("# X-coordinate of left window corner in pixels", "XCoord", 7, std::to_string(v.x));
    entry("# Y-coordinate of left window corner in pixels", "YCoord", 7, std::to_string(v.y));
    entry("# Window width in pixels", "Width", 8, std::to_string(v.width));
    entry("# Window height in pixels", "Height", 7, std::to_string(v.height));
    out << "# --" << nl << "# End of configuration file";
    return out.str();
}

}  // namespace ostrel::uitest
