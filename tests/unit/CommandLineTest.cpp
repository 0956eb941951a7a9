// The command line: how nextToken cuts tokens (quotes and backslashes), how
// parseCommandLine applies options and paths, and the token budget.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "app/Text.h"
#include "config/CommandLine.h"
#include "fake/FakePlatform.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// --- nextToken ----------------------------------------------------------------

// Every token of `text` in turn.
std::vector<std::string> tokens(const char* text) {
    std::vector<std::string> out;
    const char* cursor = text;
    std::size_t length = 0;
    while (auto token = nextToken(cursor, length)) {
        EXPECT_EQ(std::strlen(token.get()), length);
        out.emplace_back(token.get());
    }
    return out;
}

using Tokens = std::vector<std::string>;

TEST(NextTokenTest, WhiteSpaceSeparatesTokens) {
    EXPECT_EQ(tokens("  one two\tthree\nfour\r\nfive\v\fsix  "),
              (Tokens{"one", "two", "three", "four", "five", "six"}));
    EXPECT_EQ(tokens(""), Tokens{});
    EXPECT_EQ(tokens(" \t\r\n "), Tokens{});
}

TEST(NextTokenTest, CursorStopsAfterTheTokenAndStaysAtTheEnd) {
    const char* text = "  -fs   clip.avi   ";
    const char* cursor = text;
    std::size_t length = 99;
    auto first = nextToken(cursor, length);
    ASSERT_TRUE(first);
    EXPECT_STREQ(first.get(), "-fs");
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(cursor, text + 5);
    auto second = nextToken(cursor, length);
    ASSERT_TRUE(second);
    EXPECT_STREQ(second.get(), "clip.avi");
    EXPECT_EQ(cursor, text + 16);
    length = 99;
    EXPECT_FALSE(nextToken(cursor, length));
    EXPECT_EQ(cursor, text + 16);  // left where it was, before the blanks
    EXPECT_EQ(length, 99u);
}

TEST(NextTokenTest, OneQuotedStretchLosesItsQuotesAndKeepsItsBlanks) {
    EXPECT_EQ(tokens("\"/my clips/a b.avi\" -fs"), (Tokens{"/my clips/a b.avi", "-fs"}));
    EXPECT_EQ(tokens("\"plain\""), (Tokens{"plain"}));
    EXPECT_EQ(tokens("/my clips/a b.avi"), (Tokens{"/my", "clips/a", "b.avi"}));
}

TEST(NextTokenTest, QuotesAnywhereElseStayInTheToken) {
    EXPECT_EQ(tokens("a\"b c\"d e"), (Tokens{"a\"b c\"d", "e"}));
    EXPECT_EQ(tokens("\"a b\"c"), (Tokens{"\"a b\"c"}));
    EXPECT_EQ(tokens("\"a\"\"b\""), (Tokens{"a\"\"b"}));
}

TEST(NextTokenTest, EmptyAndUnclosedQuotes) {
    EXPECT_EQ(tokens("\"\" next"), (Tokens{"", "next"}));
    EXPECT_EQ(tokens("\""), (Tokens{""}));
    // An unclosed quote runs to the end; as one quoted stretch it still loses
    // its first and last character.
    EXPECT_EQ(tokens("\"abc def"), (Tokens{"abc de"}));
}

TEST(NextTokenTest, BackslashTakesTheNextCharacterLiterally) {
    EXPECT_EQ(tokens("a\\ b c"), (Tokens{"a\\ b", "c"}));
    EXPECT_EQ(tokens("\\\"x y\\\" z"), (Tokens{"\\\"x", "y\\\"", "z"}));
    EXPECT_EQ(tokens("\"\\\"x\""), (Tokens{"\\\"x"}));
    EXPECT_EQ(tokens("a\\\\ b"), (Tokens{"a\\\\", "b"}));
}

TEST(NextTokenTest, QuotedPathEndingInBackslashRunsOnToTheNextQuote) {
    // The backslash before the closing quote keeps the quote open, so the
    // blanks after it belong to the token up to the next double quote.
    EXPECT_EQ(tokens("\"C:\\clips\\\" -fs x\" -s 5"), (Tokens{"C:\\clips\\\" -fs x", "-s", "5"}));
    // With no other quote it runs to the end of the text.
    EXPECT_EQ(tokens("\"C:\\clips\\\" -fs"), (Tokens{"C:\\clips\\\" -f"}));
}

TEST(NextTokenTest, BackslashOutsideQuotesEndsTheQuotedStretch) {
    EXPECT_EQ(tokens("\"a b\"\\c"), (Tokens{"\"a b\"\\c"}));
}

