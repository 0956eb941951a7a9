// The Qt platform where only a unit test reaches it, on Qt's offscreen display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QMenuBar>
#include <QTest>
#include <filesystem>

#include "config/CommandLine.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtPaths.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/media/AudioOutput.h"
#include "state/PlayerState.h"
#include "ui/Dialogs.h"

namespace ostrel::platform::qt {
namespace {

namespace fs = std::filesystem;
using Seen = std::tuple<std::uint32_t, WParam, LParam>;
std::vector<Seen> seen;  // the keys, commands and scroll codes a procedure got

LResult windowProc(WindowHandle, std::uint32_t message, WParam wParam, LParam lParam) {
    if (message == kWmKeyDown || message == kWmCommand) seen.emplace_back(message, wParam, lParam);
    return 0;
}
bool settingsProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam lParam) {
    if (message == kWmHScroll || message == kWmCommand) seen.emplace_back(message, wParam, lParam);
    return settingsDialogProc(dialog, message, wParam, lParam);
}

// Each test runs in a folder of its own, with the platform installed and a window open.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder);
        fs::current_path(folder);
        installPlatform(platform.seam());
        windows.registerClass({.windowProc = &windowProc, .menuResource = 104, .className = "w"});
        windows.createWindow(kWsExAcceptFiles, "w", " ostrel v2.03",
                             kWsVisible | kWsOverlappedWindow, 200, 200, 462, 386, nullptr);
    }
    void TearDown() override {
        installPlatform({});
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    // Takes every queued message, as the player's loop does, and dispatches it.
    std::vector<Message> drain() {
        std::vector<Message> taken;
        for (Message m; windows.queuedMessages() > 0 && windows.getMessage(m) != 0;)
            taken.push_back(m), windows.translateAndDispatch(m);
        return taken;
    }
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / ("ostrel-qt-" + std::to_string(getpid()));
    QtPlatform platform;
    WindowSystem& windows = platform.windows();
};

TEST_F(PlatformTest, PathsByTheirTextFileFiltersAndTheCommandLineCutAgain) {
    fs::create_directories("real/inner"), fs::create_directory_symlink("real/inner", "link");
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
    // Asked with no buffer, or one too short: the size needed, terminator included.
    const std::string expected = (folder / "clip one.avi").string();
    const auto needed = static_cast<std::uint32_t>(expected.size() + 1);
    std::vector<char> buffer(needed);
    QtFiles& files = platform.files();
    EXPECT_EQ(files.getFullPathName("clip one.avi", 0, nullptr), needed);
    EXPECT_EQ(files.getFullPathName("clip one.avi", needed - 1, buffer.data()), needed);
    EXPECT_EQ(files.getFullPathName("clip one.avi", needed, buffer.data()), needed - 1);
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(files.getFullPathName("", needed, buffer.data()), 0u);
    const char pairs[] = "Media (*.avi;*.mpg)\0*.avi;*.mpg\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(fileDialogFilters(pairs), QStringList({"Media (*.avi *.mpg)", "All Files (*)"}));
    EXPECT_TRUE(fileDialogFilters(nullptr).isEmpty());
    // The program's arguments become the command line the player cuts again.
    const std::vector<std::string> arguments{"-s", "12", "/My Clips/a.avi", "tab\there.mpg", "x"};
    const std::string text = joinCommandLine(arguments);
    std::vector<std::string> tokens;
    const char* cursor = text.c_str();
    for (std::size_t length = 0; auto token = ostrel::nextToken(cursor, length);)
        tokens.emplace_back(token.get(), length);
    EXPECT_EQ(tokens, arguments) << text;
}

TEST_F(PlatformTest, WaveOutputReadsBackTheVolumeWrittenLastAndTakesOnlyPcm) {
    WaveFormat pcm{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0}, notPcm{3, 2, 44100, 88200, 2, 8, 0};
    std::unique_ptr<WaveOutDevice> device;
    ASSERT_EQ(platform.sound().waveOutOpen(pcm, device), kMmNoError);
    device->setVolume(0x40004000u);
    device.reset();
    // Another opening reads what was written last; so does every stream.
    std::uint32_t volume = 0;
    ASSERT_EQ(platform.sound().waveOutOpen(pcm, device), kMmNoError);
    EXPECT_TRUE(device->getVolume(volume) == kMmNoError && volume == 0x40004000u);
    EXPECT_EQ(media::outputVolume(), 0x40004000u);
    EXPECT_NE(platform.sound().waveOutOpen(notPcm, device), kMmNoError);
}

