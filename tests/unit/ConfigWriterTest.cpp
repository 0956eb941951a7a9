// The configuration writer: the exact bytes of the fixed layout, the window
// placement it saves, and that the old file survives every failed write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/PlayerState.h"
#include "app/Text.h"
#include "config/Configuration.h"
#include "fake/FakePlatform.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/ostrel-cfgw-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The file for the settings below, as a user would find it on disk.
const std::string kGolden =
    "# ostrel v2.03 configuration - Sun Dec 06 20:34:26 2026\r\n"
    "# --\r\n"
    "\r\n"
    "# Author ID\r\n"
    "\r\n"
    "AuthorId     Jane Q. Maker\r\n"
    "\r\n"
    "# Disc Title\r\n"
    "\r\n"
    "DiscTitle    Summer  Clips 2026\r\n"
    "\r\n"
    "# Author Site\r\n"
    "\r\n"
    "AuthorSite   ostrel.org/products.html\r\n"
    "\r\n"
    "# Host Network\r\n"
    "\r\n"
    "AuthorNet    ostrel.org\r\n"
    "\r\n"
    "# Enforce internet connection ( yes/no)\r\n"
    "\r\n"
    "ForceNet     yes\r\n"
    "\r\n"
    "# Tracking activation ( yes/no)\r\n"
    "\r\n"
    "Tracking     no\r\n"
    "\r\n"
    "# Intro sound activation ( yes/no)\r\n"
    "\r\n"
    "SoundOn      no\r\n"
    "\r\n"
    "# Menu bar activation ( text/graphic/none)\r\n"
    "\r\n"
    "MenuBar      text\r\n"
    "\r\n"
    "# Read only configuration ( yes/no)\r\n"
    "\r\n"
    "ReadOnly     no\r\n"
    "\r\n"
    "# Input file name ( set to \"none\" for no file input)\r\n"
    "\r\n"
    "FileName     none\r\n"
    "\r\n"
    "# Play in full screen mode ( yes/no)\r\n"
    "\r\n"
    "FullScreen   no\r\n"
    "\r\n"
    "# X-coordinate of left window corner in pixels\r\n"
    "\r\n"
    "XCoord       200\r\n"
    "\r\n"
    "# Y-coordinate of left window corner in pixels\r\n"
    "\r\n"
    "YCoord       -15\r\n"
    "\r\n"
    "# Window width in pixels\r\n"
    "\r\n"
    "Width        462\r\n"
    "\r\n"
    "# Window height in pixels\r\n"
    "\r\n"
    "Height       386\r\n"
    "\r\n"
    "# --\r\n"
    "# End of configuration file";

class ConfigWriterTest : public ::testing::Test {
protected:
    ConfigWriterTest() {
        copyText(state.authorId, "Jane Q. Maker");
        copyText(state.discTitle, "Summer  Clips 2026");
        copyText(state.authorSite, kMakerSite);
        copyText(state.authorNet, kMakerHost);
        state.forceNet = 1;
        state.soundOn = 0;
        state.menuBarMode = kMenuText;
        state.windowY = -15;
    }

    std::string path() const { return dir.path() + "/ostrel.cfg"; }
    std::string temporary() const { return path() + ".new"; }
    void write() { writeConfiguration(path().c_str()); }
    // The main window exists and GetWindowRect answers `rect`.
    void liveWindow(platform::Rect rect) {
        fake.mainWindow = fake::FakePlatform::window(fake::FakePlatform::kMainWindowId);
        fake.windowRect = rect;
    }

    fake::FakeFixtureState fixture;
    fake::FakePlatform& fake = fixture.fake;
    TempDir dir;
};

// --- the layout ------------------------------------------------------------------

TEST_F(ConfigWriterTest, WritesTheFixedLayoutByteForByte) {
    write();
    EXPECT_EQ(readBytes(path()), kGolden);
    EXPECT_FALSE(fs::exists(temporary()));
    EXPECT_EQ(fake.log, (std::vector<std::string>{
                            "LocalTime",
                            "FindWindow( ostrelwin| ostrel v2.03)",
                            "ReplaceFile(" + temporary() + "," + path() + ")",
                        }));
}

TEST_F(ConfigWriterTest, ReplacesTheWholeOldFile) {
    writeBytes(path(), std::string(10000, 'x') + "\nWidth 1\n");
    write();
    EXPECT_EQ(readBytes(path()), kGolden);
}

