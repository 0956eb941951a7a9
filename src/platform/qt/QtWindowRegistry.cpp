// The window class, the main window and the handles that stand for widgets;
// geometry, showing and raising, the pointer.
#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cmath>

#include "platform/qt/QtWindowSystem.h"
#include "resource_ids.h"

namespace ostrel::platform::qt {

namespace {

// How long making a window visible waits for the display to show it.
constexpr int kExposeWaitMs = 1000;
constexpr int kSwHide = 0;

// Stand-ins for handles that are no widget of ours.
struct Marker {
    int unused = 0;
};
Marker desktopMarker;
Marker arrowMarker;
Marker iconMarker;

// Screen pixels and Qt's units, `scale` screen pixels to the unit.
int scaled(int value, qreal scale) {
    return static_cast<int>(std::lround(value * scale));
}
QRect toScreen(const QRect& r, qreal scale) {
    return QRect(scaled(r.x(), scale), scaled(r.y(), scale), scaled(r.width(), scale),
                 scaled(r.height(), scale));
}
QRect fromScreen(const QRect& r, qreal scale) {
    return toScreen(r, 1.0 / scale);
}

}  // namespace

WindowSystem::WindowSystem(SingleInstance* instance) : instance_(instance) {
    cursor_ = arrowCursor();
    appActive_ = QGuiApplication::applicationState() == Qt::ApplicationActive;
    appState_ = QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp,
                                 [this](Qt::ApplicationState state) {
                                     applicationStateChanged(state == Qt::ApplicationActive);
                                 });
}

WindowSystem::~WindowSystem() {
    finishHandOver();
    QObject::disconnect(appState_);
    delete main_.data();
}

IconHandle WindowSystem::loadIcon(InstanceHandle, int resource) {
    // The program's icon is the application's window icon (set at start).
    return resource == IDI_OSTREL ? reinterpret_cast<IconHandle>(&iconMarker) : nullptr;
}

std::uint16_t WindowSystem::registerClass(const WindowClass& windowClass) {
    if (!windowClass.className || !windowClass.windowProc) return 0;
    ClassEntry entry{windowClass, windowClass.className};
    entry.windowClass.className = nullptr;  // the entry keeps its own copy of the name
    classes_[entry.name] = entry;
    return static_cast<std::uint16_t>(0xC000 + classes_.size());
}

WindowHandle WindowSystem::createWindow(std::uint32_t exStyle, const char* className,
                                        const char* title, std::uint32_t style, int x, int y,
                                        int width, int height, InstanceHandle) {
    if (!className || main_ || !windowsAvailable_) return nullptr;
    auto found = classes_.find(className);
    if (found == classes_.end()) return nullptr;
    const WindowClass& windowClass = found->second.windowClass;

    proc_ = windowClass.windowProc;
    className_ = className;
    title_ = title ? title : "";
    destroyed_ = false;
    bool frameless = (style & kWsOverlappedWindow) == 0;
    main_ = new MainWindow(*this, QString::fromLocal8Bit(title_.c_str()), frameless,
                           (exStyle & kWsExAcceptFiles) != 0, windowClass.menuResource != 0);

    // One size message while the window is made, as the system sends it,
    // whatever number of resize events Qt delivers while it shows it.
    creating_ = true;
    main_->setOuterGeometry(fromScreen(QRect(x, y, width, height), screenScale()));
    if (style & kWsVisible) main_->show();
    creating_ = false;
    QSize client = main_->client()->size();
    lastClientSize_ = client;
    sendMessage(mainHandle(), kWmSize, kSizeRestored, makeLParam(client.width(), client.height()));
    if (mainHandle()) answerSecondStarts();
    return mainHandle();
}

WindowHandle WindowSystem::findOwnWindow(const char* className, const char* title) const {
    if (!main_ || destroyed_) return nullptr;
    if (className && className_ != className) return nullptr;
    if (title && title_ != title) return nullptr;
    return mainHandle();
}

MainWindow* WindowSystem::mainWindow() const {
    return destroyed_ ? nullptr : main_.data();
}

WindowHandle WindowSystem::mainHandle() const {
    return main_ ? handleOf(main_.data()) : nullptr;
}

WindowHandle WindowSystem::desktopHandle() {
    return reinterpret_cast<WindowHandle>(&desktopMarker);
}

