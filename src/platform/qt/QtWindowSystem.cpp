#include "platform/qt/QtWindowSystem.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resource_ids.h"

namespace ostrel::platform::qt {

namespace {

constexpr WParam kWaActive = 1;
// Rounds of event processing between two frames at most.
constexpr int kEventRounds = 4;
// How long making a window visible waits for the display to show it.
constexpr int kExposeWaitMs = 1000;
constexpr WParam kMkLButton = 1;
constexpr WParam kSizeRestored = 0;
constexpr int kSwHide = 0;

constexpr LParam makeLParam(int low, int high) {
    return static_cast<LParam>((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16 |
                               (static_cast<std::uint32_t>(low) & 0xFFFFu));
}

// The menu bar of the window class's menu: one flat row of commands.
struct MenuItem {
    const char* label;
    int id;
};
constexpr MenuItem kMenuItems[] = {
    {"Open", IDM_OPEN},   {"Start", IDM_START},   {"Pause", IDM_PAUSE},
    {"Stop", IDM_STOP},   {"Stream", IDM_STREAM}, {"Save", IDM_SAVE},
    {"About", IDM_ABOUT}, {"Site", IDM_SITE},     {"Exit", IDM_EXIT},
};

// With OSTREL_TRACE_MESSAGES=1 every message that reaches the window
// procedure is written to standard error (for finding out what the window
// system told the player, and when).
bool traceMessages() {
    static const bool on = qEnvironmentVariableIntValue("OSTREL_TRACE_MESSAGES") == 1;
    return on;
}

void trace(const char* how, std::uint32_t message, WParam wParam, LParam lParam) {
    if (traceMessages()) {
        std::fprintf(stderr, "ostrel: %s 0x%04x %#llx %#llx\n", how, message,
                     static_cast<unsigned long long>(wParam),
                     static_cast<unsigned long long>(lParam));
    }
}

// Stand-ins for handles that are no widget of ours.
struct Marker {
    int unused = 0;
};
Marker desktopMarker;
Marker arrowMarker;

QRect toQRect(const Rect& r) {
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

// Draws `from` of `source` scaled to `area` by the nearest pixel, straight
// into the pixels the painter paints on (the window's backing store), each
// source row scaled once and repeated rows copied: two and a half times
// faster than the painter's own scaled drawing, which a frame stretched to
// the whole screen otherwise spends most of its time in. False (nothing
// drawn) where the painter is not a plain 32-bit image moved by whole
// pixels.
bool drawScaled(QPainter& painter, const QRect& area, const QImage& source, const QRect& from,
                const QRegion& clip) {
    QPaintEngine* engine = painter.paintEngine();
    auto* target = engine ? dynamic_cast<QImage*>(engine->paintDevice()) : nullptr;
    const QTransform moved = painter.deviceTransform();
    if (!target || target->depth() != 32 || source.format() != QImage::Format_RGB32 ||
        moved.type() > QTransform::TxTranslate || moved.dx() != std::floor(moved.dx()) ||
        moved.dy() != std::floor(moved.dy())) {
        return false;
    }
    const QPoint offset(static_cast<int>(moved.dx()), static_cast<int>(moved.dy()));
    const QRect onTarget = area.translated(offset);
    // The painter's own pixel choice: a 16.16 fixed-point step, sampled at
    // the middle of each step.
    auto pick = [](int inArea, int areaSize, int sourceSize) {
        const std::int64_t step = (static_cast<std::int64_t>(sourceSize) << 16) / areaSize;
        return static_cast<int>(
            std::min<std::int64_t>((inArea * step + step / 2) >> 16, sourceSize - 1));
    };
    std::vector<int> columns;
    for (const QRect& part : (clip.translated(offset) & onTarget & target->rect())) {
        columns.resize(static_cast<std::size_t>(part.width()));
        for (int x = 0; x < part.width(); ++x)
            columns[x] =
                from.x() + pick(part.x() + x - onTarget.x(), onTarget.width(), from.width());
        int previous = -1;
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const int row = from.y() + pick(y - onTarget.y(), onTarget.height(), from.height());
            auto* out = reinterpret_cast<QRgb*>(target->scanLine(y)) + part.x();
            if (row == previous) {
                std::memcpy(out,
                            reinterpret_cast<const QRgb*>(target->constScanLine(y - 1)) + part.x(),
                            static_cast<std::size_t>(part.width()) * 4);
                continue;
            }
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(row));
            for (int x = 0; x < part.width(); ++x)
                out[x] = in[columns[x]];
            previous = row;
        }
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Client area

ClientArea::ClientArea(WindowSystem& system, QWidget* parent) : QWidget(parent), system_(system) {
    // Every pixel comes from the canvas: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void ClientArea::fill(const QRect& area, QRgb colour) {
    addLayer(Layer{area, colour, nullptr, QRect()});
}

void ClientArea::blit(const QRect& area, std::shared_ptr<const QImage> source,
                      const QRect& sourceRect) {
    if (!source || sourceRect.isEmpty()) return;
    addLayer(Layer{area, 0, std::move(source), sourceRect});
}

void ClientArea::addLayer(Layer layer) {
    const QRect visible = layer.area.intersected(rect());
    if (visible.isEmpty()) return;
    std::erase_if(layers_,
                  [&](const Layer& old) { return visible.contains(old.area.intersected(rect())); });
    layers_.push_back(std::move(layer));
    // Many small drawings (a dialog's worth of fills) are kept as pixels.
    constexpr std::size_t kMaxLayers = 32;
    if (layers_.size() > kMaxLayers) {
        base_ = picture();
        layers_.clear();
    }
    // The drawing is done when it is on the screen: paint and flush now,
    // not at the next turn of the event loop.
    if (isVisible()) repaint(visible);
}

void ClientArea::paintLayers(QPainter& painter, const QRegion& region) const {
    // Whatever no drawing covers is the base (or black).
    QRegion uncovered = region;
    for (const Layer& layer : layers_)
        uncovered -= layer.area;
    painter.setClipRegion(region);
    for (const QRect& r : uncovered) {
        if (base_.isNull()) {
            painter.fillRect(r, Qt::black);
        } else {
            painter.drawImage(r, base_, r);
        }
    }
    for (const Layer& layer : layers_) {
        if (!region.intersects(layer.area)) continue;
        if (!layer.source) {
            painter.fillRect(layer.area, QColor::fromRgb(layer.colour));
            continue;
        }
        // Scaled to fill the area, aspect not kept; nearest-pixel scaling,
        // as a display blit does.
        const QRect from = layer.sourceRect.intersected(layer.source->rect());
        if (from.isEmpty()) continue;
        if (from.size() == layer.area.size() ||
            !drawScaled(painter, layer.area, *layer.source, from, region)) {
            painter.drawImage(layer.area, *layer.source, from);
        }
    }
}

QImage ClientArea::picture() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintLayers(painter, QRegion(image.rect()));
    return image;
}

void ClientArea::addToolBar(QToolBar* toolBar) {
    toolBars_.emplace_back(toolBar);
    toolBar->setGeometry(0, 0, width(), toolBar->sizeHint().height());
    toolBar->show();
    toolBar->raise();
}

void ClientArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    paintLayers(painter, event->region());
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    // A new size starts black, as the window class's black background
    // erases it; the next frame fills it again.
    layers_.clear();
    base_ = QImage();
    for (auto& toolBar : toolBars_) {
        if (toolBar) toolBar->setGeometry(0, 0, width(), toolBar->sizeHint().height());
    }
    system_.clientResized(event->size());
}

void ClientArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) system_.leftButtonPressed(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void ClientArea::mouseMoveEvent(QMouseEvent* event) {
    system_.pointerMoved();
    QWidget::mouseMoveEvent(event);
}

// ---------------------------------------------------------------------------
// Main window

MainWindow::MainWindow(WindowSystem& system, const QString& title, bool frameless, bool acceptDrops,
                       bool withMenu)
    : QWidget(nullptr), system_(system) {
    setWindowTitle(title);
    if (frameless) setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAcceptDrops(acceptDrops);
    setMouseTracking(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (withMenu) {
        menuBar_ = new QMenuBar(this);
        // Desktops that move menus out of the window would take the client
        // area's size with them.
        menuBar_->setNativeMenuBar(false);
        for (const MenuItem& item : kMenuItems) {
            QAction* action = menuBar_->addAction(QString::fromLatin1(item.label));
            int id = item.id;
            QObject::connect(action, &QAction::triggered, this,
                             [this, id] { system_.commandChosen(id, nullptr); });
        }
        layout->setMenuBar(menuBar_);
    }
    client_ = new ClientArea(system, this);
    layout->addWidget(client_);
    setFocusProxy(client_);
}

void MainWindow::setOuterGeometry(const QRect& outer) {
    outer_ = outer;
    frameFitted_ = false;
    move(outer.topLeft());
    resize(outer.size());
    fitFrame();
}

void MainWindow::fitFrame() {
    if (frameFitted_ || !windowHandle()) return;
    QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull()) return;
    // The window manager's frame is known now: the outer rectangle, frame
    // included, is what was asked for.
    frameFitted_ = true;
    resize(outer_.width() - frame.left() - frame.right(),
           outer_.height() - frame.top() - frame.bottom());
    move(outer_.topLeft());
}

bool MainWindow::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            system_.windowActivated(true);
            break;
        case QEvent::WindowDeactivate:
            system_.windowActivated(false);
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            fitFrame();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box and the window manager's close ask; the player decides.
    event->ignore();
    system_.windowClosing();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    std::uint32_t key = virtualKeyFor(event->key());
    // Keys with Alt are system keys, which the window's key handling never
    // sees.
    if (key != 0 && !(event->modifiers() & Qt::AltModifier)) {
        system_.keyPressed(key, event->isAutoRepeat());
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    system_.pointerMoved();
    QWidget::mouseMoveEvent(event);
}

namespace {
std::vector<std::string> localFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QByteArray path = QFile::encodeName(url.toLocalFile());
        if (!path.isEmpty()) paths.emplace_back(path.constData(), path.size());
    }
    return paths;
}
}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = localFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    system_.filesDropped(std::move(paths));
}

