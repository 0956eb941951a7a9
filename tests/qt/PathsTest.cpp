// Paths as the player resolves them on Linux, and the command-line text the
// program's arguments become.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/CommandLine.h"
#include "platform/qt/QtPaths.h"

namespace ostrel::platform::qt {
namespace {

TEST(LexicalFullPath, RelativePathsJoinTheCurrentFolder) {
    EXPECT_EQ(lexicalFullPath("clip.avi", "/home/user"), "/home/user/clip.avi");
    EXPECT_EQ(lexicalFullPath("media/clip.avi", "/home/user"), "/home/user/media/clip.avi");
    EXPECT_EQ(lexicalFullPath("/srv/clip.avi", "/home/user"), "/srv/clip.avi");
}

TEST(LexicalFullPath, DotsAndDoubleSlashesAreResolvedByTheTextAlone) {
    EXPECT_EQ(lexicalFullPath("../a/./b//c", "/x/y"), "/x/a/b/c");
    EXPECT_EQ(lexicalFullPath("/a/b/..", ""), "/a");
    EXPECT_EQ(lexicalFullPath("./.", "/x"), "/x");
    // Never above the root.
    EXPECT_EQ(lexicalFullPath("/../../a", "/x"), "/a");
    EXPECT_EQ(lexicalFullPath("../../..", "/x"), "/");
}

TEST(LexicalFullPath, TrailingSlashStaysAndEmptyStaysEmpty) {
    EXPECT_EQ(lexicalFullPath("dir/", "/x"), "/x/dir/");
    EXPECT_EQ(lexicalFullPath("/", "/x"), "/");
    EXPECT_EQ(lexicalFullPath("", "/x"), "");
}

TEST(LexicalFullPath, LinksAreNotFollowed) {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path() / ("ostrel-paths-" + std::to_string(::getpid()));
    fs::create_directories(base / "real" / "inner");
    fs::create_directory_symlink(base / "real" / "inner", base / "link");
    // Through the file system, link/.. would be real/; by its text it is base.
    EXPECT_EQ(lexicalFullPath("link/../clip.avi", base.string()), (base / "clip.avi").string());
    fs::remove_all(base);
}

TEST(CopyPathResult, FollowsTheFullPathSizeProtocol) {
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    // Too small: the size needed, terminator included, and nothing written.
    EXPECT_EQ(copyPathResult("/abcdefg", 8, buffer), 9u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(copyPathResult("/abcdefg", 0, nullptr), 9u);
    // Fits with its terminator: written, length without it.
    EXPECT_EQ(copyPathResult("/abcdef", 8, buffer), 7u);
    EXPECT_STREQ(buffer, "/abcdef");
    EXPECT_EQ(copyPathResult("", 8, buffer), 0u);
}

std::vector<std::string> tokensOf(const std::string& text) {
    std::vector<std::string> tokens;
    const char* cursor = text.c_str();
    std::size_t length = 0;
    while (auto token = ostrel::nextToken(cursor, length))
        tokens.emplace_back(token.get(), length);
    return tokens;
}

TEST(JoinCommandLine, ThePlayersReaderGivesTheArgumentsBack) {
    std::vector<std::string> arguments = {
        "-s", "12", "/media/My Clips/clip one.avi", "-e", "0x20", "tab\there.mpg", "plain.dat"};
    std::string text = joinCommandLine(arguments);
    EXPECT_EQ(text, "-s 12 \"/media/My Clips/clip one.avi\" -e 0x20 \"tab\there.mpg\" plain.dat");
    EXPECT_EQ(tokensOf(text), arguments);
}

TEST(JoinCommandLine, NoArgumentsIsAnEmptyText) {
    EXPECT_EQ(joinCommandLine({}), "");
    EXPECT_EQ(joinCommandLine({"one"}), "one");
}

}  // namespace
}  // namespace ostrel::platform::qt
