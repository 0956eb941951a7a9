// The configuration file over real files: the reader's line, key and value
// rules, FileName lines filling the playlist, the writer's fixed layout byte
// for byte, the placement it saves, and the old file kept whole by every
// write that fails.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

// Everything the file can set, "Key=value" each in a fixed order.
std::string settings() {
    return format(
        "|XCoord=%d|YCoord=%d|Width=%d|Height=%d|SoundOn=%d|MenuBar=%d|ReadOnly=%d|"
        "FullScreen=%d|ForceNet=%d|Tracking=%d|AuthorId=%s|DiscTitle=%s|AuthorSite=%s|"
        "AuthorNet=%s|",
        state.windowX, state.windowY, state.windowWidth, state.windowHeight, state.soundOn,
        state.menuBarMode, state.readOnly, state.fullScreen, state.forceNet, state.tracking,
        state.authorId, state.discTitle, state.authorSite, state.authorNet);
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
    std::string slots(int n) const {
        return relative(joined(Lines(state.playlist, state.playlist + n)));
    }
};

TEST_F(ConfigTest, ReaderTakesKeyLinesWordsNumbersAndTextsByItsRules) {
    // The file => the settings that differ from the defaults, "Key=value|"
    // each. Keys must match in full and in their letters; a value is cut to
    // its field and loses any blanks at its end; one read takes 4095
    // characters: the rest of a longer line is a line of its own.
    // clang-format off
    for (const std::string row :
         {" => ", "# head\r\n#Width 10\n\n\r\n   \n\t\n# -- => ",
          " Width 300\n\tHeight 300\n\vXCoord 5\n\fYCoord 5\n\rSoundOn no\n => ",
          "Width\nHeight   \r\nXCoord\t\t\n=5\n-7\nSoundOn\n => ",
          "YCoord 300\nWidth => YCoord=300|",
          "Undefined 5\nVersionCheck yes\nWidthz 300\nwidth 300\nWIDTH 300\nfullscreen yes\nWidth0 3\nHeight9 3\n => ",
          "Width[40*x] 300\nAuthorId[24*Z] stolen\nAuthorId[23*Z] stolen\nHeight 99\n => Height=99|",
          "Width 300\nHeight 300px\nXCoord -20\nYCoord +15\n => Width=300|Height=300|XCoord=-20|YCoord=15|",
          "Width=300\nHeight:77\n => Width=0|Height=0|",
          "Width abc\nHeight 0\nXCoord - 5\nYCoord 0x20\n => Width=0|Height=0|XCoord=0|YCoord=0|",
          "Width 99999999999999999999\nHeight -99999999999999999999\nXCoord 2147483648\nYCoord -2147483649\n => Width=2147483647|Height=-2147483648|XCoord=2147483647|YCoord=-2147483648|",
          "Width 10\nDiscTitle First\nWidth 20\nDiscTitle Second\n => Width=20|DiscTitle=Second|",
          "SoundOn no\nSoundOn yes\nForceNet yes\nReadOnly yes\nFullScreen yes\n => ForceNet=1|ReadOnly=1|FullScreen=1|",
          "ForceNet yes\nForceNet YES\nSoundOn Yes\nReadOnly Yes\nFullScreen Yes\n => SoundOn=0|",
          "ReadOnly yes\nFullScreen yes\nReadOnly no\nFullScreen no\n => ReadOnly=1|FullScreen=1|",
          "MenuBar none\nMenuBar graphic\n => ", "MenuBar none\n => MenuBar=2|", "MenuBar Graphic\n => MenuBar=0|",
          "MenuBar None\n => MenuBar=0|", "MenuBar text\n => MenuBar=0|", "Tracking yes\n => ",
          "DiscTitle   My  Great\tDisc \t \r\nAuthorId Someone #1\r\nAuthorSite www.x.com/a b\r\nAuthorNet net\r\n => DiscTitle=My  Great\tDisc|AuthorId=Someone #1|AuthorSite=www.x.com/a b|AuthorNet=net|",
          "AuthorId [300*i]\nAuthorSite [400*s]\nAuthorNet [500*n]\nDiscTitle [1000*t]\nWidth 5\n => AuthorId=[259*i]|AuthorSite=[263*s]|AuthorNet=[271*n]|DiscTitle=[259*t]|Width=5|",
          "DiscTitle [250*t]\rorNet    os   trnoe\n => DiscTitle=[250*t]\rorNet|",
          "AuthorId [256*i]   \t   more words\n => AuthorId=[256*i]|",
          "AuthorId [4086*a]Width 77[897* ]\nHeight 88\n => AuthorId=[259*a]|Width=77|Height=88|",
          "DiscTitle [4085*d] Width 77\n => DiscTitle=[259*d]|"}) {
        // clang-format on
        Lines c = split(expand(row));
        SCOPED_TRACE(c[0].substr(0, 60));
        defaults();
        std::string expected = settings();
        for (std::size_t from = 0; from < c[1].size(); from = c[1].find('|', from) + 1) {
            std::string key = c[1].substr(from, c[1].find('=', from) + 1 - from);
            std::size_t at = expected.find("|" + key) + 1;
            expected.replace(at, expected.find('|', at) + 1 - at,
                             c[1].substr(from, c[1].find('|', from) + 1 - from));
        }
        EXPECT_EQ(read(c[0]), 1);
        EXPECT_EQ(settings(), expected);
        EXPECT_EQ(state.itemCount + state.haveInput + state.audioOnly, 0);
        EXPECT_EQ(state.failure, Failure::None);
    }
}

