// The main window and the message queue: which messages the window
// procedure gets for the window's creation and Qt's events, in which order,
// and how the player's loop calls behave.
#include <gtest/gtest.h>

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWindow>
#include <cstring>

#include "TestSupport.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtDirectDraw.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtToolBar.h"
#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {
namespace {

using test::received;
using test::receivedOf;

constexpr const char* kClass = " ostrelwin";
constexpr const char* kTitle = " ostrel v2.03";
constexpr std::uint32_t kFramed = kWsPopup | kWsVisible | kWsOverlappedWindow;

int lowWord(LParam l) {
    return static_cast<int>(l & 0xFFFF);
}
int highWord(LParam l) {
    return static_cast<int>((l >> 16) & 0xFFFF);
}

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        received().clear();
        test::reaction() = nullptr;
        WindowClass windowClass;
        windowClass.windowProc = &test::recordingProc;
        windowClass.className = kClass;
        windowClass.menuResource = 104;
        ASSERT_NE(system.registerClass(windowClass), 0);
    }
    void TearDown() override { test::reaction() = nullptr; }

    WindowHandle create(std::uint32_t style = kFramed, int x = 200, int y = 200, int w = 462,
                        int h = 386) {
        return system.createWindow(kWsExAcceptFiles | kWsExWindowEdge | kWsExClientEdge, kClass,
                                   kTitle, style, x, y, w, h, nullptr);
    }

    // The window's client area in screen coordinates, as the player blits to it.
    Rect clientOnScreen(WindowHandle window) {
        Rect client;
        system.getClientRect(window, client);
        Point topLeft{0, 0}, bottomRight{client.right, client.bottom};
        system.clientToScreen(window, topLeft);
        system.clientToScreen(window, bottomRight);
        return Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }

    // Takes every queued message, as the player's loop does, and dispatches it.
    std::vector<Message> drain() {
        std::vector<Message> taken;
        while (system.queuedMessages() > 0) {
            Message message;
            if (system.getMessage(message) == 0) break;
            taken.push_back(message);
            system.translateAndDispatch(message);
        }
        return taken;
    }

    WindowSystem system;
};

TEST_F(WindowSystemTest, CreationShowsTheWindowAndSendsOneSizeMessageBeforeReturning) {
    WindowHandle window = create();
    ASSERT_NE(window, nullptr);
    MainWindow* main = system.mainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), QString::fromLatin1(kTitle));

    auto sizes = receivedOf(kWmSize);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].window, window);
    // The client area is the window inside its frame and under its menu bar.
    int menuHeight = main->menuBar()->height();
    EXPECT_GT(menuHeight, 0);
    QMargins frame = main->windowHandle()->frameMargins();
    EXPECT_EQ(lowWord(sizes[0].lParam), 462 - frame.left() - frame.right());
    EXPECT_EQ(highWord(sizes[0].lParam), 386 - frame.top() - frame.bottom() - menuHeight);

    // Showing it again sends no second size message.
    test::processUntil([] { return false; }, 100);
    EXPECT_EQ(receivedOf(kWmSize).size(), 1u);
}

TEST_F(WindowSystemTest, UnknownClassOrSecondWindowIsRefused) {
    EXPECT_EQ(system.createWindow(0, " otherclass", kTitle, kFramed, 0, 0, 100, 100, nullptr),
              nullptr);
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(create(), nullptr);
}