// ---------------------------------------------------------------------------
// Keys

std::uint32_t virtualKeyFor(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 0x41 + static_cast<std::uint32_t>(key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x30 + static_cast<std::uint32_t>(key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + static_cast<std::uint32_t>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Pause:
            return 0x13;
        case Qt::Key_CapsLock:
            return 0x14;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Print:
            return 0x2C;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        case Qt::Key_Meta:
            return 0x5B;
        case Qt::Key_Menu:
            return 0x5D;
        case Qt::Key_NumLock:
            return 0x90;
        case Qt::Key_ScrollLock:
            return 0x91;
        case Qt::Key_Semicolon:
            return 0xBA;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return 0xBB;
        case Qt::Key_Comma:
            return 0xBC;
        case Qt::Key_Minus:
            return 0xBD;
        case Qt::Key_Period:
            return 0xBE;
        case Qt::Key_Slash:
            return 0xBF;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------
// Window system

WindowSystem::WindowSystem() {
    cursor_ = arrowCursor();
    appActive_ = QGuiApplication::applicationState() == Qt::ApplicationActive;
    appState_ = QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp,
                                 [this](Qt::ApplicationState state) {
                                     applicationStateChanged(state == Qt::ApplicationActive);
                                 });
}

WindowSystem::~WindowSystem() {
    QObject::disconnect(appState_);
    delete main_.data();
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
                                        int width, int height) {
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
    main_->setOuterGeometry(QRect(x, y, width, height));
    if (style & kWsVisible) main_->show();
    creating_ = false;
    QSize client = main_->client()->size();
    lastClientSize_ = client;
    sendMessage(mainHandle(), kWmSize, kSizeRestored, makeLParam(client.width(), client.height()));
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

// ---------------------------------------------------------------------------
// Messages

bool WindowSystem::postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                               LParam lParam) {
    queue_.push_back(Message{window, message, wParam, lParam});
    return true;
}

LResult WindowSystem::sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    // Messages reach the main window until it has been destroyed.
    if (!window || window != mainHandle() || !proc_ || destroyed_) return 0;
    trace("send", message, wParam, lParam);
    ++delivered_;
    return proc_(window, message, wParam, lParam);
}

void WindowSystem::postQuitMessage(int exitCode) {
    quitPosted_ = true;
    quitCode_ = exitCode;
    // A modal loop ends when it meets the quit message; the main loop then
    // takes it.
    if (!modal_.empty()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal_.back().data())) dialog->done(0);
    }
}