TEST_F(PlatformTest, OnePlayerPerUserInAFolderOfTheUsersOwn) {
    // Not one that others may enter, nor a link.
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    const fs::path own = folder / "ostrel";
    ASSERT_EQ(SingleInstance::privateFolder(), own.string());
    fs::permissions(own, fs::perms::group_exec, fs::perm_options::add);
    EXPECT_NE(SingleInstance::privateFolder(), own.string());
    fs::remove(own);
    fs::create_directory("elsewhere");
    fs::permissions("elsewhere", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(folder / "elsewhere", own);
    EXPECT_NE(SingleInstance::privateFolder(), own.string());
    fs::remove(own);
    // The first takes the lock, a second finds it taken; then it is free again.
    for (int round = 0; round < 2; ++round) {
        SingleInstance first, second;
        bool exists = true;
        ASSERT_NE(first.createMutex("OSTREL", exists), nullptr);
        EXPECT_TRUE(!exists && first.holdsLock()) << round;
        MutexHandle theirs = second.createMutex("OSTREL", exists);
        EXPECT_TRUE(theirs && exists && second.isSecondStart()) << round;
        second.closeHandle(theirs);
    }
}

TEST_F(PlatformTest, DroppedFilesBecomeOneDropMessageWithTheirPaths) {
    windows.filesDropped({"/tmp/first clip.avi", "/tmp/b.avi"});
    std::vector<Message> taken = drain();
    ASSERT_TRUE(taken.size() == 1 && taken[0].message == kWmDropFiles);
    auto drop = reinterpret_cast<DropHandle>(taken[0].wParam);
    char buffer[256], small[6];
    // The count, a length, a path, one cut to the buffer, none past the last.
    EXPECT_EQ((std::vector<std::uint32_t>{windows.dragQueryFile(drop, 0xFFFFFFFFu, nullptr, 0),
                                          windows.dragQueryFile(drop, 0, nullptr, 0),
                                          windows.dragQueryFile(drop, 0, buffer, sizeof buffer),
                                          windows.dragQueryFile(drop, 1, small, sizeof small),
                                          windows.dragQueryFile(drop, 2, buffer, sizeof buffer)}),
              (std::vector<std::uint32_t>{2, 19, 19, 5, 0}));
    EXPECT_EQ(std::string(buffer) + "|" + small, "/tmp/first clip.avi|/tmp/");
    windows.dragFinish(drop);
}

TEST_F(PlatformTest, AltLettersAndF10ReachTheMenuBarsCommands) {
    MainWindow* main = windows.mainWindow();
    QWidget* bar = main->menuBar();
    // Keys after F10 go to the menu bar; Alt with no command's letter is no key.
    std::vector<std::tuple<std::vector<Qt::Key>, Qt::KeyboardModifiers, std::vector<Seen>>> rows{
        {{Qt::Key_Z}, Qt::AltModifier, {}},
        {{Qt::Key_F10, Qt::Key_Escape}, {}, {}},
        {{Qt::Key_F10, Qt::Key_Right, Qt::Key_Return}, {}, {{kWmCommand, 40002, 0}}}};
    // The nine commands in order, each reached by Alt and its letter.
    const WParam ids[] = {40001, 40002, 40003, 40004, 40005, 40009, 40010, 40015, 40016};
    ASSERT_EQ(bar->actions().size(), 9);
    QStringList labels;
    for (int i = 0; i < 9; ++i) {
        const QString label = labels.emplace_back(bar->actions()[i]->text());
        const auto letter = Qt::Key(label.at(label.indexOf('&') + 1).toUpper().unicode());
        rows.push_back({{letter}, Qt::AltModifier, {{kWmCommand, ids[i], 0}}});
    }
    EXPECT_EQ(labels.join(' '), "&Open &Start &Pause S&top St&ream Sa&ve &About S&ite E&xit");
    QApplication::setActiveWindow(main);
    for (const auto& [keys, modifiers, expected] : rows) {
        QTest::qWait(50);
        seen.clear();
        for (Qt::Key key : keys)
            QTest::keyClick(key != Qt::Key_F10 && keys[0] == Qt::Key_F10 ? bar : main->client(),
                            key, modifiers);
        EXPECT_TRUE(seen.empty());  // queued for the player's loop, not sent from within Qt
        auto done = [&] { return drain(), seen.size() >= expected.size(); };
        (void)QTest::qWaitFor(done, expected.empty() ? 100 : 2000);
        EXPECT_EQ(seen, expected) << QKeySequence(keys[0] | modifiers).toString().toStdString();
    }
}

TEST_F(PlatformTest, DialogKeysAndCloseBoxReachTheProcedureWhichAloneMovesTheBars) {
    const std::uint32_t kScroll = kWmHScroll, kCancel = 2;  // IDCANCEL
    // A key at a bar (Escape goes on to the dialog), or the close box; what the
    // procedure gets and where that bar stands afterwards.
    const std::tuple<Qt::Key, int, int, std::vector<Seen>> rows[] = {
        {Qt::Key_Right, IDC_VOLUME_BAR, 1260, {{kScroll, kSbLineRight | 1260 << 16, 0}}},
        {Qt::Key_PageUp, IDC_POSITION_BAR, 0, {{kScroll, kSbPageRight | 1000 << 16, 0}}},
        {Qt::Key_PageDown, IDC_VOLUME_BAR, 1250, {{kScroll, kSbPageLeft | 250 << 16, 0}}},
        {Qt::Key_Escape, IDC_VOLUME_BAR, 1250, {{kWmCommand, kCancel, 0}}},
        {Qt::Key_unknown, IDC_VOLUME_BAR, 1250, {{kWmCommand, kCancel, 0}}},  // the close box
    };
    state.probeFormat = WaveFormat{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};  // for the volume
    for (const auto& [key, id, value, want] : rows) {
        state.volumePos = 1250;
        auto dialog = buildDialog("SET_DLG", nullptr, &settingsProc, {});
        dialog->forward(kWmInitDialog, 0, 0);
        dialog->show();
        seen.clear();
        key == Qt::Key_unknown ? (void)dialog->close() : QTest::keyClick(dialog->control(id), key);
        std::vector<Seen> expected = want;
        for (auto& [message, wParam, handle] : expected)
            handle = message == kScroll ? reinterpret_cast<LParam>(dialog->item(id)) : 0;
        EXPECT_EQ(seen, expected) << key;
        auto* bar = qobject_cast<QScrollBar*>(dialog->control(id));
        EXPECT_EQ(std::pair(bar->value(), bar->sliderPosition()), std::pair(value, value)) << key;
        EXPECT_TRUE(dialog->isVisible());
    }
}

TEST_F(PlatformTest, AboutLinkOpensOnlyOnline) {
    std::vector<std::string> opened;
    auto open = [&](const std::string& url) { opened.push_back(url); };
    auto dialog = buildDialog("ABOUT_DLG", nullptr, &aboutDialogProc, {windows.offline, open});
    dialog->forward(kWmInitDialog, 0, 0);
    dialog->show();
    auto* text = dynamic_cast<StaticText*>(dialog->control(IDC_LINK));
    ASSERT_TRUE(text && text->isLink() && text->cursor().shape() == Qt::PointingHandCursor);
    for (const char* network : {"online", "offline"})  // as the network is told for tests
        setenv("OSTREL_NETWORK", network, 1), QTest::mouseClick(text, Qt::LeftButton);
    EXPECT_EQ(opened, std::vector<std::string>{kMakerUrl});
}

}  // namespace
}  // namespace ostrel::platform::qt

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed
    setenv("OSTREL_AUDIO_OUT", "null", 0);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