TEST_F(WindowSystemTest, OuterRectangleClientRectangleAndScreenPoints) {
    WindowHandle window = create(kFramed, 120, 90, 400, 300);
    Rect outer;
    ASSERT_TRUE(system.getWindowRect(window, outer));
    EXPECT_EQ(outer, (Rect{120, 90, 520, 390}));

    // The outer rectangle holds the window manager's frame (Qt's offscreen
    // display draws one too), the menu bar and the client area.
    int menuHeight = system.mainWindow()->menuBar()->height();
    QMargins frame = system.mainWindow()->windowHandle()->frameMargins();
    Rect client;
    ASSERT_TRUE(system.getClientRect(window, client));
    EXPECT_EQ(client, (Rect{0, 0, 400 - frame.left() - frame.right(),
                            300 - frame.top() - frame.bottom() - menuHeight}));

    Point corner{0, 0};
    ASSERT_TRUE(system.clientToScreen(window, corner));
    EXPECT_EQ(corner, (Point{120 + frame.left(), 90 + frame.top() + menuHeight}));
    Point far{client.right, client.bottom};
    ASSERT_TRUE(system.clientToScreen(window, far));
    EXPECT_EQ(far, (Point{520 - frame.right(), 390 - frame.bottom()}));

    EXPECT_FALSE(system.getClientRect(reinterpret_cast<WindowHandle>(&client), client));
}

TEST_F(WindowSystemTest, PopupWithoutFrameStyleIsFrameless) {
    create(kWsPopup | kWsVisible);
    EXPECT_TRUE(system.mainWindow()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(system.mainWindow()->acceptDrops());
}

TEST_F(WindowSystemTest, FindsItsWindowOnlyByItsClassAndTitle) {
    WindowHandle window = create();
    EXPECT_EQ(system.findOwnWindow(kClass, kTitle), window);
    EXPECT_EQ(system.findOwnWindow(kClass, " ostrel v2.02"), nullptr);
    EXPECT_EQ(system.findOwnWindow("ostrelwin", kTitle), nullptr);
}

TEST_F(WindowSystemTest, CloseBoxAsksTheProcedureWhichDecides) {
    WindowHandle window = create();
    received().clear();
    system.mainWindow()->close();
    // Qt's close is refused: the window stays until the procedure lets the
    // default procedure destroy it.
    EXPECT_TRUE(system.mainWindow()->isVisible());
    auto taken = drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].message, kWmClose);
    EXPECT_EQ(taken[0].window, window);
    EXPECT_TRUE(system.mainWindow()->isVisible());
}

TEST_F(WindowSystemTest, DefaultCloseDestroysTheWindowAfterItsProcedureHeardOfIt) {
    WindowHandle window = create();
    MainWindow* widget = system.mainWindow();
    bool foundDuringDestroy = false;
    Rect rectDuringDestroy;
    test::reaction() = [&](WindowHandle w, std::uint32_t message, WParam, LParam) -> LResult {
        if (message == kWmDestroy) {
            foundDuringDestroy = system.findOwnWindow(kClass, kTitle) == w;
            system.getWindowRect(w, rectDuringDestroy);
        }
        return 0;
    };
    received().clear();
    system.defWindowProc(window, kWmClose, 0, 0);
    ASSERT_EQ(received().size(), 1u);
    EXPECT_EQ(received()[0].message, kWmDestroy);
    // The configuration writer finds and measures the window in its destroy message.
    EXPECT_TRUE(foundDuringDestroy);
    EXPECT_EQ(rectDuringDestroy, (Rect{200, 200, 662, 586}));
    EXPECT_FALSE(widget->isVisible());
    EXPECT_EQ(system.findOwnWindow(kClass, kTitle), nullptr);
    // Nothing reaches a destroyed window any more.
    received().clear();
    system.postMessage(window, kWmKeyDown, kVkEscape, 0);
    drain();
    EXPECT_EQ(system.sendMessage(window, kWmSize, 0, 0), 0);
    EXPECT_TRUE(received().empty());
}

TEST_F(WindowSystemTest, OtherMessagesToTheDefaultProcedureDoNothing) {
    WindowHandle window = create();
    received().clear();
    EXPECT_EQ(system.defWindowProc(window, kWmKeyDown, kVkEscape, 0), 0);
    EXPECT_TRUE(received().empty());
    EXPECT_NE(system.mainWindow(), nullptr);
}

