// One player per user: the lock in the private folder, and the hand-over of
// a second start to the running player over the local socket.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/qt/QtHandOver.h"

namespace ostrel::platform::qt {
namespace {

namespace fs = std::filesystem;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = fs::temp_directory_path() /
                  ("ostrel-si-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(runtime);
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        saved = old ? old : "";
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        if (saved.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
        fs::remove_all(runtime);
    }

    // Runs `work` on its own thread (a second start blocks on its answers)
    // while this thread serves the socket, as the running player's loop does.
    void asSecondStart(const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread second([&] {
            work();
            done = true;
        });
        test::processUntil([&] { return done.load(); }, 10000);
        second.join();
    }

    fs::path runtime;
    std::string saved;
};

TEST_F(SingleInstanceTest, PrivateFolderIsMadeForTheUserAlone) {
    std::string folder = SingleInstance::privateFolder();
    EXPECT_EQ(folder, (runtime / "ostrel").string());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
}

TEST_F(SingleInstanceTest, FolderOthersMayEnterOrALinkIsNotUsed) {
    fs::create_directories(runtime / "ostrel");
    fs::permissions(runtime / "ostrel",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::replace);
    EXPECT_NE(SingleInstance::privateFolder(), (runtime / "ostrel").string());

    fs::remove(runtime / "ostrel");
    fs::create_directories(runtime / "elsewhere");
    fs::permissions(runtime / "elsewhere", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(runtime / "elsewhere", runtime / "ostrel");
    EXPECT_NE(SingleInstance::privateFolder(), (runtime / "ostrel").string());
}

TEST_F(SingleInstanceTest, FirstTakesTheLockTheSecondFindsItTaken) {
    SingleInstance first, second, third;
    bool exists = true;
    MutexHandle mine = first.createMutex("OSTREL", exists);
    ASSERT_NE(mine, nullptr);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(first.holdsLock());

    MutexHandle theirs = second.createMutex("OSTREL", exists);
    EXPECT_NE(theirs, nullptr);
    EXPECT_TRUE(exists);
    EXPECT_TRUE(second.isSecondStart());
    second.closeHandle(theirs);

    // Another name is another lock.
    third.createMutex("OTHER", exists);
    EXPECT_FALSE(exists);
}

TEST_F(SingleInstanceTest, LockIsFreeAgainOnceTheFirstHasEnded) {
    bool exists = true;
    {
        SingleInstance first;
        first.createMutex("OSTREL", exists);
        ASSERT_FALSE(exists);
    }
    SingleInstance next;
    next.createMutex("OSTREL", exists);
    EXPECT_FALSE(exists);
}

TEST_F(SingleInstanceTest, HandOverIsOneRequestTheRunningPlayerTakesForItsWindow) {
    SingleInstance first, second;
    bool exists = false;
    first.createMutex("OSTREL", exists);
    std::vector<SingleInstance::Request> received;
    ASSERT_TRUE(first.listen([&](SingleInstance::Request request) {
        bool ours = request.className == " ostrelwin" && request.title == " ostrel v2.03";
        if (ours) received.push_back(std::move(request));
        return ours;
    }));

    second.createMutex("OSTREL", exists);
    ASSERT_TRUE(exists);
    // Exactly the bytes sent, terminator included (or not), arrive.
    const char text[] = "\"/media/a clip.avi\" -s 5";
    const CopyData abc{0, 3, "abcdef"}, clip{9, sizeof text, text};
    std::vector<bool> answers;
    asSecondStart([&] {
        answers = {second.connectToRunning(),
                   second.handOver(" ostrelwin", " ostrel v2.02", true, nullptr),
                   second.handOver(" ostrelwin", " ostrel v2.03", true, nullptr),
                   second.handOver(" ostrelwin", " ostrel v2.03", false, &abc),
                   second.handOver(" ostrelwin", " ostrel v2.03", true, &clip)};
    });
    // The window asked for by another title is not this player's.
    EXPECT_EQ(answers, (std::vector<bool>{true, false, true, true, true}));
    ASSERT_EQ(received.size(), 3u);
    EXPECT_TRUE(received[0].raise);
    EXPECT_FALSE(received[0].hasText);
    EXPECT_FALSE(received[1].raise);
    EXPECT_EQ(received[1].text, QByteArray("abc"));
    EXPECT_TRUE(received[2].raise && received[2].hasText);
    EXPECT_EQ(received[2].tag, 9u);
    EXPECT_EQ(received[2].text, QByteArray(text, sizeof text));
}

TEST_F(SingleInstanceTest, NobodyListeningMeansNoWindow) {
    SingleInstance first, second;
    bool exists = false;
    first.createMutex("OSTREL", exists);
    second.createMutex("OSTREL", exists);
    ASSERT_TRUE(exists);
    // The running player has no window yet (or plays a lone sound).
    EXPECT_FALSE(second.connectToRunning());
    const CopyData a{0, 2, "a"};
    EXPECT_FALSE(second.handOver(" ostrelwin", " ostrel v2.03", true, &a));
}

TEST_F(SingleInstanceTest, TheSocketIsTheUsersAlone) {
    SingleInstance first;
    bool exists = false;
    first.createMutex("OSTREL", exists);
    ASSERT_TRUE(first.listen({}));
    struct stat info {};
    std::string socket = SingleInstance::privateFolder() + "/OSTREL.sock";
    ASSERT_EQ(::stat(socket.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u);
}

}  // namespace
}  // namespace ostrel::platform::qt