TEST_F(ConfigTest, FileNameLinesFillTheSlotsInOrder) {
    // The lines, read in the folder ("+": without a reset first) => the
    // result, the sound flag, playState(), the paths looked up, the first
    // three slots. Only "none" names no file; a folder is an item that exists.
    // A WAV item is played alone and gives its slot to the next line, keeping
    // its letters for a file system that minds them; no later read clears the flag.
    for (const char* name :
         {"a.avi", "clip.dat", "Intro.WAV", "Movie.AVI", "a.wave", "wav", "b.wAv"})
        file(name);
    fs::create_directory(path("clips.avi"));
    for (const char* row :
         {"FileName none => 1 0 000 0/0 0,0,0,0 0 []",
          "FileName None => 0 0 001 0/0 0,0,0,0 2 [None  ]",
          "FileName Intro.WAV => 1 1 001 0/0 0,0,0,0 2 [Intro.WAV  ]",
          "+FileName Movie.AVI => 1 1 001 0/1 0,0,0,0 2 [Movie.AVI  ]",
          "FileName a.wave\nFileName wav => 1 0 001 0/2 0,0,0,0 4 [a.wave wav ]",
          "FileName a.wave\nFileName b.wAv => 1 1 001 0/1 0,0,0,0 4 [a.wave b.wAv ]",
          "FileName a.avi\r\nFileName clip.dat\nFileName clips.avi => 1 0 001 0/3 0,0,0,0 6 "
          "[a.avi clip.dat clips.avi]"}) {
        SCOPED_TRACE(row);
        if (row[0] != '+') defaults();
        fake.log.clear();
        int result = read(split(row)[0].substr(row[0] == '+') + "\n");
        EXPECT_EQ(format("%d %d ", result, state.audioOnly) + playState() +
                      format(" %d [", fake.count("GetFullPathName(")) + slots(3) + "]",
                  split(row)[1]);
    }
    // Each path is resolved in two steps: the size needed, then the text.
    EXPECT_EQ(logOf({"GetFullPathName(a.avi", "Exists(" + path("a.avi")}),
              format("GetFullPathName(a.avi,0) GetFullPathName(a.avi,%zu) Exists(a.avi)",
                     path("a.avi").size() + 1));
    // A hundred names fill the 98 slots; the last two are not even looked up.
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "FileName " + file(format("clip%d.avi", i)) + "\n";
    fake.log.clear();
    defaults();
    EXPECT_EQ(read(text), 1);
    EXPECT_EQ(state.itemCount * 1000 + fake.count("Exists("), 98098);
    EXPECT_EQ(slots(98).substr(slots(98).size() - 21), "clip96.avi clip97.avi");
    EXPECT_EQ(fake.count("GetFullPathName(" + path("clip98")), 0);
}