TEST(NextTokenTest, BackslashAtTheVeryEndStaysInTheToken) {
    const char* text = "abc\\";
    const char* cursor = text;
    std::size_t length = 0;
    auto token = nextToken(cursor, length);
    ASSERT_TRUE(token);
    EXPECT_STREQ(token.get(), "abc\\");
    EXPECT_EQ(cursor, text + 4);
    EXPECT_FALSE(nextToken(cursor, length));
}

// Runs part of a test inside a folder and goes back afterwards.
class CurrentDir {
public:
    explicit CurrentDir(const std::string& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~CurrentDir() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

// --- parseCommandLine ---------------------------------------------------------

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest() {
        char pattern[] = "/tmp/ostrel-cmd-XXXXXX";
        dir = ::mkdtemp(pattern);
    }
    ~CommandLineTest() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    // Makes an empty file in the temporary folder and returns its path.
    std::string touch(const std::string& name) {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary).flush();
        return path;
    }
    int parse(const std::string& text) { return parseCommandLine(text.c_str()); }

    fake::FakeFixtureState fixture;
    fake::FakePlatform& fake = fixture.fake;
    std::string dir;
};

TEST_F(CommandLineTest, NumbersTakeTheirBaseFromTheirPrefix) {
    EXPECT_EQ(parse("-s 010"), 1);
    EXPECT_EQ(state.startFrame, 8);
    EXPECT_EQ(parse("-s 0x10"), 1);
    EXPECT_EQ(state.startFrame, 16);
    EXPECT_EQ(parse("-s 0X1f"), 1);
    EXPECT_EQ(state.startFrame, 31);
    EXPECT_EQ(parse("-s -5"), 1);
    EXPECT_EQ(state.startFrame, -5);
    EXPECT_EQ(parse("-e +12frames"), 1);
    EXPECT_EQ(state.endFrame, 12);
    EXPECT_EQ(parse("-e -0x20"), 1);
    EXPECT_EQ(state.endFrame, -32);
    EXPECT_EQ(parse("-e 0778"), 1);  // octal stops at the 8
    EXPECT_EQ(state.endFrame, 63);
    EXPECT_EQ(parse("-e \" 42\""), 1);  // leading white space is skipped
    EXPECT_EQ(state.endFrame, 42);
    EXPECT_EQ(state.failure, Failure::None);
}

TEST_F(CommandLineTest, NumbersBeyondThirtyTwoBitsStopAtTheLimits) {
    EXPECT_EQ(parse("-s 99999999999999999999 -e -99999999999999999999 -t 0xFFFFFFFF"), 1);
    EXPECT_EQ(state.startFrame, INT32_MAX);
    EXPECT_EQ(state.endFrame, INT32_MIN);
    EXPECT_EQ(state.totalFrames, INT32_MAX);
    EXPECT_EQ(parse("-s 2147483647 -e -2147483648 -t 2147483648"), 1);
    EXPECT_EQ(state.startFrame, INT32_MAX);
    EXPECT_EQ(state.endFrame, INT32_MIN);
    EXPECT_EQ(state.totalFrames, INT32_MAX);
}

TEST_F(CommandLineTest, TotalFramesAlsoResetsTheFrameCount) {
    state.frameCount = 12;
    EXPECT_EQ(parse("-t 30"), 1);
    EXPECT_EQ(state.totalFrames, 30);
    EXPECT_EQ(state.frameCount, 0);
}

TEST_F(CommandLineTest, NumberOfZeroFailsAndLeavesTheFieldAtZero) {
    state.startFrame = 5;
    EXPECT_EQ(parse("-s 08"), 0);
    EXPECT_EQ(state.startFrame, 0);
    EXPECT_EQ(state.failure, Failure::BadCommandLine);
    EXPECT_STREQ(state.failureDetail, "-s 08");

    state = PlayerState{};
    state.endFrame = 7;
    EXPECT_EQ(parse("-e 0"), 0);
    EXPECT_EQ(state.endFrame, 0);
    EXPECT_STREQ(state.failureDetail, "-e 0");

    state = PlayerState{};
    state.startFrame = 3;
    EXPECT_EQ(parse("-s abc"), 0);
    EXPECT_EQ(state.startFrame, 0);

    state = PlayerState{};
    EXPECT_EQ(parse("-s 0x"), 0);  // "0" with "x" left over
}