QWidget* WindowSystem::widgetFor(WindowHandle window) const {
    if (!window || window == desktopHandle()) return nullptr;
    if (main_ && window == mainHandle()) return main_.data();
    // Other handles are the tool bars and the dialogs' controls; a value
    // that names no live widget is refused without being looked into.
    auto* widget = reinterpret_cast<QWidget*>(window);
    return QApplication::allWidgets().contains(widget) ? widget : nullptr;
}

bool WindowSystem::showWindow(WindowHandle window, int command) {
    QWidget* widget = widgetFor(window);
    if (!widget) return false;
    bool wasVisible = widget->isVisible();
    if (command == kSwHide) {
        widget->hide();
    } else {
        widget->showNormal();
        if (widget->isWindow()) {
            widget->raise();
            widget->activateWindow();
        }
    }
    return wasVisible;
}

bool WindowSystem::updateWindow(WindowHandle window) {
    QWidget* widget = widgetFor(window);
    if (!widget) return false;
    if (!widget->isVisible()) return true;
    // What waits to be painted is painted once the window is on the screen:
    // the display maps it a moment after it is shown, and what is drawn
    // before is never seen (a clip's first frames would be lost).
    QWindow* handle = widget->window()->windowHandle();
    QDeadlineTimer deadline(kExposeWaitMs);
    while (handle && !handle->isExposed() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!handle->isExposed()) QThread::msleep(2);
    }
    QCoreApplication::sendPostedEvents(widget->window(), QEvent::UpdateRequest);
    return true;
}

bool WindowSystem::getClientRect(WindowHandle window, Rect& rect) {
    if (window == desktopHandle()) {
        QSize screen = screenSize();
        rect = Rect{0, 0, screen.width(), screen.height()};
        return true;
    }
    QWidget* widget = widgetFor(window);
    if (!widget) return false;
    // The main window's client area is everything under its menu bar.
    if (main_ && widget == main_.data()) widget = main_->client();
    rect = Rect{0, 0, widget->width(), widget->height()};
    return true;
}

bool WindowSystem::clientToScreen(WindowHandle window, Point& point) {
    QWidget* widget = widgetFor(window);
    if (!widget) return window == desktopHandle();
    if (main_ && widget == main_.data()) widget = main_->client();
    QPoint global = widget->mapToGlobal(QPoint(point.x, point.y));
    point = Point{global.x(), global.y()};
    return true;
}

bool WindowSystem::getWindowRect(WindowHandle window, Rect& rect) {
    QWidget* widget = widgetFor(window);
    if (!widget) return false;
    QRect outer = widget->isWindow() ? widget->frameGeometry()
                                     : QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    // The window's place and size are kept in screen pixels (the
    // configuration stores them), whatever the scale.
    outer = toScreen(outer, screenScale());
    rect =
        Rect{outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height()};
    return true;
}

WindowHandle WindowSystem::getParent(WindowHandle window) {
    QWidget* widget = widgetFor(window);
    if (!widget || widget->isWindow()) return nullptr;
    return handleOf(widget->parentWidget());
}

bool WindowSystem::raiseWindow(WindowHandle window) {
    QWidget* widget = widgetFor(window);
    if (!widget) return false;
    QWidget* top = widget->window();
    if (top->isMinimized()) top->showNormal();
    top->raise();
    top->activateWindow();
    return true;
}

QSize WindowSystem::screenSize() const {
    QScreen* screen = main_ ? main_->screen() : QGuiApplication::primaryScreen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(0, 0);
}

qreal WindowSystem::screenScale() const {
    QScreen* screen = main_ ? main_->screen() : QGuiApplication::primaryScreen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

CursorHandle WindowSystem::arrowCursor() {
    return reinterpret_cast<CursorHandle>(&arrowMarker);
}

CursorHandle WindowSystem::setCursor(CursorHandle cursor) {
    CursorHandle previous = cursor_;
    cursor_ = cursor;
    bool hide = cursor == nullptr;
    if (hide != pointerHidden_ && main_) {
        pointerHidden_ = hide;
        if (hide)
            main_->setCursor(Qt::BlankCursor);
        else
            main_->unsetCursor();
    }
    return previous;
}

void WindowSystem::pointerMoved() {
    // The system gives the window's own cursor back as soon as the pointer
    // moves.
    if (pointerHidden_) setCursor(arrowCursor());
}

}  // namespace ostrel::platform::qt
