// The main window on Qt's offscreen display: which messages the window
// procedure gets for the window's creation and Qt's events, in which order,
// how the player's loop calls behave, and what reaches the window's picture.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QPainter>
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
    QImage picture() { return system.mainWindow()->client()->picture(); }

    WindowSystem system;
};

TEST_F(WindowSystemTest, CreationSendsOneSizeMessageWithTheClientSizeAndMapsItOnScreen) {
    EXPECT_EQ(system.createWindow(0, " other", kTitle, kFramed, 0, 0, 100, 100, nullptr), nullptr);
    WindowHandle window = create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(create(), nullptr);  // one main window
    MainWindow* main = system.mainWindow();
    EXPECT_TRUE(main->isVisible() && main->acceptDrops());
    EXPECT_EQ(main->windowTitle(), QString::fromLatin1(kTitle));
    test::processUntil([] { return false; }, 100);
    // The client area is the window inside its frame and under its menu bar.
    const int menu = main->menuBar()->height();
    const QMargins frame = main->windowHandle()->frameMargins();
    const int w = 462 - frame.left() - frame.right(), h = 386 - frame.top() - frame.bottom() - menu;
    EXPECT_GT(menu, 0);
    EXPECT_EQ(seenOf({kWmSize}), (std::vector<Seen>{{kWmSize, 0, w | h << 16}}));
    Rect outer, client;
    ASSERT_TRUE(system.getWindowRect(window, outer) && system.getClientRect(window, client));
    EXPECT_EQ(outer, (Rect{200, 200, 662, 586}));
    EXPECT_EQ(client, (Rect{0, 0, w, h}));
    Point corner{0, 0}, far{w, h};
    ASSERT_TRUE(system.clientToScreen(window, corner) && system.clientToScreen(window, far));
    EXPECT_EQ(corner, (Point{200 + frame.left(), 200 + frame.top() + menu}));
    EXPECT_EQ(far, (Point{662 - frame.right(), 586 - frame.bottom()}));
    EXPECT_FALSE(system.getClientRect(reinterpret_cast<WindowHandle>(&client), client));
    // Found only by its class and its title.
    EXPECT_EQ(system.findOwnWindow(kClass, kTitle), window);
    EXPECT_EQ(system.findOwnWindow(kClass, " ostrel v2.02"), nullptr);
    EXPECT_EQ(system.findOwnWindow("ostrelwin", kTitle), nullptr);
}

