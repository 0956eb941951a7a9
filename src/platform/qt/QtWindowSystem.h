// The window system of the Linux build: the player's main window as a Qt
// top-level widget (title, menu bar of the nine commands, client area that
// holds the tool bar and shows the video), and the player's own message
// queue. Qt's events become the window messages the player's window
// procedure expects; the player runs its own loop over peek, get, dispatch
// and wait, and Qt's events are processed inside those calls.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

class QMenuBar;
class QToolBar;

namespace ostrel::platform::qt {

class WindowSystem;

// The client area: everything under the menu bar. It shows the video (the
// last picture the blits left, on black) and holds the tool bars on top.
class ClientArea final : public QWidget {
public:
    ClientArea(WindowSystem& system, QWidget* parent);

    // Paints `area` (client coordinates) with `colour` / draws `sourceRect`
    // of `source` scaled into `area`, and shows it before returning.
    void fill(const QRect& area, QRgb colour);
    void blit(const QRect& area, std::shared_ptr<const QImage> source, const QRect& sourceRect);
    void addToolBar(QToolBar* toolBar);
    // The picture on show, for tests.
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // What the area shows: the drawings since it was last black, oldest
    // first, each a colour or a rectangle of a surface scaled into its area.
    // A blit keeps its surface, not a copy of its pixels, so each frame is
    // copied once, straight into the window; the surface's pixels change
    // only when the next frame is rendered, just before it is blitted.
    struct Layer {
        QRect area;
        QRgb colour = 0;
        std::shared_ptr<const QImage> source;
        QRect sourceRect;
    };
    void addLayer(Layer layer);
    void paintLayers(QPainter& painter, const QRegion& region) const;

    WindowSystem& system_;
    // Drawings that many are painted once into `base_` (black when null).
    std::vector<Layer> layers_;
    QImage base_;
    std::vector<QPointer<QToolBar>> toolBars_;
};

// The player's top-level window.
class MainWindow final : public QWidget {
public:
    MainWindow(WindowSystem& system, const QString& title, bool frameless, bool acceptDrops,
               bool withMenu);

    ClientArea* client() const { return client_; }
    QMenuBar* menuBar() const { return menuBar_; }
    // Places the outer frame at `outer`; a window manager's frame, known only
    // once the window is on the screen, is taken out of the size then.
    void setOuterGeometry(const QRect& outer);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fitFrame();

    WindowSystem& system_;
    QMenuBar* menuBar_ = nullptr;
    ClientArea* client_ = nullptr;
    QRect outer_;
    bool frameFitted_ = false;
};

// The files of one drop, until the window procedure has finished with them.
struct DroppedFiles {
    std::vector<std::string> paths;  // local 8-bit, as the file system names them
};

// The Windows virtual-key code of a Qt key (0 for keys without one).
std::uint32_t virtualKeyFor(int qtKey);

class WindowSystem {
public:
    WindowSystem();
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // Without a display no window can be made (createWindow fails).
    void setWindowsAvailable(bool available) { windowsAvailable_ = available; }

    // Window class and the one main window.
    std::uint16_t registerClass(const WindowClass& windowClass);
    WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                              std::uint32_t style, int x, int y, int width, int height);
    // The main window when it exists and its class and title are these.
    WindowHandle findOwnWindow(const char* className, const char* title) const;
    MainWindow* mainWindow() const;  // null once destroyed
    WindowHandle mainHandle() const;
    // The widget a handle stands for (a window or a control), null for the
    // desktop, a remote window or an unknown value.
    QWidget* widgetFor(WindowHandle window) const;
    static WindowHandle handleOf(QWidget* widget) { return reinterpret_cast<WindowHandle>(widget); }
    static WindowHandle desktopHandle();

    bool showWindow(WindowHandle window, int command);
    bool updateWindow(WindowHandle window);
    bool getClientRect(WindowHandle window, Rect& rect);
    bool clientToScreen(WindowHandle window, Point& point);
    bool getWindowRect(WindowHandle window, Rect& rect);
    WindowHandle getParent(WindowHandle window);
    bool raiseWindow(WindowHandle window);

    // The pointer: null hides it over the player's window until the pointer
    // next moves, as the system does.
    static CursorHandle arrowCursor();
    CursorHandle setCursor(CursorHandle cursor);
    void pointerMoved();

    // Messages.
    bool postMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);
    LResult sendMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);
    void postQuitMessage(int exitCode);
    LResult defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);
    bool peekMessage();
    int getMessage(Message& message);
    void translateAndDispatch(const Message& message);
    void waitMessage();
    std::size_t queuedMessages() const { return queue_.size(); }

    // A modal loop (dialog, message box, file dialog) runs while `depth` is
    // above 0; a quit posted then ends the innermost dialog.
    void enterModal(QWidget* dialog);
    void leaveModal(QWidget* dialog);

    // Drawing on the screen, confined to the main window's client area.
    // Rectangles are screen coordinates; null means the whole area.
    void fillScreen(const Rect* area, std::uint32_t colour);
    void blitScreen(const Rect* area, std::shared_ptr<const QImage> source, const Rect* sourceRect);
    // The screen the main window is on (the primary one before it exists).
    QSize screenSize() const;

    // Qt events of the main window, as messages.
    void windowClosing();
    void windowActivated(bool active);
    void clientResized(QSize size);
    void keyPressed(std::uint32_t virtualKey, bool repeat);
    void leftButtonPressed(QPoint position);
    void filesDropped(std::vector<std::string> paths);
    void commandChosen(int id, WindowHandle source);

private:
    struct ClassEntry {
        WindowClass windowClass;
        std::string name;
    };
    // One round of the toolkit's event processing (waiting for events when
    // asked); true when something was processed.
    bool processEvents(bool wait);
    void applicationStateChanged(bool active);

    std::map<std::string, ClassEntry> classes_;
    QPointer<MainWindow> main_;
    WindowProc proc_ = nullptr;
    std::string className_;
    std::string title_;
    bool windowsAvailable_ = true;
    bool creating_ = false;
    bool destroyed_ = false;
    QSize lastClientSize_;
    bool appActive_ = false;
    QMetaObject::Connection appState_;

    std::deque<Message> queue_;
    std::uint64_t delivered_ = 0;  // messages sent to the window procedure
    bool quitPosted_ = false;
    int quitCode_ = 0;
    std::vector<QPointer<QWidget>> modal_;

    CursorHandle cursor_ = nullptr;
    bool pointerHidden_ = false;
};

}  // namespace ostrel::platform::qt
