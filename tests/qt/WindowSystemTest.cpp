// The main window on Qt's offscreen display: which messages the window
// procedure gets for the window's creation and Qt's events, in which order,
// how the player's loop calls behave, and what reaches the window's picture.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <functional>

#include "TestSupport.h"
#include "platform/qt/QtDirectDraw.h"
#include "platform/qt/QtToolBar.h"
#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {
namespace {

constexpr const char* kClass = " ostrelwin";
constexpr const char* kTitle = " ostrel v2.03";
constexpr std::uint32_t kFramed = kWsPopup | kWsVisible | kWsOverlappedWindow;

struct Seen {
    std::uint32_t message;
    WParam wParam = 0;
    LParam lParam = 0;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> seen;
std::function<void(WindowHandle, std::uint32_t)> onMessage;

LResult record(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    seen.push_back({message, wParam, lParam});
    if (onMessage) onMessage(window, message);
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
        onMessage = nullptr;
        WindowClass windowClass;
        windowClass.windowProc = &record;
        windowClass.className = kClass;
        windowClass.menuResource = 104;
        ASSERT_NE(system.registerClass(windowClass), 0);
    }
    WindowHandle create(std::uint32_t style = kFramed) {
        return system.createWindow(kWsExAcceptFiles | kWsExWindowEdge | kWsExClientEdge, kClass,
                                   kTitle, style, 200, 200, 462, 386, nullptr);
    }
    // Takes every queued message, as the player's loop does, and dispatches it.
    std::vector<Message> drain() {
        std::vector<Message> taken;
        for (Message m; system.queuedMessages() > 0 && system.getMessage(m) != 0;) {
            taken.push_back(m);
            system.translateAndDispatch(m);
        }
        return taken;
    }
    WindowSystem system;
};

TEST_F(WindowSystemTest, CreationSendsOneSizeMessageAndCloseAsksTheProcedure) {
    WindowHandle window = create();
    MainWindow* main = system.mainWindow();
    EXPECT_TRUE(main->isVisible() && main->acceptDrops());
    test::processUntil([] { return false; }, 100);
    // The client area is the window inside its frame and under its menu bar.
    const QMargins frame = main->windowHandle()->frameMargins();
    const int w = 462 - frame.left() - frame.right();
    const int h = 386 - frame.top() - frame.bottom() - main->menuBar()->height();
    EXPECT_EQ(seenOf({kWmSize}), (std::vector<Seen>{{kWmSize, 0, w | h << 16}}));
    Rect client;
    EXPECT_TRUE(system.getClientRect(window, client) && client == (Rect{0, 0, w, h}));
    EXPECT_FALSE(system.getClientRect(reinterpret_cast<WindowHandle>(&client), client));
    EXPECT_EQ(system.findOwnWindow(kClass, " ostrel v2.02"), nullptr);
    EXPECT_EQ(system.findOwnWindow("ostrelwin", kTitle), nullptr);
    seen.clear();
    main->close();  // the close box: refused by Qt, queued for the procedure
    EXPECT_EQ(drain().size(), 1u);
    EXPECT_EQ(system.defWindowProc(window, kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}}));
    EXPECT_TRUE(main->isVisible());
    // Only the default procedure destroys; the procedure still finds the
    // window in its destroy message (the configuration writer measures it).
    onMessage = [&](WindowHandle destroyed, std::uint32_t) {
        EXPECT_EQ(system.findOwnWindow(kClass, kTitle), destroyed);
    };
    system.defWindowProc(window, kWmClose, 0, 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}, {kWmDestroy}}));
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(system.findOwnWindow(kClass, kTitle), nullptr);
    // Nothing reaches a destroyed window any more.
    system.postMessage(window, kWmKeyDown, kVkEscape, 0);
    drain();
    EXPECT_EQ(system.sendMessage(window, kWmSize, 0, 0), 0);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WindowSystemTest, PopupWithoutFrameStyleIsFrameless) {
    create(kWsPopup | kWsVisible);
    EXPECT_TRUE(system.mainWindow()->windowFlags() & Qt::FramelessWindowHint);
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
    auto appStates = [](std::vector<Qt::ApplicationState> states) {
        return [=] {
            for (auto s : states)
                emit qApp->applicationStateChanged(s);
        };
    };
    auto click = [&](Qt::MouseButton button) {
        return [=] { QTest::mouseClick(client, button, {}, QPoint(30, 40)); };
    };
    const struct Row {
        std::string name;
        std::function<void()> act;
        std::vector<Seen> expected;
        bool queued = true;  // taken by the loop, not sent within Qt's event handling
    } fixed[] = {
        // clang-format off
        {"Escape", keys(client, {Qt::Key_Escape}), {{kWmKeyDown, 0x1B, 1}}},
        {"Space", keys(client, {Qt::Key_Space}), {{kWmKeyDown, 0x20, 1}}},
        {"A", keys(client, {Qt::Key_A}), {{kWmKeyDown, 0x41, 1}}},
        {"Left", keys(client, {Qt::Key_Left}), {{kWmKeyDown, 0x25, 1}}},
        {"Alt+Z, a system key", keys(client, {Qt::Key_Z}, Qt::AltModifier), {}},
        {"F10, Escape: into the menu bar and out", keys(bar, {Qt::Key_F10, Qt::Key_Escape}), {}},
        {"F10, Right, Return", keys(bar, {Qt::Key_F10, Qt::Key_Right, Qt::Key_Return}),
         {{kWmCommand, 40002}}},
        {"left click", click(Qt::LeftButton), {{kWmLButtonDown, 1, 30 | 40 << 16}}},
        {"right click", click(Qt::RightButton), {}},
        {"to another program and back", appStates({Qt::ApplicationInactive, Qt::ApplicationHidden,
         Qt::ApplicationActive, Qt::ApplicationActive}), {{kWmActivateApp, 0}, {kWmActivateApp, 1}},
         false},
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
        test::processUntil([] { return false; }, 50);
        seen.clear();
        const auto kinds = {kWmKeyDown, kWmCommand, kWmLButtonDown, kWmActivateApp, kWmActivate};
        row.act();
        EXPECT_TRUE(!row.queued || seenOf(kinds).empty());
        std::vector<Message> taken;
        test::processUntil(
            [&] {
                for (const Message& m : drain())
                    taken.push_back(m);
                return seenOf(kinds).size() >= row.expected.size();
            },
            row.expected.empty() ? 100 : 2000);
        EXPECT_EQ(seenOf(kinds), row.expected);
        for (const Message& m : taken)
            EXPECT_EQ(m.window, window);
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
    EXPECT_STREQ(buffer, "/tmp/first clip.avi");
    EXPECT_STREQ(small, "/tmp/");
    system.dragFinish(drop);
}

TEST_F(WindowSystemTest, QuitComesAfterEveryPostedMessageAndWaitsEndOnMessages) {
    WindowHandle window = create();
    system.postMessage(window, kWmKeyDown, 0x41, 0);
    system.postQuitMessage(7);
    system.postMessage(window, kWmKeyDown, 0x42, 0);
    EXPECT_TRUE(system.peekMessage());
    Message m;
    EXPECT_TRUE(system.getMessage(m) == 1 && m.wParam == 0x41u);
    EXPECT_TRUE(system.getMessage(m) == 1 && m.wParam == 0x42u);
    EXPECT_TRUE(system.getMessage(m) == 0 && m.message == kWmQuit && m.wParam == 7u);
    EXPECT_FALSE(system.peekMessage());
    // A posted message, or one sent to the window (a hand-over, an
    // activation), changes what the loop has to do.
    test::processUntil([] { return false; }, 200);
    QTimer::singleShot(50, [&] { system.postMessage(window, kWmCommand, 40002, 0); });
    system.waitMessage();
    EXPECT_EQ(drain().size(), 1u);
    seen.clear();
    QTimer::singleShot(50, [&] { system.mainWindow()->resize(300, 300); });
    system.waitMessage();
    EXPECT_EQ(system.queuedMessages(), 0u);
    EXPECT_EQ(seenOf({kWmSize}).size(), 1u);
}

TEST_F(WindowSystemTest, HiddenPointerComesBackWhenThePointerMoves) {
    create();
    MainWindow* main = system.mainWindow();
    CursorHandle arrow = WindowSystem::arrowCursor();
    EXPECT_EQ(system.setCursor(nullptr), arrow);
    EXPECT_EQ(main->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(system.setCursor(nullptr), nullptr);  // hidden already
    QTest::mouseMove(main->client(), QPoint(20, 20));
    QTest::mouseMove(main->client(), QPoint(25, 25));
    EXPECT_NE(main->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(system.setCursor(arrow), arrow);
}

TEST_F(WindowSystemTest, DisplayObjectsClipFillAndKeepWhatWasDrawnForRepaints) {
    WindowHandle window = create();
    QtDirectDrawFactory factory(system);
    std::unique_ptr<DirectDraw> dd;
    EXPECT_EQ(factory.createDirectDraw(nullptr, 0x11, dd), kFail);  // the normal level only
    ASSERT_EQ(factory.createDirectDraw(WindowSystem::desktopHandle(), kDdsclNormal, dd), kOk);
    SurfaceDesc desc, wrongSize;
    desc.flags = kDdsdCaps;
    desc.caps = kDdsCapsPrimarySurface;
    wrongSize.size = 100;
    std::unique_ptr<DirectDrawSurface> primary, offscreen, refused;
    ASSERT_EQ(dd->createSurface(desc, primary), kOk);
    EXPECT_EQ(primary->getSurfaceDesc(wrongSize), kFail);
    ASSERT_EQ(primary->getSurfaceDesc(desc), kOk);
    // An off-screen surface like the primary, in no other format, taking no clipper.
    desc.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    desc.caps = kDdsCapsOffscreenPlain;
    ASSERT_EQ(dd->createSurface(desc, offscreen), kOk);
    std::unique_ptr<DirectDrawClipper> clipper;
    ASSERT_EQ(dd->createClipper(0, clipper), kOk);
    EXPECT_EQ(offscreen->setClipper(clipper.get()), kFail);
    desc.pixelFormat.bytes[12] = 16;
    EXPECT_TRUE(dd->createSurface(desc, refused) == kFail && !refused);
    // The part a clip's frames use: rows of its own width, black at first,
    // on the 64-byte boundaries the video converter writes fastest to;
    // growing it keeps what was drawn.
    auto* surface = static_cast<QtOffscreenSurface*>(offscreen.get());
    ASSERT_TRUE(surface->cover(QRect(0, 0, 100, 50)));
    QImage& image = *surface->image();
    EXPECT_EQ(image.pixel(99, 49), qRgb(0, 0, 0));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.constBits()) % 64, 0u);
    EXPECT_EQ(image.bytesPerLine(), 448);
    image.setPixel(99, 49, qRgb(0, 255, 0));
    ASSERT_TRUE(surface->cover(QRect(0, 0, 120, 60)));
    EXPECT_EQ(image.size(), QSize(120, 60));
    EXPECT_EQ(image.pixel(99, 49), qRgb(0, 255, 0));
    EXPECT_FALSE(surface->cover(QRect(0, 0, system.screenSize().width() + 1, 1)));
    // Black over green, half above the client area: the green lower half
    // lands at its top. The clipper may go first.
    ASSERT_EQ(primary->setClipper(clipper.get()), kOk);
    ASSERT_EQ(clipper->setHWnd(0, window), kOk);
    clipper.reset();
    Point o{0, 0};
    system.clientToScreen(window, o);
    Rect above{o.x, o.y - 10, o.x + 20, o.y + 10}, sample{99, 48, 100, 50};
    Rect fill{o.x + 10, o.y, o.x + 20, o.y + 10};
    BltFx fx;
    EXPECT_EQ(primary->blt(&above, offscreen.get(), &sample, kDdbltWait, nullptr), kOk);
    EXPECT_EQ(primary->blt(&fill, nullptr, &fill, kDdbltColorFill, &fx), kOk);
    // More small fills than are kept as drawings: a repaint Qt asks for on
    // its own (rendering the area through its paint event) shows them all.
    for (int i = 0; i < 40; ++i) {
        Rect dot{o.x + 50 + i, o.y, o.x + 51 + i, o.y + 1};
        system.fillScreen(&dot, i % 2 ? 0xFFFFFF : 0x00FF00);
    }
    const QImage shown = system.mainWindow()->client()->picture();
    EXPECT_EQ(system.mainWindow()->client()->grab().toImage().convertToFormat(QImage::Format_RGB32),
              shown);
    EXPECT_EQ((std::vector<QRgb>{shown.pixel(5, 5), shown.pixel(15, 5), shown.pixel(25, 5),
                                 shown.pixel(50, 0), shown.pixel(51, 0), shown.pixel(89, 0),
                                 shown.pixel(90, 0)}),
              (std::vector<QRgb>{0xFF00FF00, 0xFF000000, 0xFF000000, 0xFF00FF00, 0xFFFFFFFF,
                                 0xFFFFFFFF, 0xFF000000}));
}

TEST_F(WindowSystemTest, ToolBarSitsOverTheClientAreaFollowsItsWidthAndSendsCommands) {
    WindowHandle window = create();
    ClientArea* client = system.mainWindow()->client();
    const ToolButton buttons[] = {
        {0, 0, kTbStateEnabled, kTbStyleSep},        {0, 40001, kTbStateEnabled, kTbStyleButton},
        {1, 40002, kTbStateEnabled, kTbStyleButton}, {8, 40016, kTbStateEnabled, kTbStyleButton},
        {9, 0, kTbStateEnabled, kTbStyleSep},
    };
    ToolBarParams params;
    params.parent = window;
    params.style = kWsChild | kWsVisible;
    params.id = 5;
    params.imageCount = 9;
    params.bitmapResource = 105;
    params.buttons = buttons;
    params.buttonCount = 5;
    params.buttonWidth = params.buttonHeight = params.imageWidth = params.imageHeight = 16;
    std::vector<int> chosen;
    QToolBar* toolBar =
        buildToolBar(client, params, [&](int command, QToolBar*) { chosen.push_back(command); });
    ASSERT_NE(toolBar, nullptr);
    EXPECT_TRUE(toolBar->isVisible());
    EXPECT_EQ(toolBar->geometry(), QRect(0, 0, client->width(), toolBar->height()));
    EXPECT_EQ(toolBar->iconSize(), QSize(16, 16));
    QList<QAction*> commands;
    for (QAction* action : toolBar->actions())
        if (!action->icon().isNull()) commands.push_back(action), action->trigger();
    EXPECT_EQ(chosen, (std::vector<int>{40001, 40002, 40016}));
    // The glyphs come from the strip, the button face showing through.
    const QImage exitGlyph = commands.back()->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(exitGlyph.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(exitGlyph.pixel(0, 0)), 0);
    // A resize sends the new client size; the tool bar follows.
    seen.clear();
    system.mainWindow()->resize(600, 420);
    test::processUntil([&] { return !seenOf({kWmSize}).empty() && toolBar->width() == 600; });
    EXPECT_EQ(seenOf({kWmSize}), (std::vector<Seen>{{kWmSize, 0, 600 | client->height() << 16}}));
    EXPECT_EQ(toolBar->width(), 600);
}

}  // namespace
}  // namespace ostrel::platform::qt