TEST_F(CommandLineTest, OptionAsTheLastTokenFails) {
    state.totalFrames = 9;
    state.frameCount = 4;
    EXPECT_EQ(parse("-s 3 -t"), 0);
    EXPECT_EQ(state.totalFrames, 0);
    EXPECT_EQ(state.frameCount, 0);
    EXPECT_EQ(state.startFrame, 3);
    EXPECT_EQ(state.failure, Failure::BadCommandLine);
    EXPECT_STREQ(state.failureDetail, "-t missing");
}

TEST_F(CommandLineTest, EarlierTokensKeepTheirEffectAfterAFailure) {
    std::string clip = touch("a.avi");
    EXPECT_EQ(parse("-fs " + clip + " -s 5 -e 0 -t 9"), 0);
    EXPECT_EQ(state.fullScreen, 1);
    EXPECT_STREQ(state.playlist[0], clip.c_str());
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.startFrame, 5);
    EXPECT_EQ(state.endFrame, 0);
    EXPECT_EQ(state.totalFrames, 0);  // never reached
}

TEST_F(CommandLineTest, OptionNamesAreCaseSensitive) {
    {
        CurrentDir inside(dir);
        EXPECT_EQ(parse("-FS"), 0);
    }
    EXPECT_EQ(state.fullScreen, 0);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(state.failureDetail), dir + "/-FS");
    EXPECT_EQ(std::string(state.playlist[0]), dir + "/-FS");
}

// --- the token budget -------------------------------------------------------------

TEST_F(CommandLineTest, PathFirstSpendsTheBudgetBeforeFullScreen) {
    std::string clip = touch("a.avi");
    EXPECT_EQ(parse(clip + " -s 10 -e 20 -t 30 -fs"), 1);
    EXPECT_EQ(state.startFrame, 10);
    EXPECT_EQ(state.endFrame, 20);
    EXPECT_EQ(state.totalFrames, 30);
    EXPECT_EQ(state.fullScreen, 0);
}

TEST_F(CommandLineTest, FullScreenFirstMakesThePathCheaper) {
    std::string clip = touch("a.avi");
    EXPECT_EQ(parse("-fs " + clip + " -s 10 -e 20 -t 30"), 1);
    EXPECT_EQ(state.fullScreen, 1);
    EXPECT_STREQ(state.playlist[0], clip.c_str());
    EXPECT_EQ(state.startFrame, 10);
    EXPECT_EQ(state.endFrame, 20);
    EXPECT_EQ(state.totalFrames, 30);
}

TEST_F(CommandLineTest, TokensPastTheBudgetAreNotEvenLookedAt) {
    std::string a = touch("a.avi"), b = touch("b.avi"), c = touch("c.avi");
    std::string missing = dir + "/missing.avi";
    // a and b cost 2 each; c is looked at with 4 spent; then nothing.
    EXPECT_EQ(parse(a + " " + b + " " + c + " " + missing + " -s 0 -e"), 1);
    EXPECT_STREQ(state.playlist[0], c.c_str());
    EXPECT_EQ(fake.count("GetFullPathName(" + missing), 0);
    EXPECT_EQ(fake.count("Exists("), 3);
    EXPECT_EQ(state.startFrame, 0);
    EXPECT_EQ(state.failure, Failure::None);
}

TEST_F(CommandLineTest, NumbersCostNothingButTheirOptionsDo) {
    std::string a = touch("a.avi");
    // Four options spend 4; the path is still looked at, the last -s is not.
    EXPECT_EQ(parse("-s 1 -e 2 -t 3 -fs " + a + " -s 0"), 1);
    EXPECT_STREQ(state.playlist[0], a.c_str());
    EXPECT_EQ(state.startFrame, 1);
    EXPECT_EQ(state.haveInput, 1);
}

// --- paths ----------------------------------------------------------------------

TEST_F(CommandLineTest, EveryPathGoesIntoTheCurrentSlotAndMustExist) {
    std::string a = touch("a.avi"), b = touch("b.avi");
    copyText(state.playlist[0], "/first");
    copyText(state.playlist[1], "/second");
    state.currentItem = 2;
    {
        CurrentDir inside(dir);
        EXPECT_EQ(parse("-fs a.avi b.avi"), 1);
    }
    EXPECT_STREQ(state.playlist[2], b.c_str());
    EXPECT_STREQ(state.playlist[0], "/first");
    EXPECT_STREQ(state.playlist[1], "/second");
    EXPECT_EQ(fake.calls("Exists("),
              (std::vector<std::string>{"Exists(" + a + ")", "Exists(" + b + ")"}));
}