TEST_F(WindowSystemTest, KeysBecomeKeyDownMessagesWithVirtualKeyCodes) {
    WindowHandle window = create();
    received().clear();
    QWidget* client = system.mainWindow()->client();
    QTest::keyClick(client, Qt::Key_Escape);
    QTest::keyClick(client, Qt::Key_Space);
    QTest::keyClick(client, Qt::Key_A);
    QTest::keyClick(client, Qt::Key_Left);
    // Alt+key and F10 are system keys, not key-downs of the window.
    QTest::keyClick(client, Qt::Key_Z, Qt::AltModifier);
    QTest::keyClick(client, Qt::Key_F10);
    auto taken = drain();
    ASSERT_EQ(taken.size(), 4u);
    for (const Message& m : taken) {
        EXPECT_EQ(m.message, kWmKeyDown);
        EXPECT_EQ(m.window, window);
    }
    EXPECT_EQ(taken[0].wParam, 0x1Bu);
    EXPECT_EQ(taken[1].wParam, 0x20u);
    EXPECT_EQ(taken[2].wParam, 0x41u);
    EXPECT_EQ(taken[3].wParam, 0x25u);
}

TEST_F(WindowSystemTest, LeftClickInTheClientAreaIsQueuedWithClientCoordinates) {
    create();
    received().clear();
    QTest::mouseClick(system.mainWindow()->client(), Qt::LeftButton, {}, QPoint(30, 40));
    QTest::mouseClick(system.mainWindow()->client(), Qt::RightButton, {}, QPoint(5, 5));
    auto taken = drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].message, kWmLButtonDown);
    EXPECT_EQ(lowWord(taken[0].lParam), 30);
    EXPECT_EQ(highWord(taken[0].lParam), 40);
}

TEST_F(WindowSystemTest, MenuBarHoldsTheNineCommandsInOrderEachReachedByAltAndALetter) {
    WindowHandle window = create();
    const char* labels[] = {"&Open", "&Start", "&Pause", "S&top", "St&ream",
                            "Sa&ve", "&About", "S&ite",  "E&xit"};
    const WParam ids[] = {40001, 40002, 40003, 40004, 40005, 40009, 40010, 40015, 40016};
    QMenuBar* bar = system.mainWindow()->menuBar();
    ASSERT_EQ(bar->actions().size(), 9);
    QApplication::setActiveWindow(system.mainWindow());
    QWidget* client = system.mainWindow()->client();
    received().clear();
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(bar->actions()[i]->text(), QString::fromLatin1(labels[i]));
        QTest::keyClick(client, std::strchr(labels[i], '&')[1], Qt::AltModifier);
    }
    // F10 takes the keyboard to the menu bar: Escape leaves it; Right, Return
    // choose the second command.
    for (Qt::Key key : {Qt::Key_F10, Qt::Key_Escape, Qt::Key_F10, Qt::Key_Right, Qt::Key_Return})
        QTest::keyClick(key == Qt::Key_F10 ? client : static_cast<QWidget*>(bar), key);
    // Queued, not run inside Qt's event handling: the loop takes them in order.
    EXPECT_TRUE(received().empty());
    auto taken = drain();
    ASSERT_EQ(taken.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(taken[i].message, kWmCommand);
        EXPECT_EQ(taken[i].window, window);
        EXPECT_EQ(taken[i].wParam, ids[i < 9 ? i : 1]);
    }
}

TEST_F(WindowSystemTest, ResizeSendsSizeMessagesWithTheNewClientSize) {
    WindowHandle window = create();
    received().clear();
    system.mainWindow()->resize(500, 420);
    test::processUntil([] { return !receivedOf(kWmSize).empty(); });
    auto sizes = receivedOf(kWmSize);
    ASSERT_EQ(sizes.size(), 1u);
    Rect client;
    system.getClientRect(window, client);
    EXPECT_EQ(lowWord(sizes[0].lParam), client.right);
    EXPECT_EQ(highWord(sizes[0].lParam), client.bottom);
    EXPECT_EQ(client.right, 500);
}

