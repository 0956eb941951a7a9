// The configuration file over real files: the reader's line, key and value
// rules, FileName lines filling the playlist, the writer's fixed layout byte
// for byte, the placement it saves, and the old file kept whole by every
// write that fails.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

namespace fs = std::filesystem;
using Settings = std::map<std::string, std::string>;

// Everything the file can set, by key.
Settings settings() {
    auto n = [](std::int32_t v) { return std::to_string(v); };
    return {{"XCoord", n(state.windowX)},     {"YCoord", n(state.windowY)},
            {"Width", n(state.windowWidth)},  {"Height", n(state.windowHeight)},
            {"SoundOn", n(state.soundOn)},    {"MenuBar", n(state.menuBarMode)},
            {"ReadOnly", n(state.readOnly)},  {"FullScreen", n(state.fullScreen)},
            {"ForceNet", n(state.forceNet)},  {"Tracking", n(state.tracking)},
            {"AuthorId", state.authorId},     {"DiscTitle", state.discTitle},
            {"AuthorSite", state.authorSite}, {"AuthorNet", state.authorNet}};
}

class ConfigTest : public PlayerTest {
protected:
    ConfigTest() { defaults(); }
    static void defaults() {
        state = PlayerState{};
        defaultTexts();
    }
    int read(const std::string& text) {
        return readConfiguration(file("ostrel.cfg", text).c_str());
    }
    void write() { writeConfiguration(configPath().c_str()); }
    std::string slots(int n) const {
        Lines out(state.playlist, state.playlist + n);
        return relative(joined(out));
    }
};