LResult WindowSystem::defWindowProc(WindowHandle window, std::uint32_t message, WParam, LParam) {
    if (message == kWmClose && window == mainHandle() && main_ && !destroyed_) {
        // Closing destroys the window: its procedure hears of it first (the
        // window can still be found and measured then), then it disappears.
        sendMessage(window, kWmDestroy, 0, 0);
        destroyed_ = true;
        main_->hide();
    }
    return 0;
}

bool WindowSystem::processEvents(bool wait) {
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    bool processed = false;
    if (dispatcher) {
        processed =
            dispatcher->processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    }
    // No Qt event loop runs, so objects given to deleteLater are freed here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return processed;
}

bool WindowSystem::peekMessage() {
    // One round takes only the most urgent kind of event that is waiting
    // (the drawing of the last frame, say); a few more let the others
    // through (a second start's request), before the next frame is asked
    // for.
    for (int round = 0; round < kEventRounds && processEvents(false); ++round) {
    }
    return !queue_.empty() || quitPosted_;
}

int WindowSystem::getMessage(Message& message) {
    while (queue_.empty() && !quitPosted_)
        processEvents(true);
    if (!queue_.empty()) {
        message = queue_.front();
        queue_.pop_front();
        return 1;
    }
    // The quit message comes once every posted message has been taken.
    quitPosted_ = false;
    message = Message{nullptr, kWmQuit, static_cast<WParam>(quitCode_), 0};
    return 0;
}