TEST_F(WindowSystemTest, ActivationIsSentAsActivateMessages) {
    create();
    received().clear();
    QWidget* main = system.mainWindow();
    main->activateWindow();
    ASSERT_TRUE(test::processUntil([] { return !receivedOf(kWmActivate).empty(); }));
    EXPECT_EQ(receivedOf(kWmActivate).back().wParam & 0xFFFF, 1u);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(test::processUntil(
        [] { return (receivedOf(kWmActivate).back().wParam & 0xFFFF) == kWaInactive; }));
}

TEST_F(WindowSystemTest, ApplicationSwitchesAreSentAsActivateAppMessages) {
    WindowHandle window = create();
    test::processUntil([] { return false; }, 100);
    received().clear();
    // What the desktop tells Qt when the user turns to another program and back.
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    emit qApp->applicationStateChanged(Qt::ApplicationHidden);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    auto switches = receivedOf(kWmActivateApp);
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(switches[0].wParam, 0u);
    EXPECT_EQ(switches[1].wParam, 1u);
    EXPECT_EQ(switches[0].window, window);
}

TEST_F(WindowSystemTest, QuitComesAfterEveryPostedMessage) {
    WindowHandle window = create();
    system.postMessage(window, kWmKeyDown, 0x41, 0);
    system.postQuitMessage(7);
    system.postMessage(window, kWmKeyDown, 0x42, 0);
    EXPECT_TRUE(system.peekMessage());
    Message m;
    ASSERT_EQ(system.getMessage(m), 1);
    EXPECT_EQ(m.wParam, 0x41u);
    ASSERT_EQ(system.getMessage(m), 1);
    EXPECT_EQ(m.wParam, 0x42u);
    ASSERT_EQ(system.getMessage(m), 0);
    EXPECT_EQ(m.message, kWmQuit);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(system.peekMessage());
}

TEST_F(WindowSystemTest, WaitEndsOnAPostedMessage) {
    WindowHandle window = create();
    test::processUntil([] { return false; }, 200);
    QTimer::singleShot(50, [&] { system.postMessage(window, kWmCommand, 40002, 0); });
    system.waitMessage();
    EXPECT_EQ(system.queuedMessages(), 1u);
}

TEST_F(WindowSystemTest, WaitEndsAfterAMessageWasSentToTheWindow) {
    // A hand-over or an activation changes what the loop has to do.
    create();
    test::processUntil([] { return false; }, 200);
    received().clear();
    QTimer::singleShot(50, [&] { system.mainWindow()->resize(300, 300); });
    system.waitMessage();
    EXPECT_EQ(system.queuedMessages(), 0u);
    EXPECT_EQ(receivedOf(kWmSize).size(), 1u);
}

TEST_F(WindowSystemTest, DroppedLocalFilesBecomeOneDropMessage) {
    create();
    received().clear();
    system.filesDropped({"/tmp/first clip.avi", "/tmp/second.avi"});
    auto taken = drain();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].message, kWmDropFiles);
    EXPECT_NE(taken[0].wParam, 0u);
    // The procedure would finish the drop; the test does.
    delete reinterpret_cast<DroppedFiles*>(taken[0].wParam);
}

