// The command line: how nextToken cuts tokens (quotes and backslashes), how
// parseCommandLine applies options and paths, and the token budget.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

TEST(NextTokenTest, QuotesBackslashesAndWhiteSpace) {
    // The text => its tokens each followed by "|". One quoted stretch
    // loses its quotes and keeps its blanks; quotes anywhere else stay; a
    // backslash takes the next character as it is, so a quoted path ending
    // in one runs on to the next quote.
    for (const std::string row :
         {"  one two\tthree\nfour\r\nfive\v\fsix   => one|two|three|four|five|six|", " => ",
          " \t\r\n  => ", "\"/my clips/a b.avi\" -fs => /my clips/a b.avi|-fs|",
          "/my clips/a b.avi => /my|clips/a|b.avi|", "a\"b c\"d e => a\"b c\"d|e|",
          "\"a b\"c => \"a b\"c|", "\"a\"\"b\" => a\"\"b|", "\"\" next => |next|", "\" => |",
          "\"abc def => abc de|", "a\\ b c => a\\ b|c|", "\\\"x y\\\" z => \\\"x|y\\\"|z|",
          "\"\\\"x\" => \\\"x|", "a\\\\ b => a\\\\|b|", "\"a b\"\\c => \"a b\"\\c|",
          "\"C:\\clips\\\" -fs x\" -s 5 => C:\\clips\\\" -fs x|-s|5|",
          "\"C:\\clips\\\" -fs => C:\\clips\\\" -f|", "abc\\ => abc\\|"}) {
        SCOPED_TRACE(row);
        std::string line = split(row)[0], tokens;
        const char *cursor = line.c_str(), *end = cursor;
        std::size_t length = 99, kept = 99;
        auto white = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
        for (auto token = nextToken(cursor, length); token; token = nextToken(cursor, length)) {
            EXPECT_EQ(std::strlen(token.get()), length);
            // The cursor stops right after the token.
            EXPECT_TRUE(!white(cursor[-1]) && (white(*cursor) || !*cursor)) << token.get();
            tokens += std::string(token.get()) + "|";
            end = cursor, kept = length;
        }
        EXPECT_EQ(tokens, split(row)[1]);
        EXPECT_LE(cursor, line.c_str() + line.size());
        // Without a token the cursor and the length stay.
        EXPECT_EQ(cursor - end + length, kept);
    }
}

class CommandLineTest : public PlayerTest {
protected:
    int parse(const std::string& text) { return parseCommandLine(text.c_str()); }
};

TEST_F(CommandLineTest, OptionNumbersTakeTheirBaseAndZeroOrNoneFails) {
    // The line => start, end, total and count after it (7, 7, 7, 12 before)
    // => the failure's detail. Octal stops at an 8; -t restarts the count;
    // each digit and letter range ends where it should.
    for (const std::string row :
         {"-s 010 => 8,7,7,12 => ", "-s 0x10 => 16,7,7,12 => ", "-s 0X1f => 31,7,7,12 => ",
          "-s -5 => -5,7,7,12 => ", "-e +12frames => 7,12,7,12 => ", "-e -0x20 => 7,-32,7,12 => ",
          "-e 0778 => 7,63,7,12 => ", "-e \" 42\" => 7,42,7,12 => ", "-t 30 => 7,7,30,0 => ",
          "-s 0x9aAfF@ -e 0xag -t 0xAG => 633599,10,10,0 => ",
          "-s 0xF` -e 0xf{ -t 0X1[ => 15,15,1,0 => ", "-s 9: -e 10/ => 9,10,7,12 => ",
          "-s 99999999999999999999 -e -99999999999999999999 -t 0xFFFFFFFF => "
          "2147483647,-2147483648,2147483647,0 => ",
          "-s 2147483647 -e -2147483648 -t 2147483648 => 2147483647,-2147483648,2147483647,0 => ",
          "-s 08 => 0,7,7,12 => -s 08", "-e 0 => 7,0,7,12 => -e 0", "-s abc => 0,7,7,12 => -s abc",
          "-s 0x => 0,7,7,12 => -s 0x", "-s 3 -t => 3,7,0,0 => -t missing"}) {
        SCOPED_TRACE(row);
        Lines c = split(row);
        state = PlayerState{};
        setLimits(7, 7, 7, 12);
        EXPECT_EQ(parse(c[0]), c[2].empty());
        EXPECT_EQ(state.failure, c[2].empty() ? Failure::None : Failure::BadCommandLine);
        EXPECT_EQ(limits() + " => " + state.failureDetail, c[1] + " => " + c[2]);
    }
}