void WindowSystem::translateAndDispatch(const Message& message) {
    if (message.window == mainHandle() && proc_ && !destroyed_) {
        trace("dispatch", message.message, message.wParam, message.lParam);
        proc_(message.window, message.message, message.wParam, message.lParam);
    } else if (message.message == kWmDropFiles) {
        // Nobody will finish with these files.
        delete reinterpret_cast<DroppedFiles*>(message.wParam);
    }
}

void WindowSystem::waitMessage() {
    // A message sent to the window while waiting (activation, a hand-over)
    // may have given the loop work: the wait ends after it, as it does for
    // a posted one.
    std::uint64_t seen = delivered_;
    while (queue_.empty() && !quitPosted_ && delivered_ == seen)
        processEvents(true);
}

void WindowSystem::enterModal(QWidget* dialog) {
    modal_.emplace_back(dialog);
}

void WindowSystem::leaveModal(QWidget* dialog) {
    for (auto it = modal_.begin(); it != modal_.end(); ++it) {
        if (it->data() == dialog) {
            modal_.erase(it);
            break;
        }
    }
    // The owner takes the focus back when its modal dialog is gone.
    if (modal_.empty() && main_ && !destroyed_ && main_->isVisible()) main_->activateWindow();
}

// ---------------------------------------------------------------------------
// Drawing

QSize WindowSystem::screenSize() const {
    QScreen* screen = main_ ? main_->screen() : QGuiApplication::primaryScreen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(0, 0);
}

void WindowSystem::fillScreen(const Rect* area, std::uint32_t colour) {
    MainWindow* window = mainWindow();
    if (!window) return;
    ClientArea* client = window->client();
    QRect target = area ? QRect(client->mapFromGlobal(QPoint(area->left, area->top)),
                                QSize(area->right - area->left, area->bottom - area->top))
                        : client->rect();
    client->fill(target, qRgb((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
}

void WindowSystem::blitScreen(const Rect* area, std::shared_ptr<const QImage> source,
                              const Rect* sourceRect) {
    MainWindow* window = mainWindow();
    if (!window) return;
    ClientArea* client = window->client();
    QRect target = area ? QRect(client->mapFromGlobal(QPoint(area->left, area->top)),
                                QSize(area->right - area->left, area->bottom - area->top))
                        : client->rect();
    if (!source) return;
    QRect from = sourceRect ? toQRect(*sourceRect) : source->rect();
    client->blit(target, std::move(source), from);
}

// ---------------------------------------------------------------------------
// Events of the main window

void WindowSystem::windowClosing() {
    if (mainWindow()) postMessage(mainHandle(), kWmClose, 0, 0);
}

void WindowSystem::windowActivated(bool active) {
    if (!mainWindow() || creating_) return;
    sendMessage(mainHandle(), kWmActivate, active ? kWaActive : kWaInactive, 0);
}

void WindowSystem::applicationStateChanged(bool active) {
    if (active == appActive_) return;
    appActive_ = active;
    if (!mainWindow()) return;
    sendMessage(mainHandle(), kWmActivateApp, active ? 1 : 0, 0);
}

void WindowSystem::clientResized(QSize size) {
    if (creating_ || !mainWindow() || size == lastClientSize_) return;
    lastClientSize_ = size;
    sendMessage(mainHandle(), kWmSize, kSizeRestored, makeLParam(size.width(), size.height()));
}

void WindowSystem::keyPressed(std::uint32_t virtualKey, bool repeat) {
    if (!mainWindow()) return;
    // Repeat count 1; bit 30 tells a key that was down already.
    LParam flags = 1 | (repeat ? (1 << 30) : 0);
    postMessage(mainHandle(), kWmKeyDown, virtualKey, flags);
}

void WindowSystem::leftButtonPressed(QPoint position) {
    if (!mainWindow()) return;
    postMessage(mainHandle(), kWmLButtonDown, kMkLButton, makeLParam(position.x(), position.y()));
}

void WindowSystem::filesDropped(std::vector<std::string> paths) {
    if (!mainWindow()) return;
    auto* drop = new DroppedFiles{std::move(paths)};
    postMessage(mainHandle(), kWmDropFiles, reinterpret_cast<WParam>(drop), 0);
}

void WindowSystem::commandChosen(int id, WindowHandle source) {
    if (!mainWindow()) return;
    postMessage(mainHandle(), kWmCommand, static_cast<WParam>(id),
                reinterpret_cast<LParam>(source));
}

}  // namespace ostrel::platform::qt
