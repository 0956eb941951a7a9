// The command line: how nextToken cuts tokens (quotes and backslashes), how
// parseCommandLine applies options and paths, and the token budget.
#include <climits>
#include <cstring>

#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

TEST(NextTokenTest, QuotesBackslashesAndWhiteSpace) {
    const std::pair<const char*, Lines> cases[] = {
        {"  one two\tthree\nfour\r\nfive\v\fsix  ", {"one", "two", "three", "four", "five", "six"}},
        {"", {}},
        {" \t\r\n ", {}},
        // One quoted stretch loses its quotes and keeps its blanks.
        {"\"/my clips/a b.avi\" -fs", {"/my clips/a b.avi", "-fs"}},
        {"\"plain\"", {"plain"}},
        {"/my clips/a b.avi", {"/my", "clips/a", "b.avi"}},
        // Quotes anywhere else stay in the token.
        {"a\"b c\"d e", {"a\"b c\"d", "e"}},
        {"\"a b\"c", {"\"a b\"c"}},
        {"\"a\"\"b\"", {"a\"\"b"}},
        {"\"\" next", {"", "next"}},
        {"\"", {""}},
        {"\"abc def", {"abc de"}},  // unclosed, still one quoted stretch
        // A backslash takes the next character as it is.
        {"a\\ b c", {"a\\ b", "c"}},
        {"\\\"x y\\\" z", {"\\\"x", "y\\\"", "z"}},
        {"\"\\\"x\"", {"\\\"x"}},
        {"a\\\\ b", {"a\\\\", "b"}},
        // A quoted path ending in a backslash runs on to the next quote.
        {"\"C:\\clips\\\" -fs x\" -s 5", {"C:\\clips\\\" -fs x", "-s", "5"}},
        {"\"C:\\clips\\\" -fs", {"C:\\clips\\\" -f"}},
        {"\"a b\"\\c", {"\"a b\"\\c"}},  // a backslash outside quotes ends the quoted stretch
        {"abc\\", {"abc\\"}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        Lines tokens;
        const char* cursor = text;
        std::size_t length = 0;
        while (auto token = nextToken(cursor, length)) {
            EXPECT_EQ(std::strlen(token.get()), length);
            tokens.emplace_back(token.get());
        }
        EXPECT_EQ(tokens, expected);
    }
}

TEST(NextTokenTest, TheCursorStopsRightAfterEachTokenAndStaysAtTheEnd) {
    const char* text = "  -fs   clip.avi   ";
    const char* cursor = text;
    std::size_t length = 99;
    EXPECT_STREQ(nextToken(cursor, length).get(), "-fs");
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(cursor, text + 5);
    EXPECT_STREQ(nextToken(cursor, length).get(), "clip.avi");
    EXPECT_EQ(cursor, text + 16);
    length = 99;
    EXPECT_FALSE(nextToken(cursor, length));
    EXPECT_EQ(cursor, text + 16);
    EXPECT_EQ(length, 99u);
    const char* backslash = "abc\\";
    cursor = backslash;
    EXPECT_STREQ(nextToken(cursor, length).get(), "abc\\");
    EXPECT_EQ(cursor, backslash + 4);
}

class CommandLineTest : public PlayerTest {
protected:
    int parse(const std::string& text) { return parseCommandLine(text.c_str()); }
};

TEST_F(CommandLineTest, OptionNumbersTakeTheirBaseAndZeroOrNoneFails) {
    struct Case {
        const char* line;
        int result;
        const char* limits;  // start, end, total, count; 7, 7, 7, 12 before
        const char* detail;
    };
    const Case cases[] = {
        {"-s 010", 1, "8,7,7,12", ""},
        {"-s 0x10", 1, "16,7,7,12", ""},
        {"-s 0X1f", 1, "31,7,7,12", ""},
        {"-s -5", 1, "-5,7,7,12", ""},
        {"-e +12frames", 1, "7,12,7,12", ""},
        {"-e -0x20", 1, "7,-32,7,12", ""},
        {"-e 0778", 1, "7,63,7,12", ""},  // octal stops at the 8
        {"-e \" 42\"", 1, "7,42,7,12", ""},
        {"-t 30", 1, "7,7,30,0", ""},  // -t starts the frame count afresh
        // Each digit and letter range ends where it should.
        {"-s 0x9aAfF@ -e 0xag -t 0xAG", 1, "633599,10,10,0", ""},
        {"-s 0xF` -e 0xf{ -t 0X1[", 1, "15,15,1,0", ""},
        {"-s 9: -e 10/", 1, "9,10,7,12", ""},
        {"-s 99999999999999999999 -e -99999999999999999999 -t 0xFFFFFFFF", 1,
         "2147483647,-2147483648,2147483647,0", ""},
        {"-s 2147483647 -e -2147483648 -t 2147483648", 1, "2147483647,-2147483648,2147483647,0",
         ""},
        {"-s 08", 0, "0,7,7,12", "-s 08"},
        {"-e 0", 0, "7,0,7,12", "-e 0"},
        {"-s abc", 0, "0,7,7,12", "-s abc"},
        {"-s 0x", 0, "0,7,7,12", "-s 0x"},
        {"-s 3 -t", 0, "3,7,0,0", "-t missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        state = PlayerState{};
        setLimits(7, 7, 7, 12);
        EXPECT_EQ(parse(c.line), c.result);
        EXPECT_EQ(limits(), c.limits);
        EXPECT_EQ(state.failure, c.result ? Failure::None : Failure::BadCommandLine);
        EXPECT_STREQ(state.failureDetail, c.detail);
    }
}

TEST_F(CommandLineTest, TokensBeforeAFailureKeepTheirEffect) {
    std::string clip = file("a.avi");
    EXPECT_EQ(parse("-fs " + clip + " -s 5 -e 0 -t 9"), 0);
    EXPECT_EQ(slots(1), Lines{"a.avi"});
    EXPECT_EQ(state.fullScreen + state.haveInput, 2);
    EXPECT_EQ(limits(), "5,0,0,0");
}

TEST_F(CommandLineTest, TheTokenBudgetIsFiveAndAPathCostsOneLessAfterFullScreen) {
    std::string a = file("a.avi"), b = file("b.avi"), c = file("c.avi");
    struct Case {
        std::string line;
        const char* slot;
        const char* limits;
        int fullScreen, lookedUp;
    };
    const Case cases[] = {
        // A path costs 2, an option 1, its number nothing.
        {a + " -s 10 -e 20 -t 30 -fs", "a.avi", "10,20,30,0", 0, 1},
        {"-fs " + a + " -s 10 -e 20 -t 30", "a.avi", "10,20,30,0", 1, 1},
        {a + " " + b + " " + c + " " + path("missing.avi") + " -s 0 -e", "c.avi", "0,0,0,0", 0, 3},
        {"-s 1 -e 2 -t 3 -fs " + a + " -s 0", "a.avi", "1,2,3,0", 1, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        state = PlayerState{};
        fake.clearLog();
        EXPECT_EQ(parse(k.line), 1);
        EXPECT_EQ(slots(1), Lines{k.slot});
        EXPECT_EQ(limits(), k.limits);
        EXPECT_EQ(state.fullScreen, k.fullScreen);
        EXPECT_EQ(fake.count("Exists("), k.lookedUp);
        EXPECT_EQ(fake.count("GetFullPathName(" + path("missing")), 0);
    }
}

TEST_F(CommandLineTest, EveryPathGoesIntoTheSlotOfTheCurrentItem) {
    file("a.avi"), file("b.avi");
    copyText(state.playlist[0], "/first");
    copyText(state.playlist[1], "/second");
    state.currentItem = 2;
    state.itemCount = 3;
    {
        InFolder inside(dir);
        EXPECT_EQ(parse("-fs a.avi b.avi"), 1);
    }
    EXPECT_EQ(slots(3), (Lines{"/first", "/second", "b.avi"}));
    EXPECT_EQ(relative(fake.calls("Exists(")), (Lines{"Exists(a.avi)", "Exists(b.avi)"}));
    EXPECT_EQ(state.itemCount, 3);
    EXPECT_EQ(state.haveInput, 1);

    state.currentItem = 0;
    std::string spaced = file("my clip.avi"), fits = fileOfLength("deep", 259);
    EXPECT_EQ(parse("\"" + spaced + "\""), 1);
    EXPECT_EQ(slots(1), Lines{"my clip.avi"});
    EXPECT_EQ(parse(fits), 1);
    EXPECT_STREQ(state.playlist[0], fits.c_str());
    EXPECT_EQ(state.audioOnly, 0);
}

TEST_F(CommandLineTest, RefusedPathsEndTheParseWithTheirName) {
    std::string a = file("a.avi"), b = file("b.avi"), missing = path("missing.avi");
    std::string tooLong = fileOfLength("deep", 260);
    auto refused = [&](const std::string& line, const std::string& detail) {
        state = PlayerState{};
        fake.clearLog();
        EXPECT_EQ(parse(line), 0);
        EXPECT_EQ(state.failure, Failure::MissingItem);
        EXPECT_EQ(state.failureDetail, detail);
    };
    refused("-fs " + a + " " + missing + " " + b, missing);
    EXPECT_EQ(slots(1), Lines{"missing.avi"});
    EXPECT_EQ(fake.count("GetFullPathName(" + b), 0);
    {
        InFolder inside(dir);
        refused("-FS", path("-FS"));  // option names in other letters are paths
    }
    refused(path("my clip.avi"), path("my"));  // unquoted, a blank splits it
    refused(tooLong, tooLong);                 // a path that would not fit its slot
    EXPECT_STREQ(state.playlist[0], "");
    EXPECT_EQ(fake.count("Exists("), 0);
    fake.script("GetFullPathName", {0});
    refused(a, a);
    EXPECT_EQ(state.haveInput, 0);
}

TEST_F(CommandLineTest, TheLastPathInTheCurrentSlotDecidesAboutALoneSound) {
    std::string song = file("Song.WAV"), clip = file("clip.avi");
    EXPECT_EQ(parse(song), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_EQ(slots(1), Lines{"Song.WAV"});  // its letters kept
    state = PlayerState{};
    EXPECT_EQ(parse(song + " " + clip), 1);
    EXPECT_EQ(state.audioOnly, 0);
    state.audioOnly = 1;  // and the flag is never cleared here
    EXPECT_EQ(parse(clip), 1);
    EXPECT_EQ(state.audioOnly, 1);

    // An empty command line looks only at the current slot, and only when
    // there is input.
    state = PlayerState{};
    fake.clearLog();
    copyText(state.playlist[1], "/media/Intro.Wav");
    state.currentItem = 1;
    EXPECT_EQ(parse("   \t "), 1);
    EXPECT_EQ(state.audioOnly, 0);
    state.haveInput = 1;
    EXPECT_EQ(parse(""), 1);
    EXPECT_EQ(state.audioOnly, 1);
    EXPECT_TRUE(fake.log.empty());
}

}  // namespace
}  // namespace ostrel::test
