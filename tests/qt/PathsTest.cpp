// Paths as the player resolves them on Linux, and the command-line text the
// program's arguments become.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/CommandLine.h"
#include "platform/qt/QtPaths.h"

namespace ostrel::platform::qt {
namespace {

namespace fs = std::filesystem;

TEST(LexicalFullPath, JoinsTheCurrentFolderAndResolvesByTheTextAlone) {
    fs::path base = fs::temp_directory_path() / ("ostrel-paths-" + std::to_string(::getpid()));
    fs::create_directories(base / "real" / "inner");
    fs::create_directory_symlink(base / "real" / "inner", base / "link");
    const struct {
        std::string path, folder, expected;
    } cases[] = {
        {"clip.avi", "/home/user", "/home/user/clip.avi"},
        {"media/clip.avi", "/home/user", "/home/user/media/clip.avi"},
        {"/srv/clip.avi", "/home/user", "/srv/clip.avi"},
        {"../a/./b//c", "/x/y", "/x/a/b/c"},
        {"/a/b/..", "", "/a"},
        {"./.", "/x", "/x"},
        {"/../../a", "/x", "/a"},  // never above the root
        {"../../..", "/x", "/"},
        {"dir/", "/x", "/x/dir/"},  // the trailing slash stays
        {"/", "/x", "/"},
        {"", "/x", ""},
        // Through the file system, link/.. would be real/; by its text it is base.
        {"link/../clip.avi", base.string(), (base / "clip.avi").string()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lexicalFullPath(c.path, c.folder), c.expected) << c.path << " in " << c.folder;
    fs::remove_all(base);
}

TEST(JoinCommandLine, ThePlayersReaderGivesTheArgumentsBack) {
    const std::vector<std::string> cases[] = {
        {"-s", "12", "/media/My Clips/clip one.avi", "-e", "0x20", "tab\there.mpg", "plain.dat"},
        {"one"},
        {},
    };
    for (const auto& arguments : cases) {
        std::string text = joinCommandLine(arguments);
        std::vector<std::string> tokens;
        const char* cursor = text.c_str();
        std::size_t length = 0;
        while (auto token = ostrel::nextToken(cursor, length))
            tokens.emplace_back(token.get(), length);
        EXPECT_EQ(tokens, arguments) << text;
    }
    EXPECT_EQ(joinCommandLine(cases[0]),
              "-s 12 \"/media/My Clips/clip one.avi\" -e 0x20 \"tab\there.mpg\" plain.dat");
}

}  // namespace
}  // namespace ostrel::platform::qt