TEST_F(WindowSystemTest, HiddenPointerComesBackWhenThePointerMoves) {
    create();
    MainWindow* main = system.mainWindow();
    CursorHandle arrow = WindowSystem::arrowCursor();
    EXPECT_EQ(system.setCursor(nullptr), arrow);
    EXPECT_EQ(main->cursor().shape(), Qt::BlankCursor);
    // Hiding it again changes nothing and answers the hidden cursor.
    EXPECT_EQ(system.setCursor(nullptr), nullptr);
    QTest::mouseMove(main->client(), QPoint(20, 20));
    QTest::mouseMove(main->client(), QPoint(25, 25));
    EXPECT_NE(main->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(system.setCursor(arrow), arrow);
}

// A 4 x 2 picture: left half red over green, right half blue over white.
QImage quarters() {
    QImage image(4, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    image.setPixel(2, 0, qRgb(0, 0, 255));
    image.setPixel(3, 0, qRgb(0, 0, 255));
    image.setPixel(0, 1, qRgb(0, 255, 0));
    image.setPixel(1, 1, qRgb(0, 255, 0));
    image.setPixel(2, 1, qRgb(255, 255, 255));
    image.setPixel(3, 1, qRgb(255, 255, 255));
    return image;
}

TEST_F(WindowSystemTest, BlitScalesTheSourceRectangleOntoTheScreenRectangle) {
    WindowHandle window = create();
    Rect client;
    system.getClientRect(window, client);
    Rect screen = clientOnScreen(window);

    auto source = std::make_shared<QImage>(64, 64, QImage::Format_RGB32);
    source->fill(qRgb(9, 9, 9));
    QPainter(source.get()).drawImage(0, 0, quarters());
    Rect sample{0, 0, 4, 2};
    system.blitScreen(&screen, source, &sample);

    QImage canvas = system.mainWindow()->client()->picture();
    int w = client.right, h = client.bottom;
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(w - 1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(0, h - 1), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(w - 1, h - 1), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(w / 4, h / 4), qRgb(255, 0, 0));

    // Filling the whole area black leaves no frame behind.
    system.fillScreen(&screen, 0);
    canvas = system.mainWindow()->client()->picture();
    EXPECT_EQ(canvas.pixel(w - 1, h - 1), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(WindowSystemTest, RepaintsShowWhatWasDrawnWithoutBeingDrawnAgain) {
    WindowHandle window = create();
    ClientArea* client = system.mainWindow()->client();
    Point origin{0, 0};
    system.clientToScreen(window, origin);
    auto frame = std::make_shared<QImage>(quarters());
    Rect whole{0, 0, 4, 2};
    Rect screen{origin.x, origin.y, origin.x + 40, origin.y + 20};
    system.blitScreen(&screen, frame, &whole);
    // More small fills than are kept as drawings, beside the frame.
    for (int i = 0; i < 40; ++i) {
        Rect dot{origin.x + 50 + i, origin.y, origin.x + 51 + i, origin.y + 1};
        system.fillScreen(&dot, i % 2 ? 0xFFFFFF : 0x00FF00);
    }
    // A repaint Qt asks for on its own (here: rendering the area into a
    // picture through its paint event) shows all of it.
    const QImage painted = client->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = client->picture();
    ASSERT_EQ(painted.size(), picture.size());
    EXPECT_EQ(painted, picture);
    EXPECT_EQ(picture.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(picture.pixel(35, 15), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(50, 0), qRgb(0, 255, 0));
    EXPECT_EQ(picture.pixel(51, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(89, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(90, 0), qRgb(0, 0, 0));
    EXPECT_EQ(picture.pixel(50, 1), qRgb(0, 0, 0));
}

TEST_F(WindowSystemTest, DrawingOutsideTheClientAreaIsClipped) {
    WindowHandle window = create();
    Point origin{0, 0};
    system.clientToScreen(window, origin);
    // A rectangle half above the client area: its lower half lands at the top.
    Rect screen{origin.x, origin.y - 10, origin.x + 20, origin.y + 10};
    auto source = std::make_shared<QImage>(2, 2, QImage::Format_RGB32);
    source->setPixel(0, 0, qRgb(255, 0, 0));
    source->setPixel(1, 0, qRgb(255, 0, 0));
    source->setPixel(0, 1, qRgb(0, 255, 0));
    source->setPixel(1, 1, qRgb(0, 255, 0));
    Rect all{0, 0, 2, 2};
    system.blitScreen(&screen, source, &all);
    const QImage canvas = system.mainWindow()->client()->picture();
    EXPECT_EQ(canvas.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(25, 5), qRgb(0, 0, 0));
}

TEST_F(WindowSystemTest, PrimarySurfaceBlitsTheOffscreenImageIntoTheWindow) {
    WindowHandle window = create();
    QtDirectDrawFactory factory(system);
    std::unique_ptr<DirectDraw> directDraw;
    ASSERT_EQ(factory.createDirectDraw(WindowSystem::desktopHandle(), kDdsclNormal, directDraw),
              kOk);
    SurfaceDesc primaryDesc;
    primaryDesc.flags = kDdsdCaps;
    primaryDesc.caps = kDdsCapsPrimarySurface;
    std::unique_ptr<DirectDrawSurface> primary, offscreen;
    ASSERT_EQ(directDraw->createSurface(primaryDesc, primary), kOk);
    ASSERT_EQ(primary->getSurfaceDesc(primaryDesc), kOk);
    SurfaceDesc offDesc;
    offDesc.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    offDesc.width = primaryDesc.width;
    offDesc.height = primaryDesc.height;
    offDesc.pixelFormat = primaryDesc.pixelFormat;
    offDesc.caps = kDdsCapsOffscreenPlain;
    ASSERT_EQ(directDraw->createSurface(offDesc, offscreen), kOk);
    std::unique_ptr<DirectDrawClipper> clipper;
    ASSERT_EQ(directDraw->createClipper(0, clipper), kOk);
    ASSERT_EQ(primary->setClipper(clipper.get()), kOk);
    ASSERT_EQ(clipper->setHWnd(0, window), kOk);

    auto* surface = static_cast<QtOffscreenSurface*>(offscreen.get());
    ASSERT_TRUE(surface->cover(QRect(0, 0, 4, 2)));
    QPainter(surface->image().get()).drawImage(0, 0, quarters());
    Rect client;
    system.getClientRect(window, client);
    Rect dest = clientOnScreen(window);
    Rect sample{0, 0, 4, 2};
    EXPECT_EQ(primary->blt(&dest, offscreen.get(), &sample, kDdbltWait, nullptr), kOk);
    auto picture = [&] { return system.mainWindow()->client()->picture(); };
    EXPECT_EQ(picture().pixel(client.right - 1, client.bottom - 1), qRgb(255, 255, 255));

    BltFx fx;
    EXPECT_EQ(primary->blt(&dest, nullptr, &dest, kDdbltColorFill, &fx), kOk);
    EXPECT_EQ(picture().pixel(client.right - 1, client.bottom - 1), qRgb(0, 0, 0));
    // The clipper may go first: the primary surface keeps what it needs.
    clipper.reset();
    EXPECT_EQ(primary->blt(&dest, nullptr, &dest, kDdbltColorFill, &fx), kOk);
}

TEST_F(WindowSystemTest, ToolBarSitsOverTheTopOfTheClientAreaAndSendsCommands) {
    WindowHandle window = create();
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
    QToolBar* toolBar = buildToolBar(system.mainWindow()->client(), params,
                                     [&](int command, QToolBar*) { chosen.push_back(command); });
    ASSERT_NE(toolBar, nullptr);
    EXPECT_TRUE(toolBar->isVisible());
    EXPECT_EQ(toolBar->parentWidget(), system.mainWindow()->client());
    EXPECT_EQ(toolBar->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(toolBar->width(), system.mainWindow()->client()->width());
    EXPECT_EQ(toolBar->iconSize(), QSize(16, 16));

    QList<QAction*> commands;
    for (QAction* action : toolBar->actions())
        if (!action->icon().isNull()) commands.push_back(action);
    ASSERT_EQ(commands.size(), 3);
    for (QAction* action : commands)
        action->trigger();
    EXPECT_EQ(chosen, (std::vector<int>{40001, 40002, 40016}));
    // The glyphs come from the strip, the button face showing through.
    QImage exitGlyph = commands[2]->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(exitGlyph.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(exitGlyph.pixel(0, 0)), 0);

    // The tool bar follows the client area's width.
    system.mainWindow()->resize(600, 400);
    test::processUntil([&] { return system.mainWindow()->client()->width() == 600; });
    EXPECT_EQ(system.mainWindow()->client()->width(), 600);
    EXPECT_EQ(toolBar->width(), 600);
}

}  // namespace
}  // namespace ostrel::platform::qt