TEST_F(CommandLineTest, TheTokenBudgetIsFiveAndRefusedPathsEndTheParseWithTheirName) {
    std::string a = file("a.avi"), b = file("b.avi"), c = file("c.avi") + " ";
    std::string missing = path("missing.avi"), tooLong = fileOfLength("deep", 260);
    const std::string fits = fileOfLength("fits", 259);  // the longest that fits
    // A path costs 2, an option 1, its number nothing; tokens before a
    // failure keep their effect; the last path decides about a lone sound.
    // The line => the result, the first slot, the limits, full screen and
    // input (a lone sound adds 100), the paths looked up, the failure's detail.
    const std::tuple<std::string, int, std::string, const char*, int, int, std::string> cases[] = {
        {a + " -s 10 -e 20 -t 30 -fs", 1, "a.avi", "10,20,30,0", 1, 1, ""},
        {"-fs " + a + " -s 10 -e 20 -t 30", 1, "a.avi", "10,20,30,0", 11, 1, ""},
        {a + " " + b + " " + c + missing + " -s 0 -e", 1, "c.avi", "0,0,0,0", 1, 3, ""},
        {"-s 1 -e 2 -t 3 -fs " + a + " -s 0", 1, "a.avi", "1,2,3,0", 11, 1, ""},
        {"-fs " + a + " -s 5 -e 0 -t 9", 0, "a.avi", "5,0,0,0", 11, 1, "-e 0"},
        {"-fs " + a + " " + missing + " " + b, 0, "missing.avi", "0,0,0,0", 11, 2, missing},
        {"-FS", 0, "-FS", "0,0,0,0", 1, 1, path("-FS")},  // option names in other letters are paths
        {path("my clip.avi"), 0, "my", "0,0,0,0", 1, 1, path("my")},  // unquoted, a blank splits it
        {tooLong, 0, "", "0,0,0,0", 0, 0, tooLong},  // a path that would not fit its slot
        {fits, 1, relative(fits), "0,0,0,0", 1, 1, ""},
        {file("Song.WAV"), 1, "Song.WAV", "0,0,0,0", 101, 1, ""},  // its letters kept
        {file("Song.WAV") + " " + a, 1, "a.avi", "0,0,0,0", 1, 2, ""},
        {a, 0, "", "0,0,0,0", 0, 0, a}};  // a path the platform cannot resolve takes no slot
    for (const auto& [line, result, first, limitsAfter, screenAndInput, lookedUp, detail] : cases) {
        SCOPED_TRACE(line);
        reset();
        if (line == a) fake.script("GetFullPathName", {0});
        EXPECT_EQ(parse(line), result);
        EXPECT_EQ(relative(state.playlist[0]) + " " + limits(), first + " " + limitsAfter);
        EXPECT_EQ(state.audioOnly * 100 + state.fullScreen * 10 + state.haveInput, screenAndInput);
        EXPECT_EQ(fake.count("Exists("), lookedUp);
        EXPECT_EQ(state.failure, detail.empty()     ? Failure::None
                                 : detail[0] == '-' ? Failure::BadCommandLine
                                                    : Failure::MissingItem);
        EXPECT_EQ(state.failureDetail, detail);
    }
}

TEST_F(CommandLineTest, TheLastPathInTheCurrentSlotDecidesAboutALoneSound) {
    state.audioOnly = 1;  // a flag set before is never cleared here
    EXPECT_EQ(parse(file("clip.avi")), 1);
    EXPECT_EQ(state.audioOnly, 1);
    // An empty command line looks only at the current slot, only with input.
    reset();
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
