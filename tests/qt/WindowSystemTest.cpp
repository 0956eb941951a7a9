// The main window on Qt's offscreen display: which messages the window
// procedure gets for the window's creation and Qt's events, in which order,
// and how the player's loop calls behave.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {
namespace {

constexpr const char* kClass = " ostrelwin";
constexpr const char* kTitle = " ostrel v2.03";

struct Seen {
    std::uint32_t message;
    WParam wParam = 0;
    LParam lParam = 0;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;

LResult record(WindowHandle, std::uint32_t message, WParam wParam, LParam lParam) {
    seen.push_back({message, wParam, lParam});
    return 0;
}

std::vector<Seen> seenOf(std::initializer_list<std::uint32_t> kinds) {
    std::vector<Seen> some;
    for (const Seen& s : seen)
        if (std::find(kinds.begin(), kinds.end(), s.message) != kinds.end()) some.push_back(s);
    return some;
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        ASSERT_NE(
            system.registerClass({.windowProc = &record, .menuResource = 104, .className = kClass}),
            0);
    }
    WindowHandle create(std::uint32_t style = kWsPopup | kWsVisible | kWsOverlappedWindow) {
        return system.createWindow(kWsExAcceptFiles | kWsExWindowEdge | kWsExClientEdge, kClass,
                                   kTitle, style, 200, 200, 462, 386, nullptr);
    }
    // Takes every queued message, as the player's loop does, and dispatches it.
    std::vector<Message> drain() {
        std::vector<Message> taken;
        for (Message m; system.queuedMessages() > 0 && system.getMessage(m) != 0;)
            taken.push_back(m), system.translateAndDispatch(m);
        return taken;
    }
    WindowSystem system;
};

TEST_F(WindowSystemTest, CreationThePointerTheLoopAndClosing) {
    WindowHandle window = create();
    MainWindow* main = system.mainWindow();
    EXPECT_TRUE(main->isVisible() && main->acceptDrops());
    QTest::qWait(100);
    // The client area is the window inside its frame and under its menu bar.
    const QMargins frame = main->windowHandle()->frameMargins();
    const int w = 462 - frame.left() - frame.right();
    const int h = 386 - frame.top() - frame.bottom() - main->menuBar()->height();
    EXPECT_EQ(seenOf({kWmSize}), (std::vector<Seen>{{kWmSize, 0, w | h << 16}}));
    Rect client;
    EXPECT_TRUE(system.getClientRect(window, client) && client == (Rect{0, 0, w, h}));
    EXPECT_FALSE(system.getClientRect(reinterpret_cast<WindowHandle>(&client), client));
    EXPECT_FALSE(system.findOwnWindow(kClass, " v2.02") ||
                 system.findOwnWindow("ostrelwin", kTitle));
    // A hidden pointer comes back when the pointer moves.
    EXPECT_EQ(system.setCursor(nullptr), WindowSystem::arrowCursor());
    EXPECT_EQ(main->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(system.setCursor(nullptr), nullptr);  // hidden already
    QTest::mouseMove(main->client(), QPoint(20, 20));
    QTest::mouseMove(main->client(), QPoint(25, 25));
    EXPECT_NE(main->cursor().shape(), Qt::BlankCursor);
    drain();
    // Quit comes after every posted message.
    system.postMessage(window, kWmKeyDown, 0x41, 0);
    system.postQuitMessage(7);
    system.postMessage(window, kWmKeyDown, 0x42, 0);
    EXPECT_TRUE(system.peekMessage());
    Message m;
    EXPECT_TRUE(system.getMessage(m) == 1 && m.wParam == 0x41u);
    EXPECT_TRUE(system.getMessage(m) == 1 && m.wParam == 0x42u);
    EXPECT_TRUE(system.getMessage(m) == 0 && m.message == kWmQuit && m.wParam == 7u);
    EXPECT_FALSE(system.peekMessage());
    // A message sent to the window (here a resize) ends the loop's wait.
    seen.clear();
    QTimer::singleShot(50, [&] { main->resize(300, 300); });
    system.waitMessage();
    EXPECT_EQ(system.queuedMessages(), 0u);
    EXPECT_EQ(seenOf({kWmSize}),
              (std::vector<Seen>{{kWmSize, 0, 300 | main->client()->height() << 16}}));
    seen.clear();
    main->close();  // the close box: refused by Qt, queued for the procedure
    EXPECT_EQ(drain().size(), 1u);
    EXPECT_EQ(system.defWindowProc(window, kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}}));
    EXPECT_TRUE(main->isVisible());
    // Only the default procedure destroys.
    system.defWindowProc(window, kWmClose, 0, 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}, {kWmDestroy}}));
    EXPECT_TRUE(!main->isVisible() && !system.findOwnWindow(kClass, kTitle));
    // Nothing reaches a destroyed window any more.
    system.postMessage(window, kWmKeyDown, kVkEscape, 0);
    drain();
    EXPECT_EQ(system.sendMessage(window, kWmSize, 0, 0), 0);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WindowSystemTest, QtEventsBecomeTheMessagesOfTheirKind) {
    WindowHandle window = create();
    MainWindow* main = system.mainWindow();
    QWidget* client = main->client();
    QMenuBar* bar = main->menuBar();
    QWidget other;
    auto keys = [&](QWidget* to, std::vector<Qt::Key> pressed, Qt::KeyboardModifiers mods = {}) {
        return [=] {
            for (Qt::Key key : pressed)
                QTest::keyClick(key == Qt::Key_F10 ? client : to, key, mods);
        };
    };
    auto awayAndBack = [] {
        for (auto s : {Qt::ApplicationInactive, Qt::ApplicationHidden, Qt::ApplicationActive,
                       Qt::ApplicationActive})
            emit qApp->applicationStateChanged(s);
    };
    const struct Row {
        std::string name;
        std::function<void()> act;
        std::vector<Seen> expected;
        bool queued = true;  // taken by the loop, not sent within Qt's event handling
    } fixed[] = {
        // clang-format off
        {"Escape, A", keys(client, {Qt::Key_Escape, Qt::Key_A}), {{kWmKeyDown, 0x1B, 1}, {kWmKeyDown, 0x41, 1}}},
        {"Alt+Z, a system key", keys(client, {Qt::Key_Z}, Qt::AltModifier), {}},
        {"F10, Escape: into the menu bar and out", keys(bar, {Qt::Key_F10, Qt::Key_Escape}), {}},
        {"F10, Right, Return", keys(bar, {Qt::Key_F10, Qt::Key_Right, Qt::Key_Return}),
         {{kWmCommand, 40002}}},
        {"to another program and back", awayAndBack, {{kWmActivateApp, 0}, {kWmActivateApp, 1}}, false},
        {"another window takes the focus", [&] { other.show(), other.activateWindow(); },
         {{kWmActivate, kWaInactive}}, false},
        {"the focus comes back", [&] { main->activateWindow(); }, {{kWmActivate, 1}}, false},
        // clang-format on
    };
    std::vector<Row> rows(std::begin(fixed), std::end(fixed));
    // The menu bar's nine commands in order, each reached by Alt and a letter.
    const char* labels[] = {"&Open", "&Start", "&Pause", "S&top", "St&ream",
                            "Sa&ve", "&About", "S&ite",  "E&xit"};
    const WParam ids[] = {40001, 40002, 40003, 40004, 40005, 40009, 40010, 40015, 40016};
    ASSERT_EQ(bar->actions().size(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(bar->actions()[i]->text(), QString::fromLatin1(labels[i]));
        const auto letter = static_cast<Qt::Key>(std::toupper(std::strchr(labels[i], '&')[1]));
        rows.push_back(
            {labels[i], keys(client, {letter}, Qt::AltModifier), {{kWmCommand, ids[i]}}});
    }
    QApplication::setActiveWindow(main);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTest::qWait(50);
        seen.clear();
        const auto kinds = {kWmKeyDown, kWmCommand, kWmActivateApp, kWmActivate};
        row.act();
        EXPECT_TRUE(!row.queued || seenOf(kinds).empty());
        auto done = [&] {
            for (const Message& m : drain())
                EXPECT_EQ(m.window, window);
            return seenOf(kinds).size() >= row.expected.size();
        };
        (void)QTest::qWaitFor(done, row.expected.empty() ? 100 : 2000);
        EXPECT_EQ(seenOf(kinds), row.expected);
    }
}

