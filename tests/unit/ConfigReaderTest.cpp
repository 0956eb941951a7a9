// The configuration reader over real files in a temporary folder: which
// lines count as key lines, how values are taken, and how FileName lines
// fill the playlist.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
        char pattern[] = "/tmp/ostrel-cfg-XXXXXX";
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

// Runs a test inside a folder and goes back afterwards.
class CurrentDir {
public:
    explicit CurrentDir(const std::string& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~CurrentDir() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class ConfigReaderTest : public ::testing::Test {
protected:
    ConfigReaderTest() {
        // Start-up sets the default texts before it reads the file.
        copyText(state.authorId, "none");
        copyText(state.discTitle, "none");
        copyText(state.authorSite, kMakerSite);
        copyText(state.authorNet, kMakerHost);
    }

    int read(const std::string& content) {
        writeBytes(configPath(), content);
        return readConfiguration(configPath().c_str());
    }
    std::string configPath() const { return dir.path() + "/ostrel.cfg"; }
    // Makes an empty file in the temporary folder and returns its path.
    std::string touch(const std::string& name) {
        std::string path = dir.path() + "/" + name;
        writeBytes(path, "");
        return path;
    }

    fake::FakeFixtureState fixture;
    fake::FakePlatform& fake = fixture.fake;
    TempDir dir;
};

void expectDefaultSettings() {
    PlayerState defaults;
    EXPECT_EQ(state.windowX, defaults.windowX);
    EXPECT_EQ(state.windowY, defaults.windowY);
    EXPECT_EQ(state.windowWidth, defaults.windowWidth);
    EXPECT_EQ(state.windowHeight, defaults.windowHeight);
    EXPECT_EQ(state.soundOn, defaults.soundOn);
    EXPECT_EQ(state.menuBarMode, defaults.menuBarMode);
    EXPECT_EQ(state.readOnly, 0);
    EXPECT_EQ(state.fullScreen, 0);
    EXPECT_EQ(state.forceNet, 0);
    EXPECT_EQ(state.tracking, 0);
    EXPECT_STREQ(state.authorId, "none");
    EXPECT_STREQ(state.discTitle, "none");
    EXPECT_STREQ(state.authorSite, kMakerSite);
    EXPECT_STREQ(state.authorNet, kMakerHost);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(state.failure, Failure::None);
}

// --- lines that are not key lines ---------------------------------------

TEST_F(ConfigReaderTest, EmptyFileKeepsEveryDefault) {
    EXPECT_EQ(read(""), 1);
    expectDefaultSettings();
}

TEST_F(ConfigReaderTest, CommentsAndBlankLinesKeepEveryDefault) {
    EXPECT_EQ(read("# ostrel configuration\r\n#Width 10\n\n\r\n   \n\t\n# --"), 1);
    expectDefaultSettings();
}

TEST_F(ConfigReaderTest, IndentedKeyLinesAreIgnored) {
    EXPECT_EQ(read(" Width 300\n\tHeight 300\n\vXCoord 5\n\fYCoord 5\n\rSoundOn no\n"), 1);
    expectDefaultSettings();
}

TEST_F(ConfigReaderTest, LinesWithoutValueOrKeyAreIgnored) {
    EXPECT_EQ(read("Width\nHeight   \r\nXCoord\t\t\n=5\n-7\nSoundOn\n"), 1);
    expectDefaultSettings();
}

TEST_F(ConfigReaderTest, UnknownAndPlaceholderKeysAreIgnored) {
    EXPECT_EQ(read("Undefined 5\nVersionCheck yes\nColour red\nwidth 300\nfullscreen yes\n"
                   "WIDTH 300\n"),
              1);
    expectDefaultSettings();
}

TEST_F(ConfigReaderTest, KeyLongerThanAnyKeyIsSkippedAndReadingGoesOn) {
    std::string longKey = "Width" + std::string(40, 'x');
    std::string exactly32 = "AuthorId" + std::string(24, 'Z');
    EXPECT_EQ(read(longKey + " 300\n" + exactly32 + " stolen\nHeight 99\n"), 1);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_STREQ(state.authorId, "none");
    EXPECT_EQ(state.windowHeight, 99);
}

// --- numbers ---------------------------------------------------------------

TEST_F(ConfigReaderTest, NumbersAreReadAsLeadingDecimalDigits) {
    EXPECT_EQ(read("Width 300\nHeight 300px\nXCoord -20\nYCoord +15\n"), 1);
    EXPECT_EQ(state.windowWidth, 300);
    EXPECT_EQ(state.windowHeight, 300);
    EXPECT_EQ(state.windowX, -20);
    EXPECT_EQ(state.windowY, 15);
}

TEST_F(ConfigReaderTest, CharacterEndingTheKeyNeedNotBeBlank) {
    // The key is Width and the value "=300", which has no leading digits.
    EXPECT_EQ(read("Width=300\nHeight:77\n"), 1);
    EXPECT_EQ(state.windowWidth, 0);
    EXPECT_EQ(state.windowHeight, 0);
}

TEST_F(ConfigReaderTest, NumbersWithoutDigitsAreZeroAndZeroIsTaken) {
    EXPECT_EQ(read("Width abc\nHeight 0\nXCoord - 5\nYCoord 0x20\n"), 1);
    EXPECT_EQ(state.windowWidth, 0);
    EXPECT_EQ(state.windowHeight, 0);
    EXPECT_EQ(state.windowX, 0);
    EXPECT_EQ(state.windowY, 0);  // decimal only: "0x20" is 0
}

TEST_F(ConfigReaderTest, NumbersBeyondThirtyTwoBitsStopAtTheLimits) {
    EXPECT_EQ(read("Width 99999999999999999999\nHeight -99999999999999999999\n"
                   "XCoord 2147483647\nYCoord -2147483648\n"),
              1);
    EXPECT_EQ(state.windowWidth, INT32_MAX);
    EXPECT_EQ(state.windowHeight, INT32_MIN);
    EXPECT_EQ(state.windowX, INT32_MAX);
    EXPECT_EQ(state.windowY, INT32_MIN);
    EXPECT_EQ(read("Width 2147483648\nHeight -2147483649\n"), 1);
    EXPECT_EQ(state.windowWidth, INT32_MAX);
    EXPECT_EQ(state.windowHeight, INT32_MIN);
}

TEST_F(ConfigReaderTest, RepeatedKeyTakesItsLastValue) {
    EXPECT_EQ(read("Width 10\nDiscTitle First\nWidth 20\nDiscTitle Second\nWidth 30\n"), 1);
    EXPECT_EQ(state.windowWidth, 30);
    EXPECT_STREQ(state.discTitle, "Second");
}

// --- words -------------------------------------------------------------------

TEST_F(ConfigReaderTest, FlagsAreSetOnlyByLowerCaseYes) {
    state.soundOn = 0;
    EXPECT_EQ(read("SoundOn yes\nForceNet yes\nReadOnly yes\nFullScreen yes\n"), 1);
    EXPECT_EQ(state.soundOn, 1);
    EXPECT_EQ(state.forceNet, 1);
    EXPECT_EQ(state.readOnly, 1);
    EXPECT_EQ(state.fullScreen, 1);
}

TEST_F(ConfigReaderTest, CapitalYesSwitchesSoundAndNetOffButLeavesReadOnlyAndFullScreen) {
    state.forceNet = 1;
    EXPECT_EQ(read("SoundOn Yes\nForceNet YES\nReadOnly Yes\nFullScreen Yes\n"), 1);
    EXPECT_EQ(state.soundOn, 0);
    EXPECT_EQ(state.forceNet, 0);
    EXPECT_EQ(state.readOnly, 0);
    EXPECT_EQ(state.fullScreen, 0);
}

TEST_F(ConfigReaderTest, ReadOnlyAndFullScreenAreNeverClearedByTheFile) {
    EXPECT_EQ(read("ReadOnly yes\nFullScreen yes\nReadOnly no\nFullScreen no\n"), 1);
    EXPECT_EQ(state.readOnly, 1);
    EXPECT_EQ(state.fullScreen, 1);
}

TEST_F(ConfigReaderTest, MenuBarWordsAreComparedExactly) {
    EXPECT_EQ(read("MenuBar graphic\n"), 1);
    EXPECT_EQ(state.menuBarMode, kMenuGraphic);
    EXPECT_EQ(read("MenuBar none\n"), 1);
    EXPECT_EQ(state.menuBarMode, kMenuNone);
    EXPECT_EQ(read("MenuBar Graphic\n"), 1);
    EXPECT_EQ(state.menuBarMode, kMenuText);
    state.menuBarMode = kMenuGraphic;
    EXPECT_EQ(read("MenuBar None\n"), 1);
    EXPECT_EQ(state.menuBarMode, kMenuText);
    state.menuBarMode = kMenuGraphic;
    EXPECT_EQ(read("MenuBar text\n"), 1);
    EXPECT_EQ(state.menuBarMode, kMenuText);
}

TEST_F(ConfigReaderTest, TrackingIsAlwaysOff) {
    state.tracking = 1;
    EXPECT_EQ(read("Tracking yes\n"), 1);
    EXPECT_EQ(state.tracking, 0);
}

// --- texts -------------------------------------------------------------------

TEST_F(ConfigReaderTest, TextsKeepInnerBlanksAndLoseTrailingBlanksAndCarriageReturn) {
    EXPECT_EQ(read("DiscTitle   My  Great\tDisc \t \r\nAuthorId Someone #1\r\n"
                   "AuthorSite www.example.com/a b\r\nAuthorNet net\r\n"),
              1);
    EXPECT_STREQ(state.discTitle, "My  Great\tDisc");
    EXPECT_STREQ(state.authorId, "Someone #1");
    EXPECT_STREQ(state.authorSite, "www.example.com/a b");
    EXPECT_STREQ(state.authorNet, "net");
}

TEST_F(ConfigReaderTest, CrLfFileReadsLikeLfFile) {
    EXPECT_EQ(read("# head\r\n\r\nWidth        640\r\nMenuBar      none\r\nSoundOn      no\r\n"
                   "DiscTitle    Two Words\r\n"),
              1);
    EXPECT_EQ(state.windowWidth, 640);
    EXPECT_EQ(state.menuBarMode, kMenuNone);
    EXPECT_EQ(state.soundOn, 0);
    EXPECT_STREQ(state.discTitle, "Two Words");
}

TEST_F(ConfigReaderTest, ValuesLongerThanTheirFieldAreCutToIt) {
    std::string id(300, 'i'), site(400, 's'), net(500, 'n'), title(1000, 't');
    EXPECT_EQ(read("AuthorId " + id + "\nAuthorSite " + site + "\nAuthorNet " + net +
                   "\nDiscTitle " + title + "\nWidth 5\n"),
              1);
    EXPECT_EQ(std::string(state.authorId), id.substr(0, 259));
    EXPECT_EQ(std::string(state.authorSite), site.substr(0, 263));
    EXPECT_EQ(std::string(state.authorNet), net.substr(0, 271));
    EXPECT_EQ(std::string(state.discTitle), title.substr(0, 259));
    EXPECT_EQ(state.windowWidth, 5);
}

TEST_F(ConfigReaderTest, LineLongerThanTheBufferIsReadInPieces) {
    // The first 4095 characters are one line, the rest another: the second
    // piece starts with a key of its own.
    std::string first = "AuthorId " + std::string(4095 - 9, 'a');
    std::string line = first + "Width 77" + std::string(5000 - 4095 - 8, ' ') + "\n";
    ASSERT_EQ(line.size(), 5001u);
    EXPECT_EQ(read(line + "Height 88\n"), 1);
    EXPECT_EQ(std::string(state.authorId), std::string(259, 'a'));
    EXPECT_EQ(state.windowWidth, 77);
    EXPECT_EQ(state.windowHeight, 88);
}

TEST_F(ConfigReaderTest, PieceOfALongLineStartingWithBlankIsNoKeyLine) {
    std::string line = "DiscTitle " + std::string(4095 - 10, 'd') + " Width 77\n";
    EXPECT_EQ(read(line), 1);
    EXPECT_EQ(std::string(state.discTitle), std::string(259, 'd'));
    EXPECT_EQ(state.windowWidth, 462);
}

// --- files that cannot be read ---------------------------------------------

TEST_F(ConfigReaderTest, FolderInsteadOfFileIsUnreadable) {
    EXPECT_EQ(readConfiguration(dir.path().c_str()), 0);
    EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
    EXPECT_EQ(std::string(state.failureDetail), dir.path());
}

TEST_F(ConfigReaderTest, MissingFileIsUnreadable) {
    std::string path = dir.path() + "/gone.cfg";
    EXPECT_EQ(readConfiguration(path.c_str()), 0);
    EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
    EXPECT_EQ(std::string(state.failureDetail), path);
}

// --- FileName lines ---------------------------------------------------------

TEST_F(ConfigReaderTest, EachExistingVideoFileFillsTheNextSlot) {
    std::string a = touch("a.avi"), b = touch("b.mpg");
    EXPECT_EQ(read("FileName " + a + "\r\nFileName " + b + "\r\n"), 1);
    EXPECT_EQ(state.itemCount, 2);
    EXPECT_STREQ(state.playlist[0], a.c_str());
    EXPECT_STREQ(state.playlist[1], b.c_str());
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(fake.calls("GetFullPathName(" + a),
              (std::vector<std::string>{
                  "GetFullPathName(" + a + ",0)",
                  "GetFullPathName(" + a + "," + std::to_string(a.size() + 1) + ")"}));
    EXPECT_EQ(fake.count("Exists("), 2);
}

TEST_F(ConfigReaderTest, RelativeFileNameResolvesAgainstTheCurrentFolder) {
    std::string clip = touch("clip.dat");
    CurrentDir inside(dir.path());
    EXPECT_EQ(read("FileName clip.dat\n"), 1);
    EXPECT_STREQ(state.playlist[0], clip.c_str());
    EXPECT_EQ(state.itemCount, 1);
}

TEST_F(ConfigReaderTest, HundredFileNamesFillTheNinetyEightSlots) {
    std::string content;
    for (int i = 0; i < 100; ++i)
        content += "FileName " + touch("clip" + std::to_string(i) + ".avi") + "\n";
    EXPECT_EQ(read(content), 1);
    EXPECT_EQ(state.itemCount, 98);
    for (int i = 0; i < 98; ++i)
        EXPECT_EQ(std::string(state.playlist[i]),
                  dir.path() + "/clip" + std::to_string(i) + ".avi");
    // The last two lines are not even looked up.
    EXPECT_EQ(fake.count("GetFullPathName(" + dir.path() + "/clip98.avi"), 0);
    EXPECT_EQ(fake.count("GetFullPathName(" + dir.path() + "/clip99.avi"), 0);
    EXPECT_EQ(fake.count("Exists("), 98);
}

TEST_F(ConfigReaderTest, MissingFileStopsTheReadingAtOnce) {
    std::string a = touch("a.avi"), c = touch("c.avi");
    std::string missing = dir.path() + "/missing.avi";
    EXPECT_EQ(read("FileName " + a + "\nFileName " + missing + "\nFileName " + c +
                   "\nWidth 5\nDiscTitle late\n"),
              0);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_STREQ(state.playlist[1], missing.c_str());
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_STREQ(state.discTitle, "none");
    EXPECT_EQ(fake.count("GetFullPathName(" + c), 0);
    EXPECT_EQ(state.failure, Failure::ConfigMissingItem);
    EXPECT_STREQ(state.failureDetail, missing.c_str());
}

TEST_F(ConfigReaderTest, LowerCaseNoneAddsNothingButCapitalNoneIsAPath) {
    CurrentDir inside(dir.path());
    EXPECT_EQ(read("FileName none\n"), 1);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(fake.count("GetFullPathName("), 0);

    EXPECT_EQ(read("FileName None\n"), 0);
    EXPECT_STREQ(state.playlist[0], (dir.path() + "/None").c_str());
    EXPECT_EQ(state.failure, Failure::ConfigMissingItem);

    // A file really named None is an item like any other.
    state = PlayerState{};
    touch("None");
    EXPECT_EQ(read("FileName None\n"), 1);
    EXPECT_EQ(state.itemCount, 1);
}

TEST_F(ConfigReaderTest, WavItemSetsAudioOnlyKeepsItsLettersAndGivesUpItsSlot) {
    fs::create_directory(dir.path() + "/Sounds");
    std::string wav = touch("Sounds/Intro.WAV");
    std::string video = touch("Movie.AVI");
    EXPECT_EQ(read("FileName " + wav + "\n"), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.haveInput, 1);
    // The path keeps its capitals: a case-sensitive file system finds it.
    EXPECT_STREQ(state.playlist[0], wav.c_str());

    EXPECT_EQ(read("FileName " + video + "\n"), 1);
    EXPECT_STREQ(state.playlist[0], video.c_str());
    EXPECT_EQ(state.itemCount, 1);
    EXPECT_EQ(state.audioOnly, 1);  // never cleared by the reader
}

TEST_F(ConfigReaderTest, OnlyAnExtensionOfExactlyWavIsASound) {
    std::string wave = touch("a.wave"), noDot = touch("wav"), mixed = touch("b.wAv");
    EXPECT_EQ(read("FileName " + wave + "\nFileName " + noDot + "\n"), 1);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(state.itemCount, 2);
    EXPECT_EQ(read("FileName " + mixed + "\n"), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_EQ(state.itemCount, 2);
}

TEST_F(ConfigReaderTest, FolderCountsAsAnExistingItem) {
    fs::create_directory(dir.path() + "/clips.avi");
    EXPECT_EQ(read("FileName " + dir.path() + "/clips.avi\n"), 1);
    EXPECT_EQ(state.itemCount, 1);
}

// Makes a file whose full path is exactly `length` characters long.
std::string fileWithPathLength(const std::string& base, std::size_t length) {
    std::string path = base;
    fs::create_directories(path);
    while (length - path.size() > 120) {
        path += "/" + std::string(100, 'd');
        fs::create_directories(path);
    }
    path += "/" + std::string(length - path.size() - 1, 'f');
    writeBytes(path, "");
    return path;
}

TEST_F(ConfigReaderTest, ResolvedPathTooLongForASlotIsRefusedLikeAMissingFile) {
    std::string fits = fileWithPathLength(dir.path() + "/a", 259);
    std::string tooLong = fileWithPathLength(dir.path() + "/b", 260);
    ASSERT_TRUE(fs::exists(tooLong));
    EXPECT_EQ(read("FileName " + fits + "\nFileName " + tooLong + "\nWidth 5\n"), 0);
    EXPECT_STREQ(state.playlist[0], fits.c_str());
    EXPECT_EQ(state.playlist[1][0], '\0');
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_EQ(state.failure, Failure::ConfigMissingItem);
    EXPECT_EQ(std::string(state.failureDetail), tooLong);
    EXPECT_EQ(fake.count("Exists(" + tooLong), 0);
}

TEST_F(ConfigReaderTest, PathThePlatformCannotResolveIsRefusedLikeAMissingFile) {
    std::string a = touch("a.avi");
    fake.script("GetFullPathName", {0});
    EXPECT_EQ(read("FileName " + a + "\nWidth 5\n"), 0);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_EQ(state.windowWidth, 462);
    EXPECT_EQ(state.failure, Failure::ConfigMissingItem);
    EXPECT_EQ(std::string(state.failureDetail), a);
}

// --- lower-casing and extensions --------------------------------------------

TEST(ConfigLowerCaseTest, LowersOnlyAsciiCapitals) {
    char out[32];
    lowerCaseCopy("AZaz09.@[`{\xC4\xE4-MiX", out);
    EXPECT_STREQ(out, "azaz09.@[`{\xC4\xE4-mix");
}

TEST(ConfigLowerCaseTest, StopsAtLineFeedAlsoInPlace) {
    char out[16] = "xxxxxxxxxxxxxxx";
    lowerCaseCopy("AB\nCD", out);
    EXPECT_STREQ(out, "ab");
    char text[] = ".WAV\nTAIL";
    lowerCaseCopy(text, text);
    EXPECT_STREQ(text, ".wav");
    char empty[4] = "abc";
    lowerCaseCopy("", empty);
    EXPECT_STREQ(empty, "");
}

TEST(ConfigLowerCaseTest, ExtensionIsTheTextFromTheLastDot) {
    EXPECT_STREQ(extensionOf("/media/clip.tar.GZ"), ".GZ");
    EXPECT_STREQ(extensionOf("/media.d/clip"), ".d/clip");
    EXPECT_STREQ(extensionOf("clip"), "");
    EXPECT_STREQ(extensionOf("clip."), ".");
}

TEST(ConfigLowerCaseTest, WavTestLeavesThePathAlone) {
    char path[] = "/Media/Song.WaV";
    EXPECT_TRUE(isWavPath(path));
    EXPECT_STREQ(path, "/Media/Song.WaV");
    EXPECT_TRUE(isWavPath("a.wav"));
    EXPECT_FALSE(isWavPath("a.wave"));
    EXPECT_FALSE(isWavPath("a.wa"));
    EXPECT_FALSE(isWavPath("wav"));
    EXPECT_FALSE(isWavPath("a.wav\n"));
    EXPECT_FALSE(isWavPath("/x.wav/clip"));
}

}  // namespace
}  // namespace ostrel