TEST_F(ConfigTest, AMissingOrUnusableItemStopsTheReadingAtOnce) {
    std::string a = file("a.avi"), c = file("c.avi"), missing = path("missing.avi");
    std::string fits = fileOfLength("short", 259), tooLong = fileOfLength("long", 260);
    // Reads `lines` and more that must go unread; `after`: input, the lookups
    // (the two steps', existence), the first two slots.
    auto stopped = [&](const std::string& lines, const std::string& detail, std::string after) {
        defaults();
        fake.log.clear();
        EXPECT_EQ(read(lines + "\nFileName " + c + "\nWidth 5\nDiscTitle late\n"), 0);
        EXPECT_EQ(state.failure, Failure::ConfigMissingItem);
        EXPECT_EQ(state.failureDetail, detail);
        EXPECT_EQ(format("%d %d %s %d %d %d ", state.itemCount, state.windowWidth, state.discTitle,
                         state.haveInput, fake.count("GetFullPathName("), fake.count("Exists(")) +
                      slots(2),
                  "0 462 none " + after);
    };
    stopped("FileName " + a + "\nFileName " + missing, missing, "1 4 2 a.avi missing.avi");
    // A resolved path of 260 characters or more would not fit its slot.
    stopped("FileName " + fits + "\nFileName " + tooLong, tooLong, "1 4 1 " + relative(fits) + " ");
    // A path the platform cannot resolve: no buffer asked for after that.
    fake.script("GetFullPathName", {0});
    stopped("FileName " + a, a, "0 1 0 ");
    for (I64 second : {60, 0}) {  // a path that grew between the two steps, a failing second
        fake.script("GetFullPathName", {60, second});
        stopped("FileName " + a, a, "0 2 0 ");
    }
    for (const std::string& unreadable : {dir, path("gone.cfg")}) {  // a folder, a missing file
        defaults();
        EXPECT_EQ(readConfiguration(unreadable.c_str()), 0);
        EXPECT_EQ(state.failure, Failure::ConfigUnreadable);
        EXPECT_EQ(state.failureDetail, unreadable);
    }
}

TEST(ConfigTextTest, LowerCaseCopyExtensionAndTheWavTest) {
    char out[32] = "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    for (const char* row :
         {"AZaz09.@[`{\xC4\xE4-MiX => azaz09.@[`{\xC4\xE4-mix", "AB\nCD => ab", " => "}) {
        lowerCaseCopy(split(row)[0].c_str(), out);
        EXPECT_EQ(out, split(row)[1]);
    }
    for (const char* row :
         {"/media/clip.tar.GZ => .GZ", "/media.d/clip => .d/clip", "clip => ", "clip. => ."})
        EXPECT_EQ(extensionOf(split(row)[0].c_str()), split(row)[1]) << row;
    for (const char* row : {"a.wav => 1", "a.wave => 0", "a.wa => 0", "wav => 0", "a.wav\n => 0",
                            "/x.wav/clip => 0", "/Media/Song.WaV => 1"})
        EXPECT_EQ(isWavPath(split(row)[0].c_str()), split(row)[1] == "1") << row;
}

// ---------------------------------------------------------------- writer

class ConfigWriterTest : public ConfigTest {
protected:
    ConfigWriterTest() {
        copyText(state.authorId, "Jane Q. Maker");
        copyText(state.discTitle, "Summer  Clips 2026");
        state.forceNet = 1, state.soundOn = 0, state.windowY = -15, state.menuBarMode = kMenuText;
        fake.mainWindow = mainWindow;
        copyText(state.exeDir, (dir + "/").c_str());
    }
    void write() { runCommand(mainWindow, IDM_SAVE); }
    bool has(const std::string& line) const {
        return readFile(configPath()).find("\r\n" + line + "\r\n") != std::string::npos;
    }
};

TEST_F(ConfigWriterTest, WritesTheFixedLayoutByteForByteOverWhateverWasThereAndReadsItBack) {
    fake.windowRect = {0, -5, 462, 381};  // edges not right of or below 0 keep x and y
    file("ostrel.cfg", std::string(10000, 'x') + "\nWidth 1\n");
    write();
    EXPECT_EQ(readFile(configPath()),
              goldenConfig({"AuthorId Jane Q. Maker", "DiscTitle Summer  Clips 2026",
                            "ForceNet yes", "SoundOn no", "YCoord -15"}));
    EXPECT_EQ(logText(),
              "LocalTime() FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
              "ReplaceFile(ostrel.cfg.new,ostrel.cfg)");
    EXPECT_FALSE(fs::exists(configPath() + ".new"));
    // Other dates and menu bar modes: the header's date, the mode's word.
    for (auto [clock, mode, date, word] :
         {std::tuple{LocalTime{2031, 0, 9, 3, 7, 5, 9}, kMenuGraphic, "Wed Jan 09 07:05:09 2031",
                     "graphic"},
          {LocalTime{1999, 5, 30, 6, 23, 59, 58}, kMenuNone, "Sat Jun 30 23:59:58 1999", "none"}}) {
        fake.clock = clock, state.menuBarMode = mode;
        write();
        EXPECT_TRUE(readFile(configPath())
                        .starts_with(format("# ostrel v2.03 configuration - %s\r", date)));
        EXPECT_TRUE(has(std::string("MenuBar      ") + word)) << word;
    }
    // What was written reads back, but for the list, full screen and tracking.
    copyText(state.playlist[0], file("clip.avi").c_str());
    state.itemCount = state.haveInput = state.fullScreen = state.tracking = 1;
    state.windowX = 31, state.windowWidth = 640, state.windowHeight = 480;
    write();
    EXPECT_EQ(readFile(configPath()).find("clip.avi"), std::string::npos);
    EXPECT_TRUE(has("FileName     none") && has("FullScreen   no") && has("Tracking     yes"));
    state.fullScreen = state.tracking = 0;
    std::string expected = settings();
    defaults();
    EXPECT_EQ(readConfiguration(configPath().c_str()), 1);
    EXPECT_EQ(settings(), expected);
    EXPECT_EQ(state.itemCount + state.haveInput + state.playlist[0][0], 0);
}