TEST_F(WindowSystemTest, DroppedLocalFilesBecomeOneDropMessageWithTheirPaths) {
    create();
    system.filesDropped({"/tmp/first clip.avi", "/tmp/b.avi"});
    std::vector<Message> taken = drain();
    ASSERT_TRUE(taken.size() == 1 && taken[0].message == kWmDropFiles);
    auto drop = reinterpret_cast<DropHandle>(taken[0].wParam);
    char buffer[256], small[6];
    // The count, a length, a path, one cut to the buffer, none past the last.
    EXPECT_EQ((std::vector<std::uint32_t>{system.dragQueryFile(drop, 0xFFFFFFFFu, nullptr, 0),
                                          system.dragQueryFile(drop, 0, nullptr, 0),
                                          system.dragQueryFile(drop, 0, buffer, sizeof buffer),
                                          system.dragQueryFile(drop, 1, small, sizeof small),
                                          system.dragQueryFile(drop, 2, buffer, sizeof buffer)}),
              (std::vector<std::uint32_t>{2, 19, 19, 5, 0}));
    EXPECT_EQ(std::string(buffer) + "|" + small, "/tmp/first clip.avi|/tmp/");
    system.dragFinish(drop);
}

TEST_F(WindowSystemTest, PopupWithoutFrameStyleIsFrameless) {
    create(kWsPopup | kWsVisible);
    EXPECT_TRUE(system.mainWindow()->windowFlags() & Qt::FramelessWindowHint);
}

}  // namespace
}  // namespace ostrel::platform::qt
