// The platform calls that need no window: files and paths, the command line
// the program's arguments become, the wave output as the player's own
// volume, sounds, the offline test, and one player per user (its folder
// and its lock).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/CommandLine.h"
#include "platform/qt/QtHandOver.h"
#include "platform/qt/QtPaths.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/media/AudioOutput.h"

namespace ostrel::platform::qt {
namespace {

namespace fs = std::filesystem;
constexpr const char* kTitle = " ostrel v2.03";

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("ostrel-platform-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(folder);
        unsetenv("OSTREL_NO_WAVE_DEVICE");
        unsetenv("OSTREL_NETWORK");
    }
    QtPlatform platform;
    QtFiles& files = platform.files();
    fs::path folder, previous;
};

TEST_F(PlatformTest, FilesAndPathsAsTheirTextSays) {
    fs::create_directories("real/inner");
    fs::create_directory_symlink(folder / "real" / "inner", "link");
    // clang-format off
    const struct { std::string path, folder, expected; } cases[] = {
        {"media/clip.avi", "/home/user", "/home/user/media/clip.avi"}, {"/srv/a", "/x", "/srv/a"},
        {"../a/./b//c", "/x/y", "/x/a/b/c"}, {"/a/b/..", "", "/a"}, {"./.", "/x", "/x"},
        {"/../../a", "/x", "/a"}, {"../../..", "/x", "/"},  // never above the root
        {"dir/", "/x", "/x/dir/"}, {"/", "/x", "/"}, {"", "/x", ""},
        // Through the file system, link/.. would be real/; by its text it is the folder.
        {"link/../clip.avi", folder.string(), (folder / "clip.avi").string()},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(lexicalFullPath(c.path, c.folder), c.expected) << c.path << " in " << c.folder;
    // Against the current folder: asked with no buffer, or one too short, the
    // size needed comes back, terminator included.
    const std::string expected = (folder / "clip one.avi").string();
    const auto needed = static_cast<std::uint32_t>(expected.size() + 1);
    std::vector<char> buffer(needed);
    EXPECT_EQ(files.getFullPathName("clip one.avi", 0, nullptr), needed);
    EXPECT_EQ(files.getFullPathName("clip one.avi", needed - 1, buffer.data()), needed);
    EXPECT_EQ(files.getFullPathName("clip one.avi", needed, buffer.data()), needed - 1);
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(files.getFullPathName("", needed, buffer.data()), 0u);
    // The program's arguments become the command line the player cuts again.
    const std::vector<std::string> arguments{"-s", "12", "/My Clips/a.avi", "tab\there.mpg", "x"};
    const std::string text = joinCommandLine(arguments);
    std::vector<std::string> tokens;
    const char* cursor = text.c_str();
    for (std::size_t length = 0; auto token = ostrel::nextToken(cursor, length);)
        tokens.emplace_back(token.get(), length);
    EXPECT_EQ(tokens, arguments) << text;
    // What is absent, a failing replacement.
    for (const char* absent : {"absent.wav", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(files.fileExists(absent));
    EXPECT_FALSE(files.replaceFile("missing.cfg", "ostrel.cfg"));
    // The executable's path, cut to the buffer.
    char path[4096], cut[8];
    files.getModuleFileName(path, sizeof path);
    EXPECT_EQ(files.getModuleFileName(cut, sizeof cut), 8u);
    EXPECT_EQ(std::string(cut), std::string(path, 7));
    setenv("OSTREL_NETWORK", "offline", 1);  // as asked for tests
    const int offline = files.inetIsOffline();
    setenv("OSTREL_NETWORK", "online", 1);
    EXPECT_TRUE(offline == 1 && files.inetIsOffline() == 0);
}

TEST_F(PlatformTest, WaveOutputVolumeIsThePlayersOwnValueAndSoundsPlayOnlyWhatIsThere) {
    WaveFormat pcm{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0}, notPcm = pcm;
    notPcm.formatTag = 3;
    QtSound& sound = platform.sound();
    std::unique_ptr<WaveOutDevice> device;
    std::uint32_t volume = 0;
    ASSERT_EQ(sound.waveOutOpen(pcm, device), kMmNoError);
    device->setVolume(0x40004000u);
    device.reset();
    // Another opening reads what was written last; so does every stream.
    ASSERT_TRUE(sound.waveOutOpen(pcm, device) == kMmNoError &&
                device->getVolume(volume) == kMmNoError);
    EXPECT_TRUE(volume == 0x40004000u && media::outputVolume() == 0x40004000u);
    device->setVolume(0xFFFFFFFFu);
    EXPECT_NE(sound.waveOutOpen(notPcm, device), kMmNoError);
    setenv("OSTREL_NO_WAVE_DEVICE", "1", 1);  // as for tests of a machine without one
    device.reset();
    EXPECT_TRUE(sound.waveOutOpen(pcm, device) != kMmNoError && !device);
    EXPECT_EQ(sound.sndPlaySound("/no/such/sound.wav", kSndAsync), 0);
    EXPECT_EQ(sound.playSound("#130", kSndResource | kSndAsync), 0);
    EXPECT_EQ(sound.playSound("#129", kSndAsync), 0);  // a file of that name
    // The intro sound, from the program's resources, twice (the second
    // time from the copy made the first), in the background; stopped.
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(sound.playSound("#129", kSndResource | kSndAsync), 1);
        EXPECT_EQ(sound.sndPlaySound(nullptr, 0), 1);
    }
}

TEST_F(PlatformTest, OnePlayerPerUserInAFolderOfTheUsersOwn) {
    // Made for the user alone; one that others may enter, or a link, is not used.
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    const fs::path own = folder / "ostrel";
    struct stat info {};
    ASSERT_EQ(SingleInstance::privateFolder(), own.string());
    ASSERT_EQ(::lstat(own.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode) && (info.st_mode & 0777) == 0700 && info.st_uid == getuid());
    fs::permissions(own, fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    EXPECT_NE(SingleInstance::privateFolder(), own.string());
    fs::remove(own);
    fs::create_directory("elsewhere");
    fs::permissions("elsewhere", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(folder / "elsewhere", own);
    EXPECT_NE(SingleInstance::privateFolder(), own.string());
    fs::remove(own);

    // The first takes the lock, a second finds it taken; once the first has
    // ended the lock is free again.
    bool exists = true;
    {
        SingleInstance first, second;
        ASSERT_NE(first.createMutex("OSTREL", exists), nullptr);
        EXPECT_TRUE(!exists && first.holdsLock());
        MutexHandle theirs = second.createMutex("OSTREL", exists);
        EXPECT_TRUE(theirs && exists && second.isSecondStart());
        second.closeHandle(theirs);
    }
    SingleInstance first, second;
    EXPECT_TRUE(first.createMutex("OSTREL", exists) && !exists);
    ASSERT_TRUE(second.createMutex("OSTREL", exists) && exists);
    // Nobody listens while the running player has no window yet: the
    // second start is told so at once.
    EXPECT_FALSE(second.connectToRunning() || second.handOver(" ostrelwin", kTitle, true, nullptr));
}

}  // namespace
}  // namespace ostrel::platform::qt