TEST_F(ConfigWriterTest, AReadOnlyOrFailedWriteLeavesTheOldFileWhole) {
    // How the write fails => the calls. Read-only does nothing at all; where
    // the new file cannot be made, nothing is written or taken; a new file
    // whose last bytes do not reach the disk is not taken either.
    const std::string old = "ReadOnly yes\r\nWidth 5\n\n# odd ending";
    for (const std::string row :
         {"read-only => ",
          "no rename => LocalTime() FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
          "ReplaceFile(ostrel.cfg.new,ostrel.cfg) ConfigurationNotWritten(ostrel.cfg)",
          "folder in the way => LocalTime() ConfigurationNotWritten(ostrel.cfg)",
          "disk full => LocalTime() FindWindow( ostrelwin, ostrel v2.03) GetWindowRect() "
          "ConfigurationNotWritten(ostrel.cfg)"}) {
        SCOPED_TRACE(row);
        file("ostrel.cfg", old);
        state.readOnly = row.starts_with("read-only");
        if (row.starts_with("no rename")) fake.script("ReplaceFile", {0});
        if (row.starts_with("folder")) fs::create_directory(configPath() + ".new");
        if (row.starts_with("disk")) fs::create_symlink("/dev/full", configPath() + ".new");
        fake.log.clear();
        write();
        ASSERT_FALSE(fs::is_symlink(configPath()));
        EXPECT_EQ(readFile(configPath()) + logText(), old + split(row)[1]);
        // Nothing is left beside it but the folder that was in the way.
        EXPECT_EQ(fs::remove(configPath() + ".new"), row.starts_with("folder"));
    }
    writeConfiguration(path("no/such/ostrel.cfg").c_str());
    EXPECT_FALSE(fs::exists(path("no")));
}

TEST_F(ConfigWriterTest, PlacementComesFromTheLiveWindowWhenPositive) {
    // The window rectangle, found, readable, full screen => the x, y, width
    // and height written (111, 222, 462, 386 before).
    for (const char* row :
         {"30 40 830 640 1 1 0 => 30 40 800 600", "0 -30 500 370 1 1 0 => 111 222 500 400",
          "-200 0 300 100 1 1 0 => 111 222 500 100", "1 1 2 2 1 1 0 => 1 1 1 1",
          "50 60 50 40 1 1 0 => 50 60 462 386", "10 20 110 20 1 1 0 => 10 20 100 386",
          "-2147483648 -2147483648 2147483647 2147483647 1 1 0 => 111 222 2147483647 2147483647",
          "30 40 830 640 0 1 0 => 111 222 462 386", "30 40 830 640 1 0 0 => 111 222 462 386",
          "30 40 830 640 1 1 1 => 111 222 462 386"}) {
        SCOPED_TRACE(row);
        Rect& r = fake.windowRect;
        int found, readable;
        std::sscanf(row, "%d %d %d %d %d %d %d", &r.left, &r.top, &r.right, &r.bottom, &found,
                    &readable, &state.fullScreen);
        fake.log.clear();
        state.windowX = 111, state.windowY = 222, state.windowWidth = 462, state.windowHeight = 386;
        fake.windowFound = found;
        if (!readable) fake.script("GetWindowRect", {0});
        write();
        auto [x, y, w, h] =
            std::tuple{state.windowX, state.windowY, state.windowWidth, state.windowHeight};
        EXPECT_EQ(format("%d %d %d %d", x, y, w, h), split(row)[1]);
        EXPECT_TRUE(has(format("XCoord       %d", x)) && has(format("YCoord       %d", y)) &&
                    has(format("Width        %d", w)) && has(format("Height       %d", h)));
        int lookups = fake.count("FindWindow(") * 10 + fake.count("GetWindowRect");
        EXPECT_EQ(lookups, state.fullScreen ? 0 : found ? 11 : 10);
    }
}

}  // namespace
}  // namespace ostrel::test