TEST_F(CommandLineTest, MissingPathFailsAndLaterPathsAreNotLookedAt) {
    std::string a = touch("a.avi"), b = touch("b.avi");
    std::string missing = dir + "/missing.avi";
    EXPECT_EQ(parse("-fs " + a + " " + missing + " " + b), 0);
    EXPECT_STREQ(state.playlist[0], missing.c_str());
    EXPECT_EQ(state.haveInput, 1);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(state.failureDetail), missing);
    EXPECT_EQ(fake.count("GetFullPathName(" + b), 0);
}

TEST_F(CommandLineTest, PathReplacesOnlyTheCurrentItemOfTheConfiguredList) {
    std::string a = touch("a.avi"), b = touch("b.avi"), c = touch("c.avi"), d = touch("d.mpg");
    copyText(state.playlist[0], a.c_str());
    copyText(state.playlist[1], b.c_str());
    copyText(state.playlist[2], c.c_str());
    state.itemCount = 3;
    state.haveInput = 1;
    EXPECT_EQ(parse(d), 1);
    EXPECT_STREQ(state.playlist[0], d.c_str());
    EXPECT_STREQ(state.playlist[1], b.c_str());
    EXPECT_STREQ(state.playlist[2], c.c_str());
    EXPECT_EQ(state.itemCount, 3);
    EXPECT_EQ(state.audioOnly, 0);
}

TEST_F(CommandLineTest, QuotedPathWithBlanksIsOnePath) {
    std::string clip = touch("my clip.avi");
    EXPECT_EQ(parse("\"" + clip + "\""), 1);
    EXPECT_STREQ(state.playlist[0], clip.c_str());
    // Unquoted it splits at the blank, and its first part names nothing.
    state = PlayerState{};
    EXPECT_EQ(parse(clip), 0);
    EXPECT_EQ(std::string(state.failureDetail), dir + "/my");
}

TEST_F(CommandLineTest, WavPathSetsAudioOnlyAndKeepsItsLetters) {
    std::string song = touch("Song.WAV");
    EXPECT_EQ(parse(song), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_STREQ(state.playlist[0], song.c_str());
}

TEST_F(CommandLineTest, OnlyTheLastPathDecidesAboutSound) {
    std::string song = touch("song.wav"), clip = touch("clip.avi");
    EXPECT_EQ(parse(song + " " + clip), 1);
    EXPECT_EQ(state.audioOnly, 0);
    // And the flag, once set, is never cleared here.
    state.audioOnly = 1;
    EXPECT_EQ(parse(clip), 1);
    EXPECT_EQ(state.audioOnly, 1);
}

TEST_F(CommandLineTest, EmptyCommandLineOnlyChecksTheCurrentSlotForSound) {
    EXPECT_EQ(parse(""), 1);
    EXPECT_EQ(parse("   \t "), 1);
    EXPECT_EQ(state.audioOnly, 0);
    EXPECT_EQ(fake.log, std::vector<std::string>{});

    copyText(state.playlist[1], "/media/Intro.Wav");
    state.currentItem = 1;
    EXPECT_EQ(parse(""), 1);
    EXPECT_EQ(state.audioOnly, 0);  // no input given yet
    state.haveInput = 1;
    EXPECT_EQ(parse(""), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_STREQ(state.playlist[1], "/media/Intro.Wav");
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
    std::ofstream(path, std::ios::binary).flush();
    return path;
}

TEST_F(CommandLineTest, PathTooLongForASlotIsRefusedLikeAMissingFile) {
    std::string fits = fileWithPathLength(dir + "/a", 259);
    EXPECT_EQ(parse(fits), 1);
    EXPECT_STREQ(state.playlist[0], fits.c_str());

    std::string tooLong = fileWithPathLength(dir + "/b", 260);
    EXPECT_EQ(parse(tooLong), 0);
    EXPECT_STREQ(state.playlist[0], fits.c_str());
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(state.failureDetail), tooLong);
    EXPECT_EQ(fake.count("Exists(" + tooLong), 0);
}

TEST_F(CommandLineTest, PathThePlatformCannotResolveIsRefused) {
    std::string clip = touch("a.avi");
    fake.script("GetFullPathName", {0});
    EXPECT_EQ(parse(clip), 0);
    EXPECT_EQ(state.haveInput, 0);
    EXPECT_EQ(state.failure, Failure::MissingItem);
    EXPECT_EQ(std::string(state.failureDetail), clip);
}

}  // namespace
}  // namespace ostrel
