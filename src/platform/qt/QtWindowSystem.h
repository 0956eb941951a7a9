// The window system of the Linux build: the player's one main window (a Qt
// top-level widget: title, menu bar of the nine commands, client area that
// holds the tool bar and shows the video), its message queue and loop, its
// tool bar and dialogs, and the hand-over to a running player. Qt's events
// become the window messages the player's window procedure expects; the
// player runs its own loop over peek, get, dispatch and wait, and Qt's
// events are processed inside those calls.
//
// One class, its calls kept in files of one purpose each:
//   QtWindowRegistry.cpp  window class, the main window, handles, geometry,
//                         the pointer
//   QtMessageQueue.cpp    messages, the loop, the modal stack
//   QtEvents.cpp          Qt events of the main window as messages; drops
//   QtCanvas.cpp          drawing on the client area (ClientArea)
//   QtMainWindow.cpp      the top-level widget and its menu bar (MainWindow)
//   QtKeys.cpp            Qt keys as virtual-key codes
//   QtToolBar.cpp         the tool bar
//   QtDialogs.cpp         modal dialogs, message box, open-file dialog
//   QtHandOver.cpp        finding the running player and handing it over
#pragma once

#include <QImage>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Windowing.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtKeys.h"
#include "platform/qt/QtMainWindow.h"

namespace ostrel::platform::qt {

class SingleInstance;

// The size message's "restored" and a message parameter of two 16-bit halves.
inline constexpr WParam kSizeRestored = 0;
constexpr LParam makeLParam(int low, int high) {
    return static_cast<LParam>((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16 |
                               (static_cast<std::uint32_t>(low) & 0xFFFFu));
}

// The files of one drop, until the window procedure has finished with them.
struct DroppedFiles {
    std::vector<std::string> paths;  // local 8-bit, as the file system names them
};

class WindowSystem final : public Windowing {
public:
    // `instance` (optional) is the single-instance lock: with it a second
    // start finds the running player, and the first one answers second
    // starts once its window exists.
    explicit WindowSystem(SingleInstance* instance = nullptr);
    ~WindowSystem() override;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // Without a display no window can be made (createWindow fails).
    void setWindowsAvailable(bool available) { windowsAvailable_ = available; }
    // What a dialog's link asks of the shell.
    std::function<bool()> offline;
    std::function<void(const char* url)> openUrl;

    // Windowing.
    CursorHandle loadArrowCursor() override { return arrowCursor(); }
    IconHandle loadIcon(InstanceHandle instance, int resource) override;
    std::uint16_t registerClass(const WindowClass& windowClass) override;
    WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                              std::uint32_t style, int x, int y, int width, int height,
                              InstanceHandle instance) override;
    bool showWindow(WindowHandle window, int command) override;
    bool updateWindow(WindowHandle window) override;
    bool getClientRect(WindowHandle window, Rect& rect) override;
    bool clientToScreen(WindowHandle window, Point& point) override;
    bool getWindowRect(WindowHandle window, Rect& rect) override;
    WindowHandle findWindow(const char* className, const char* title) override;
    WindowHandle getParent(WindowHandle window) override;
    WindowHandle getDesktopWindow() override { return desktopHandle(); }
    bool setForegroundWindow(WindowHandle window) override;
    CursorHandle setCursor(CursorHandle cursor) override;
    bool postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                     LParam lParam) override;
    LResult sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                        LParam lParam) override;
    LResult sendCopyData(WindowHandle window, const CopyData& data) override;
    void postQuitMessage(int exitCode) override;
    LResult defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                          LParam lParam) override;
    bool peekMessage() override;
    int getMessage(Message& message) override;
    void translateAndDispatch(const Message& message) override;
    void waitMessage() override;
    WindowHandle createToolBar(const ToolBarParams& params) override;
    std::int32_t getOpenFileName(OpenFileRequest& request) override;
    std::intptr_t dialogBox(InstanceHandle instance, const char* name, WindowHandle owner,
                            DialogProc proc) override;
    void messageBox(WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t style) override;
    std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                std::uint32_t bufferSize) override;
    void dragFinish(DropHandle drop) override;

    // The main window when it exists and its class and title are these
    // (null matches any).
    WindowHandle findOwnWindow(const char* className, const char* title) const;
    MainWindow* mainWindow() const;  // null once destroyed
    WindowHandle mainHandle() const;
    // The widget a handle stands for (a window or a control), null for the
    // desktop, a remote window or an unknown value.
    QWidget* widgetFor(WindowHandle window) const;
    static WindowHandle handleOf(QWidget* widget) { return reinterpret_cast<WindowHandle>(widget); }
    static WindowHandle desktopHandle();
    // The handle that stands for the running player's window in a second
    // start.
    static WindowHandle remoteWindow();
    bool raiseWindow(WindowHandle window);

    // The pointer: null hides it over the player's window until the pointer
    // next moves, as the system does.
    static CursorHandle arrowCursor();
    void pointerMoved();

    std::size_t queuedMessages() const { return queue_.size(); }
    // Queues a message whose lParam points into `owned`, which lives until
    // the message has been dispatched (or dropped).
    void postOwned(std::uint32_t message, WParam wParam, LParam lParam,
                   std::shared_ptr<const void> owned);

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
    // Screen pixels per Qt coordinate unit where the main window is (or will
    // be): more than 1 with a scale factor.
    qreal screenScale() const;

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
    struct Queued {
        Message message;
        std::shared_ptr<const void> owned;
    };
    // One round of the toolkit's event processing (waiting for events when
    // asked); true when something was processed.
    bool processEvents(bool wait);
    void applicationStateChanged(bool active);
    // First start: second starts may hand over from now on.
    void answerSecondStarts();
    // Second start: a raise asked for without a hand-over goes alone.
    void finishHandOver();

    SingleInstance* instance_;
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

    std::deque<Queued> queue_;
    std::shared_ptr<const void> dispatching_;  // what the message taken last owns
    std::uint64_t delivered_ = 0;              // messages sent to the window procedure
    bool quitPosted_ = false;
    int quitCode_ = 0;
    std::vector<QPointer<QWidget>> modal_;

    CursorHandle cursor_ = nullptr;
    bool pointerHidden_ = false;

    // A second start: the running player's window as asked for, and whether
    // it is to come to the front with the hand-over.
    std::string remoteClass_;
    std::string remoteTitle_;
    bool raiseRemote_ = false;
};

}  // namespace ostrel::platform::qt