TEST_F(ConfigTest, ReaderTakesKeyLinesWordsNumbersAndTextsByItsRules) {
    const std::string s(5000 - 4095 - 8, ' ');  // "AuthorId", the a's, "Width 77": 5000
    const std::string t250(250, 't'), i256(256, 'i');
    const struct {
        std::string text, changes;  // what differs from the defaults: "Key=value" joined by "|"
    } cases[] = {
        {"", ""},
        {"# head\r\n#Width 10\n\n\r\n   \n\t\n# --", ""},
        {" Width 300\n\tHeight 300\n\vXCoord 5\n\fYCoord 5\n\rSoundOn no\n", ""},  // indented
        {"Width\nHeight   \r\nXCoord\t\t\n=5\n-7\nSoundOn\n", ""},  // no value or no key
        {"YCoord 300\nWidth", "YCoord=300"},                        // a key alone ends the file
        {"Undefined 5\nVersionCheck yes\nwidth 300\nWIDTH 300\nfullscreen yes\n", ""},
        {"Width" + std::string(40, 'x') + " 300\nAuthorId" + std::string(24, 'Z') +
             " stolen\nAuthorId" + std::string(23, 'Z') + " stolen\nHeight 99\n",
         "Height=99"},  // keys longer than any key
        {"Width 300\nHeight 300px\nXCoord -20\nYCoord +15\n",
         "Width=300|Height=300|XCoord=-20|YCoord=15"},
        {"Width=300\nHeight:77\n", "Width=0|Height=0"},  // "Width=300" is the key Width
        {"Width abc\nHeight 0\nXCoord - 5\nYCoord 0x20\n", "Width=0|Height=0|XCoord=0|YCoord=0"},
        {"Width 99999999999999999999\nHeight -99999999999999999999\nXCoord 2147483648\n"
         "YCoord -2147483649\n",
         "Width=2147483647|Height=-2147483648|XCoord=2147483647|YCoord=-2147483648"},
        {"Width 10\nDiscTitle First\nWidth 20\nDiscTitle Second\n", "Width=20|DiscTitle=Second"},
        {"SoundOn no\nSoundOn yes\nForceNet yes\nReadOnly yes\nFullScreen yes\n",
         "ForceNet=1|ReadOnly=1|FullScreen=1"},
        {"ForceNet yes\nForceNet YES\nSoundOn Yes\nReadOnly Yes\nFullScreen Yes\n", "SoundOn=0"},
        {"ReadOnly yes\nFullScreen yes\nReadOnly no\nFullScreen no\n", "ReadOnly=1|FullScreen=1"},
        {"MenuBar none\nMenuBar graphic\n", ""},
        {"MenuBar none\n", "MenuBar=2"},
        {"MenuBar Graphic\n", "MenuBar=0"},
        {"MenuBar None\n", "MenuBar=0"},
        {"MenuBar text\n", "MenuBar=0"},
        {"Tracking yes\n", ""},
        {"DiscTitle   My  Great\tDisc \t \r\nAuthorId Someone #1\r\n"
         "AuthorSite www.example.com/a b\r\nAuthorNet net\r\n",
         "DiscTitle=My  Great\tDisc|AuthorId=Someone #1|AuthorSite=www.example.com/a b|"
         "AuthorNet=net"},
        {"# head\r\n\r\nWidth        640\r\nMenuBar      none\r\nSoundOn      no\r\n",
         "Width=640|MenuBar=2|SoundOn=0"},
        {"AuthorId " + std::string(300, 'i') + "\nAuthorSite " + std::string(400, 's') +
             "\nAuthorNet " + std::string(500, 'n') + "\nDiscTitle " + std::string(1000, 't') +
             "\nWidth 5\n",
         "AuthorId=" + std::string(259, 'i') + "|AuthorSite=" + std::string(263, 's') +
             "|AuthorNet=" + std::string(271, 'n') + "|DiscTitle=" + std::string(259, 't') +
             "|Width=5"},  // values cut to their fields, losing any blanks at the cut
        {"DiscTitle " + t250 + "\rorNet    os   trnoe\n", "DiscTitle=" + t250 + "\rorNet"},
        {"AuthorId " + i256 + "   \t   more words\n", "AuthorId=" + i256},
        // One read takes 4095 characters: the rest of the line is a line of its own.
        {"AuthorId " + std::string(4086, 'a') + "Width 77" + s + "\nHeight 88\n",
         "AuthorId=" + std::string(259, 'a') + "|Width=77|Height=88"},
        {"DiscTitle " + std::string(4085, 'd') + " Width 77\n",
         "DiscTitle=" + std::string(259, 'd')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        defaults();
        Settings expected = settings();
        for (std::size_t from = 0; from < c.changes.size();) {
            std::size_t equals = c.changes.find('=', from);
            std::size_t end = std::min(c.changes.find('|', from), c.changes.size());
            expected.at(c.changes.substr(from, equals - from)) =
                c.changes.substr(equals + 1, end - equals - 1);
            from = end + 1;
        }
        EXPECT_EQ(read(c.text), 1);
        EXPECT_EQ(settings(), expected);
        EXPECT_EQ(state.itemCount + state.haveInput + state.audioOnly, 0);
        EXPECT_EQ(state.failure, Failure::None);
    }
}

TEST_F(ConfigTest, FileNameLinesFillTheSlotsInOrder) {
    std::string text, a = file("a.avi");
    for (int i = 0; i < 100; ++i)
        text += "FileName " + file(format("clip%d.avi", i)) + "\n";
    file("clip.dat");
    fs::create_directory(path("clips.avi"));  // a folder counts as an item that exists
    {
        InFolder inside(dir);
        EXPECT_EQ(read("FileName " + a + "\r\nFileName clip.dat\nFileName clips.avi\n"), 1);
    }
    EXPECT_EQ(slots(3), "a.avi clip.dat clips.avi");
    EXPECT_EQ(state.itemCount + state.haveInput + state.audioOnly, 4);
    // Each path is resolved in two steps: the size needed, then the text.
    EXPECT_EQ(relative(joined(fake.calls("GetFullPathName(" + a))),
              format("GetFullPathName(a.avi,0) GetFullPathName(a.avi,%zu)", a.size() + 1));
    EXPECT_EQ(fake.count("Exists("), 3);
    // A hundred names fill the 98 slots; the last two are not even looked up.
    fake.log.clear();
    defaults();
    EXPECT_EQ(read(text), 1);
    EXPECT_EQ(state.itemCount, 98);
    EXPECT_EQ(slots(98).substr(slots(98).size() - 21), "clip96.avi clip97.avi");
    EXPECT_EQ(fake.count("Exists("), 98);
    EXPECT_EQ(fake.count("GetFullPathName(" + path("clip98")), 0);
}

TEST_F(ConfigTest, AMissingOrUnusableItemStopsTheReadingAtOnce) {
    std::string a = file("a.avi"), c = file("c.avi"), missing = path("missing.avi");
    std::string fits = fileOfLength("short", 259), tooLong = fileOfLength("long", 260);
    auto expectStopped = [&](const std::string& lines, const std::string& detail) {
        defaults();
        fake.log.clear();
        EXPECT_EQ(read(lines + "\nFileName " + c + "\nWidth 5\nDiscTitle late\n"), 0);
        EXPECT_EQ(state.itemCount, 0);
        EXPECT_EQ(state.windowWidth, 462);
        EXPECT_STREQ(state.discTitle, "none");
        EXPECT_EQ(fake.count("GetFullPathName(" + c), 0);
        EXPECT_EQ(state.failure, Failure::ConfigMissingItem);
        EXPECT_EQ(state.failureDetail, detail);
    };
    expectStopped("FileName " + a + "\nFileName " + missing, missing);
    EXPECT_EQ(slots(2), "a.avi missing.avi");
    EXPECT_EQ(state.haveInput, 1);
    // A resolved path of 260 characters or more would not fit its slot.
    expectStopped("FileName " + fits + "\nFileName " + tooLong, tooLong);
    EXPECT_EQ(joined({state.playlist[0], state.playlist[1]}), fits + " ");
    EXPECT_EQ(fake.count("Exists(" + tooLong), 0);
    // A path the platform cannot resolve: no buffer asked for after that.
    fake.script("GetFullPathName", {0});
    expectStopped("FileName " + a, a);
    EXPECT_EQ(fake.count("GetFullPathName("), 1);
    // A folder or a missing file is unreadable.
    for (const std::string& unreadable : {dir, path("gone.cfg")}) {
        defaults();
        EXPECT_EQ(readConfiguration(unreadable.c_str()), 0);
        EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
        EXPECT_EQ(state.failureDetail, unreadable);
    }
}

TEST_F(ConfigTest, NoneWavAndOtherItems) {
    InFolder inside(dir);
    EXPECT_EQ(read("FileName none\n"), 1);
    EXPECT_EQ(state.itemCount + state.haveInput + fake.count("GetFullPathName("), 0);
    EXPECT_EQ(read("FileName None\n"), 0);  // only "none" names no file
    EXPECT_EQ(slots(1), "None");
    // A WAV item is played alone and gives its slot to the next line; its
    // path keeps its letters for a file system that minds them.
    defaults();
    for (const char* name : {"Intro.WAV", "Movie.AVI", "a.wave", "wav", "b.wAv"})
        file(name);
    EXPECT_EQ(read("FileName Intro.WAV\n"), 1);
    EXPECT_EQ(slots(1), "Intro.WAV");
    EXPECT_EQ(state.audioOnly + state.haveInput + state.itemCount, 2);
    EXPECT_EQ(read("FileName Movie.AVI\n"), 1);
    EXPECT_EQ(slots(1), "Movie.AVI");
    EXPECT_EQ(state.itemCount + state.audioOnly, 2);  // the flag is never cleared
    defaults();
    EXPECT_EQ(read("FileName a.wave\nFileName wav\n"), 1);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(read("FileName b.wAv\n"), 1);
    EXPECT_EQ(state.audioOnly + state.itemCount, 3);
}

TEST(ConfigTextTest, LowerCaseCopyExtensionAndTheWavTest) {
    char out[32] = "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    lowerCaseCopy("AZaz09.@[`{\xC4\xE4-MiX", out);
    EXPECT_STREQ(out, "azaz09.@[`{\xC4\xE4-mix");
    lowerCaseCopy("AB\nCD", out);
    EXPECT_STREQ(out, "ab");
    lowerCaseCopy("", out);
    EXPECT_STREQ(out, "");
    for (auto [path, extension] : {std::pair{"/media/clip.tar.GZ", ".GZ"},
                                   {"/media.d/clip", ".d/clip"},
                                   {"clip", ""},
                                   {"clip.", "."}})
        EXPECT_STREQ(extensionOf(path), extension) << path;
    for (auto [path, wav] : {std::pair{"a.wav", true},
                             {"a.wave", false},
                             {"a.wa", false},
                             {"wav", false},
                             {"a.wav\n", false},
                             {"/x.wav/clip", false}})
        EXPECT_EQ(isWavPath(path), wav) << path;
    char song[] = "/Media/Song.WaV";
    EXPECT_TRUE(isWavPath(song));
    EXPECT_STREQ(song, "/Media/Song.WaV");
}

// ---------------------------------------------------------------- writer

class ConfigWriterTest : public ConfigTest {
protected:
    ConfigWriterTest() {
        copyText(state.authorId, "Jane Q. Maker");
        copyText(state.discTitle, "Summer  Clips 2026");
        state.forceNet = 1, state.soundOn = 0, state.windowY = -15, state.menuBarMode = kMenuText;
        fake.mainWindow = mainWindow;
    }
    bool has(const std::string& line) const {
        return readFile(configPath()).find("\r\n" + line + "\r\n") != std::string::npos;
    }
    std::string golden() const {
        return goldenConfig({"AuthorId Jane Q. Maker", "DiscTitle Summer  Clips 2026",
                             "ForceNet yes", "SoundOn no", "YCoord -15", "XCoord 200"});
    }
    std::string temporary() const { return configPath() + ".new"; }
};

TEST_F(ConfigWriterTest, WritesTheFixedLayoutByteForByteOverWhateverWasThere) {
    fake.windowRect = {0, -5, 462, 381};  // edges not right of or below 0 keep x and y
    writeFile(configPath(), std::string(10000, 'x') + "\nWidth 1\n");
    write();
    EXPECT_EQ(readFile(configPath()), golden());
    EXPECT_EQ(logText(),
              "LocalTime() FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
              "ReplaceFile(ostrel.cfg.new,ostrel.cfg)");
    EXPECT_FALSE(fs::exists(temporary()));

    fake.clock = {2031, 0, 9, 3, 7, 5, 9};
    write();
    EXPECT_EQ(readFile(configPath()).substr(0, 56),
              "# ostrel v2.03 configuration - Wed Jan 09 07:05:09 2031\r");
    fake.clock = {1999, 5, 30, 6, 23, 59, 58};
    write();
    EXPECT_EQ(readFile(configPath()).substr(0, 56),
              "# ostrel v2.03 configuration - Sat Jun 30 23:59:58 1999\r");
    for (auto [mode, word] :
         {std::pair{kMenuText, "text"}, {kMenuGraphic, "graphic"}, {kMenuNone, "none"}}) {
        state.menuBarMode = mode;
        write();
        EXPECT_TRUE(has(std::string("MenuBar      ") + word)) << word;
    }
}

TEST_F(ConfigWriterTest, WhatWasWrittenReadsBackWithoutPlaylistOrFullScreen) {
    copyText(state.playlist[0], file("clip.avi").c_str());
    state.itemCount = state.haveInput = state.fullScreen = state.tracking = 1;
    state.windowX = 31, state.windowY = -7, state.windowWidth = 640, state.windowHeight = 480;
    state.menuBarMode = kMenuNone;
    write();
    EXPECT_EQ(readFile(configPath()).find("clip.avi"), std::string::npos);
    EXPECT_TRUE(has("FileName     none") && has("FullScreen   no") && has("Tracking     yes"));
    Settings expected = settings();
    expected["FullScreen"] = expected["Tracking"] = "0";
    defaults();
    EXPECT_EQ(readConfiguration(configPath().c_str()), 1);
    EXPECT_EQ(settings(), expected);
    EXPECT_EQ(state.itemCount + state.haveInput + state.playlist[0][0], 0);
}

TEST_F(ConfigWriterTest, AReadOnlyOrFailedWriteLeavesTheOldFileWhole) {
    const std::string old = "ReadOnly yes\r\nWidth 5\n\n# odd ending";
    writeFile(configPath(), old);
    state.readOnly = 1;
    write();
    EXPECT_EQ(readFile(configPath()), old);
    EXPECT_TRUE(fake.log.empty());
    state.readOnly = 0;
    fake.script("ReplaceFile", {0});
    write();
    EXPECT_EQ(readFile(configPath()), old);
    EXPECT_EQ(fake.count("ReplaceFile("), 1);
    EXPECT_EQ(fake.count("ConfigurationNotWritten(" + configPath() + ")"), 1);
    EXPECT_FALSE(fs::exists(temporary()));

    // The new file cannot be made where it would go: nothing is written or taken.
    fake.log.clear();
    fs::create_directory(temporary());
    fake.windowRect = {10, 20, 110, 220};
    write();
    EXPECT_EQ(readFile(configPath()), old);
    EXPECT_EQ(logText(), "LocalTime() ConfigurationNotWritten(ostrel.cfg)");
    EXPECT_EQ(state.windowX, 200);
    writeConfiguration(path("no/such/ostrel.cfg").c_str());
    EXPECT_FALSE(fs::exists(path("no")));
}

TEST_F(ConfigWriterTest, PlacementComesFromTheLiveWindowWhenPositive) {
    const struct {
        Rect window;
        bool found, readable, fullScreen;
        Rect stored;  // x, y, width, height afterwards
    } cases[] = {
        {{30, 40, 830, 640}, true, true, false, {30, 40, 800, 600}},
        {{0, -30, 500, 370}, true, true, false, {111, 222, 500, 400}},  // off screen edges
        {{-200, 0, 300, 100}, true, true, false, {111, 222, 500, 100}},
        {{1, 1, 2, 2}, true, true, false, {1, 1, 1, 1}},
        {{50, 60, 50, 40}, true, true, false, {50, 60, 462, 386}},  // empty and inverted
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         true,
         true,
         false,
         {111, 222, INT32_MAX, INT32_MAX}},
        {{30, 40, 830, 640}, false, true, false, {111, 222, 462, 386}},  // no window
        {{30, 40, 830, 640}, true, false, false, {111, 222, 462, 386}},  // rectangle unreadable
        {{30, 40, 830, 640}, true, true, true, {111, 222, 462, 386}},    // full screen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.window.left << "," << c.window.top);
        fake.log.clear();
        state.windowX = 111, state.windowY = 222, state.windowWidth = 462, state.windowHeight = 386;
        state.fullScreen = c.fullScreen;
        fake.windowRect = c.window;
        fake.windowFound = c.found;
        if (!c.readable) fake.script("GetWindowRect", {0});
        write();
        EXPECT_EQ((Rect{state.windowX, state.windowY, state.windowWidth, state.windowHeight}),
                  c.stored);
        EXPECT_TRUE(has(format("XCoord       %d", c.stored.left)) &&
                    has(format("YCoord       %d", c.stored.top)) &&
                    has(format("Width        %d", c.stored.right)) &&
                    has(format("Height       %d", c.stored.bottom)));
        EXPECT_EQ(fake.count("FindWindow("), c.fullScreen ? 0 : 1);
        EXPECT_EQ(fake.count("GetWindowRect"), c.found && !c.fullScreen);
    }
}

}  // namespace
}  // namespace ostrel::test