TEST_F(WindowSystemTest, PopupWithoutFrameStyleIsFrameless) {
    create(kWsPopup | kWsVisible);
    EXPECT_TRUE(system.mainWindow()->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(WindowSystemTest, CloseAsksTheProcedureAndOnlyTheDefaultProcedureDestroys) {
    WindowHandle window = create();
    MainWindow* main = system.mainWindow();
    seen.clear();
    main->close();  // the close box: refused by Qt, queued for the procedure
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(drain().size(), 1u);
    EXPECT_EQ(system.defWindowProc(window, kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}}));
    EXPECT_TRUE(main->isVisible());
    // The configuration writer finds and measures the window in its destroy message.
    Rect during;
    onMessage = [&](WindowHandle w, std::uint32_t) {
        EXPECT_EQ(system.findOwnWindow(kClass, kTitle), w);
        system.getWindowRect(w, during);
    };
    system.defWindowProc(window, kWmClose, 0, 0);
    EXPECT_EQ(seen, (std::vector<Seen>{{kWmClose}, {kWmDestroy}}));
    EXPECT_EQ(during, (Rect{200, 200, 662, 586}));
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(system.findOwnWindow(kClass, kTitle), nullptr);
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
    auto state = [](Qt::ApplicationState s) {
        return [=] { emit qApp->applicationStateChanged(s); };
    };
    const struct Row {
        std::string name;
        std::function<void()> act;
        std::vector<Seen> expected;
        bool queued = true;  // taken by the loop, not sent within Qt's event handling
    } fixed[] = {
        {"Escape", keys(client, {Qt::Key_Escape}), {{kWmKeyDown, 0x1B, 1}}},
        {"Space", keys(client, {Qt::Key_Space}), {{kWmKeyDown, 0x20, 1}}},
        {"A", keys(client, {Qt::Key_A}), {{kWmKeyDown, 0x41, 1}}},
        {"Left", keys(client, {Qt::Key_Left}), {{kWmKeyDown, 0x25, 1}}},
        {"Alt+Z, a system key", keys(client, {Qt::Key_Z}, Qt::AltModifier), {}},
        {"F10, Escape: into the menu bar and out", keys(bar, {Qt::Key_F10, Qt::Key_Escape}), {}},
        {"F10, Right, Return",
         keys(bar, {Qt::Key_F10, Qt::Key_Right, Qt::Key_Return}),
         {{kWmCommand, 40002}}},
        {"left click",
         [&] { QTest::mouseClick(client, Qt::LeftButton, {}, QPoint(30, 40)); },
         {{kWmLButtonDown, 1, 30 | 40 << 16}}},
        {"right click", [&] { QTest::mouseClick(client, Qt::RightButton, {}, QPoint(5, 5)); }, {}},
        {"to another program and back",
         [&] {
             for (auto s : {Qt::ApplicationInactive, Qt::ApplicationHidden, Qt::ApplicationActive,
                            Qt::ApplicationActive})
                 state(s)();
         },
         {{kWmActivateApp, 0}, {kWmActivateApp, 1}},
         false},
        {"another window takes the focus",
         [&] { other.show(), other.activateWindow(); },
         {{kWmActivate, kWaInactive}},
         false},
        {"the focus comes back", [&] { main->activateWindow(); }, {{kWmActivate, 1}}, false},
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
    ASSERT_EQ(taken.size(), 1u);
    ASSERT_EQ(taken[0].message, kWmDropFiles);
    auto drop = reinterpret_cast<DropHandle>(taken[0].wParam);
    char buffer[256], small[6];
    EXPECT_EQ(system.dragQueryFile(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(system.dragQueryFile(drop, 0, nullptr, 0), 19u);
    EXPECT_EQ(system.dragQueryFile(drop, 0, buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "/tmp/first clip.avi");
    EXPECT_EQ(system.dragQueryFile(drop, 1, small, sizeof small), 5u);
    EXPECT_STREQ(small, "/tmp/");
    EXPECT_EQ(system.dragQueryFile(drop, 2, buffer, sizeof buffer), 0u);
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

TEST_F(WindowSystemTest, DisplayObjectsDrawScaledClippedAndKeptForRepaints) {
    WindowHandle window = create();
    QtDirectDrawFactory factory(system);
    std::unique_ptr<DirectDraw> dd;
    EXPECT_EQ(factory.createDirectDraw(nullptr, 0x11, dd), kFail);
    ASSERT_EQ(factory.createDirectDraw(WindowSystem::desktopHandle(), kDdsclNormal, dd), kOk);
    // The primary surface is the screen in 32-bit RGB.
    SurfaceDesc desc, wrongSize;
    desc.flags = kDdsdCaps;
    desc.caps = kDdsCapsPrimarySurface;
    std::unique_ptr<DirectDrawSurface> primary, offscreen, refused;
    ASSERT_EQ(dd->createSurface(desc, primary), kOk);
    wrongSize.size = 100;
    EXPECT_EQ(primary->getSurfaceDesc(wrongSize), kFail);
    ASSERT_EQ(primary->getSurfaceDesc(desc), kOk);
    const QSize screen = system.screenSize();
    EXPECT_EQ(QSize(desc.width, desc.height), screen);
    std::uint32_t words[8];
    std::memcpy(words, desc.pixelFormat.bytes, 32);
    // Record size, RGB, bits per pixel, red, green and blue masks.
    EXPECT_EQ(
        (std::vector<std::uint32_t>{words[0], words[1], words[3], words[4], words[5], words[6]}),
        (std::vector<std::uint32_t>{32, 0x40, 32, 0xFF0000, 0xFF00, 0xFF}));
    // An off-screen surface like it, in no other format, taking no clipper.
    SurfaceDesc off = desc;
    off.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    off.caps = kDdsCapsOffscreenPlain;
    ASSERT_EQ(dd->createSurface(off, offscreen), kOk);
    std::unique_ptr<DirectDrawClipper> clipper;
    ASSERT_EQ(dd->createClipper(0, clipper), kOk);
    EXPECT_EQ(offscreen->setClipper(clipper.get()), kFail);
    off.pixelFormat.bytes[12] = 16;
    EXPECT_EQ(dd->createSurface(off, refused), kFail);
    EXPECT_EQ(refused, nullptr);
    // The part a clip's frames use: rows of its own width, black at first,
    // on the 64-byte boundaries the video converter writes fastest to;
    // growing it keeps what was drawn.
    auto* surface = static_cast<QtOffscreenSurface*>(offscreen.get());
    ASSERT_TRUE(surface->cover(QRect(0, 0, 100, 50)));
    const QImage& image = *surface->image();
    EXPECT_EQ(image.pixel(99, 49), qRgb(0, 0, 0));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.constBits()) % 64, 0u);
    EXPECT_EQ(image.bytesPerLine(), 448);
    surface->image()->setPixel(99, 49, qRgb(1, 2, 3));
    ASSERT_TRUE(surface->cover(QRect(0, 0, 4, 2)));
    EXPECT_EQ(image.size(), QSize(100, 50));
    EXPECT_EQ(image.pixel(99, 49), qRgb(1, 2, 3));
    EXPECT_FALSE(surface->cover(QRect(0, 0, screen.width() + 1, 1)));

    // A 4 x 2 picture, red and blue over green and white, blitted through
    // the clipper onto the whole client area.
    ASSERT_EQ(primary->setClipper(clipper.get()), kOk);
    ASSERT_EQ(clipper->setHWnd(0, window), kOk);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
               white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            surface->image()->setPixel(x, y, x < 2 ? (y ? green : red) : (y ? white : blue));
    Rect client, sample{0, 0, 4, 2};
    system.getClientRect(window, client);
    const int w = client.right, h = client.bottom;
    Point o{0, 0};
    system.clientToScreen(window, o);
    Rect dest{o.x, o.y, o.x + w, o.y + h};
    EXPECT_EQ(primary->blt(&dest, offscreen.get(), &sample, kDdbltWait, nullptr), kOk);
    EXPECT_EQ((std::vector<QRgb>{picture().pixel(0, 0), picture().pixel(w - 1, 0),
                                 picture().pixel(0, h - 1), picture().pixel(w - 1, h - 1),
                                 picture().pixel(w / 4, h / 4)}),
              (std::vector<QRgb>{red, blue, green, white, red}));
    BltFx fx;
    clipper.reset();  // the primary surface keeps what it needs
    EXPECT_EQ(primary->blt(&dest, nullptr, &dest, kDdbltColorFill, &fx), kOk);
    EXPECT_EQ(picture().pixel(w - 1, h - 1), black);
    // Half above the client area: the lower half lands at the top.
    Rect above{o.x, o.y - 10, o.x + 20, o.y + 10}, left{0, 0, 2, 2};
    EXPECT_EQ(primary->blt(&above, offscreen.get(), &left, kDdbltWait, nullptr), kOk);
    EXPECT_EQ(picture().pixel(5, 5), green);
    EXPECT_EQ(picture().pixel(25, 5), black);
    // More small fills than are kept as drawings: a repaint Qt asks for on
    // its own (rendering the area through its paint event) shows them all.
    for (int i = 0; i < 40; ++i) {
        Rect dot{o.x + 50 + i, o.y, o.x + 51 + i, o.y + 1};
        system.fillScreen(&dot, i % 2 ? 0xFFFFFF : 0x00FF00);
    }
    const QImage painted = system.mainWindow()->client()->grab().toImage();
    EXPECT_EQ(painted.convertToFormat(QImage::Format_RGB32), picture());
    EXPECT_EQ((std::vector<QRgb>{picture().pixel(50, 0), picture().pixel(51, 0),
                                 picture().pixel(89, 0), picture().pixel(90, 0)}),
              (std::vector<QRgb>{green, white, white, black}));
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