TEST_F(ConfigWriterTest, HeaderShowsTheClockWithZeroPaddedFields) {
    fake.clock = {2031, 0, 9, 3, 7, 5, 9};
    write();
    std::string bytes = readBytes(path());
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")),
              "# ostrel v2.03 configuration - Wed Jan 09 07:05:09 2031");
    fake.clock = {1999, 5, 30, 6, 23, 59, 58};
    write();
    bytes = readBytes(path());
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")),
              "# ostrel v2.03 configuration - Sat Jun 30 23:59:58 1999");
}

TEST_F(ConfigWriterTest, MenuBarModeIsWrittenAsItsWord) {
    const char* words[] = {"text", "graphic", "none"};
    for (int mode = 0; mode < 3; ++mode) {
        state.menuBarMode = mode;
        write();
        EXPECT_NE(readBytes(path()).find(std::string("\r\nMenuBar      ") + words[mode] + "\r\n"),
                  std::string::npos)
            << mode;
    }
}

TEST_F(ConfigWriterTest, NeverSavesThePlaylistOrAFullScreenRequest) {
    copyText(state.playlist[0], "/media/clip.avi");
    state.itemCount = 1;
    state.haveInput = 1;
    state.fullScreen = 1;
    state.readOnly = 0;
    state.tracking = 1;
    write();
    std::string bytes = readBytes(path());
    EXPECT_EQ(bytes.find("clip.avi"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nFileName     none\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nFullScreen   no\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nTracking     yes\r\n"), std::string::npos);
}

// --- reading back what was written ----------------------------------------------

TEST_F(ConfigWriterTest, FileReadBackGivesTheSameSettingsAndTexts) {
    std::string clip = dir.path() + "/clip.avi";
    writeBytes(clip, "");
    copyText(state.playlist[0], clip.c_str());
    state.itemCount = 1;
    state.haveInput = 1;
    state.fullScreen = 1;  // placement stays as stored
    state.windowX = 31;
    state.windowY = -7;
    state.windowWidth = 640;
    state.windowHeight = 480;
    state.menuBarMode = kMenuNone;
    write();

    PlayerState written;
    written.windowX = state.windowX;
    written.windowY = state.windowY;
    written.windowWidth = state.windowWidth;
    written.windowHeight = state.windowHeight;
    written.menuBarMode = state.menuBarMode;
    std::string texts[4] = {state.authorId, state.discTitle, state.authorSite, state.authorNet};

    state = PlayerState{};
    EXPECT_EQ(readConfiguration(path().c_str()), 1);
    EXPECT_STREQ(state.authorId, texts[0].c_str());
    EXPECT_STREQ(state.discTitle, texts[1].c_str());
    EXPECT_STREQ(state.authorSite, texts[2].c_str());
    EXPECT_STREQ(state.authorNet, texts[3].c_str());
    EXPECT_EQ(state.forceNet, 1);
    EXPECT_EQ(state.soundOn, 0);
    EXPECT_EQ(state.menuBarMode, kMenuNone);
    EXPECT_EQ(state.windowX, 31);
    EXPECT_EQ(state.windowY, -7);
    EXPECT_EQ(state.windowWidth, 640);
    EXPECT_EQ(state.windowHeight, 480);
    EXPECT_EQ(state.fullScreen, 0);
    EXPECT_EQ(state.readOnly, 0);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.playlist[0][0], '\0');
}

// --- read only and failed writes ------------------------------------------------

TEST_F(ConfigWriterTest, ReadOnlyConfigurationIsLeftByteForByte) {
    const std::string old = "ReadOnly yes\r\nWidth 5\n\n# odd ending";
    writeBytes(path(), old);
    state.readOnly = 1;
    liveWindow({1, 2, 3, 4});
    write();
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_FALSE(fs::exists(temporary()));
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(state.windowX, 200);
}

TEST_F(ConfigWriterTest, FailedReplaceLeavesTheOldFileAndNoTemporaryFile) {
    const std::string old = "Width 5\r\n";
    writeBytes(path(), old);
    fake.script("ReplaceFile", {0});
    write();
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_FALSE(fs::exists(temporary()));
    EXPECT_EQ(fake.count("ReplaceFile("), 1);
}

TEST_F(ConfigWriterTest, UnopenableTemporaryFileLeavesEverythingAsItWas) {
    const std::string old = "Width 5\r\n";
    writeBytes(path(), old);
    fs::create_directory(temporary());  // where the new file would go
    liveWindow({10, 20, 110, 220});
    write();
    EXPECT_EQ(readBytes(path()), old);
    EXPECT_TRUE(fs::is_directory(temporary()));  // not ours to remove
    EXPECT_EQ(fake.count("ReplaceFile("), 0);
    EXPECT_EQ(fake.count("FindWindow("), 0);
    EXPECT_EQ(state.windowX, 200);  // nothing written, nothing captured
}

TEST_F(ConfigWriterTest, MissingFolderWritesNothing) {
    std::string path = dir.path() + "/no/such/ostrel.cfg";
    writeConfiguration(path.c_str());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(fake.count("ReplaceFile("), 0);
}

TEST_F(ConfigWriterTest, WritesAFileWhereNoneWas) {
    ASSERT_FALSE(fs::exists(path()));
    write();
    EXPECT_EQ(readBytes(path()), kGolden);
}

// --- window placement -----------------------------------------------------------

TEST_F(ConfigWriterTest, PlacementIsTakenFromTheLiveWindow) {
    liveWindow({30, 40, 830, 640});
    write();
    EXPECT_EQ(state.windowX, 30);
    EXPECT_EQ(state.windowY, 40);
    EXPECT_EQ(state.windowWidth, 800);
    EXPECT_EQ(state.windowHeight, 600);
    std::string bytes = readBytes(path());
    EXPECT_NE(bytes.find("\r\nXCoord       30\r\n\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nYCoord       40\r\n\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nWidth        800\r\n\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nHeight       600\r\n\r\n"), std::string::npos);
    EXPECT_EQ(fake.indexOf("GetWindowRect"), 2);
}

TEST_F(ConfigWriterTest, EdgesAtZeroOrOffTheScreenKeepTheStoredPlacement) {
    state.windowX = 111;
    state.windowY = 222;
    liveWindow({0, -30, 500, 370});
    write();
    EXPECT_EQ(state.windowX, 111);
    EXPECT_EQ(state.windowY, 222);
    EXPECT_EQ(state.windowWidth, 500);
    EXPECT_EQ(state.windowHeight, 400);
    EXPECT_NE(readBytes(path()).find("\r\nXCoord       111\r\n"), std::string::npos);

    liveWindow({-200, 0, 300, 100});
    write();
    EXPECT_EQ(state.windowX, 111);
    EXPECT_EQ(state.windowY, 222);
    EXPECT_EQ(state.windowWidth, 500);
}

TEST_F(ConfigWriterTest, EmptyOrInvertedRectangleKeepsTheStoredSize) {
    liveWindow({50, 60, 50, 40});
    write();
    EXPECT_EQ(state.windowX, 50);
    EXPECT_EQ(state.windowY, 60);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_EQ(state.windowHeight, 386);
}

TEST_F(ConfigWriterTest, HugeRectangleSizeStopsAtTheLargestNumber) {
    liveWindow({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    write();
    EXPECT_EQ(state.windowWidth, INT32_MAX);
    EXPECT_EQ(state.windowHeight, INT32_MAX);
}

TEST_F(ConfigWriterTest, WindowNotFoundKeepsTheStoredPlacement) {
    liveWindow({30, 40, 830, 640});
    fake.windowFound = false;
    write();
    EXPECT_EQ(state.windowX, 200);
    EXPECT_EQ(state.windowY, -15);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_EQ(state.windowHeight, 386);
    EXPECT_EQ(fake.count("GetWindowRect"), 0);
    EXPECT_EQ(readBytes(path()), kGolden);
}

TEST_F(ConfigWriterTest, UnreadableRectangleKeepsTheStoredPlacement) {
    liveWindow({30, 40, 830, 640});
    fake.script("GetWindowRect", {0});
    write();
    EXPECT_EQ(state.windowX, 200);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_EQ(readBytes(path()), kGolden);
}

TEST_F(ConfigWriterTest, FullScreenSkipsTheWindow) {
    liveWindow({30, 40, 830, 640});
    state.fullScreen = 1;
    write();
    EXPECT_EQ(fake.count("FindWindow("), 0);
    EXPECT_EQ(state.windowX, 200);
    EXPECT_EQ(state.fullScreen, 1);
    EXPECT_EQ(readBytes(path()), kGolden);
}

}  // namespace
}  // namespace ostrel
