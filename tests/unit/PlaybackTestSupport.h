// Shared ground for the playback and start-up tests: a fresh fake and player
// state, a temporary folder for media files (the fake's existence test is
// the real file system's), and the display objects made on the fake.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "app/Text.h"
#include "fake/FakePlatform.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"

namespace ostrel::testing {

using fake::FakePlatform;
using fake::MediaInfo;
using namespace platform;

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        root_ = std::filesystem::temp_directory_path() /
                ("ostrel-playback-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path(const std::string& name) const { return (root_ / name).string(); }
    std::string root() const { return root_.string(); }
    // Makes a small file and returns its full path.
    std::string file(const std::string& name, const std::string& content = "data") const {
        std::ofstream(root_ / name, std::ios::binary) << content;
        return path(name);
    }

private:
    std::filesystem::path root_;
};

class PlaybackTest : public ::testing::Test {
protected:
    fake::FakeFixtureState fixture;
    FakePlatform& fake = fixture.fake;
    TempFolder folder;

    static WindowHandle mainWindowHandle() {
        return FakePlatform::window(FakePlatform::kMainWindowId);
    }

    // The state start-up leaves before the first item: a window, the
    // display objects and the probed volume.
    void startPlayer(std::uint32_t volume = 0x12345678) {
        state.mainWindow = mainWindowHandle();
        fake.mainWindow = state.mainWindow;
        ASSERT_EQ(createVideoSurface(), kOk);
        fake.deviceVolume = volume;
        ASSERT_TRUE(probeVolume());
        fake.clearLog();
    }

    // Puts a media file into a playlist slot.
    std::string addItem(int slot, const std::string& name, MediaInfo info = MediaInfo{}) {
        std::string path = folder.file(name);
        copyText(state.playlist[slot], path.c_str());
        fake.media[path] = info;
        return path;
    }

    std::vector<std::string> releases() const { return fake.calls("Release("); }

    // Every line from `from` on.
    std::vector<std::string> logFrom(std::size_t from) const {
        return {fake.log.begin() + static_cast<std::ptrdiff_t>(std::min(from, fake.log.size())),
                fake.log.end()};
    }

    // The end of a run as quitPlayer makes it: the volume restored once, the
    // quit posted once, the component library shut down once and last, and
    // no platform object left or released after it.
    void expectRunEnded(std::uint32_t restoredVolume, int exitCode = 1) const {
        EXPECT_EQ(fake.count("waveOutSetVolume"), 1);
        EXPECT_EQ(fake.calls("waveOutSetVolume"),
                  std::vector<std::string>{"waveOutSetVolume(" + hex(restoredVolume) + ")"});
        EXPECT_EQ(fake.calls("PostQuitMessage"),
                  std::vector<std::string>{"PostQuitMessage(" + std::to_string(exitCode) + ")"});
        EXPECT_EQ(fake.count("CoUninitialize"), 1);
        ASSERT_FALSE(fake.log.empty());
        EXPECT_EQ(fake.log.back(), "CoUninitialize");
        for (const auto& line : fake.log)
            EXPECT_EQ(line.find("after CoUninitialize"), std::string::npos) << line;
        EXPECT_EQ(fake.liveObjects, 0);
        EXPECT_TRUE(state.quitDone);
    }

    static std::string hex(std::uint64_t value) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
        return text;
    }
};

}  // namespace ostrel::testing
