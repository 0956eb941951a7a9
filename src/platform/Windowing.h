// The window system as the player uses it: its one main window, the message
// queue and loop, the tool bar, the modal dialogs and message box, the files
// dropped on the window, and the hand-over to a player already running.
// A window's place and size (createWindow, getWindowRect) and a dialog's
// place are screen pixels, whatever scale the desktop draws at; the client
// area is measured in the units its drawing uses.
//
// Every call runs on the one user-interface thread.
#pragma once

#include <cstdint>

#include "platform/Types.h"
#include "platform/WindowSystem.h"

namespace ostrel::platform {

class Windowing {
public:
    virtual ~Windowing() = default;

    // Window class and windows.
    virtual CursorHandle loadArrowCursor() = 0;
    virtual IconHandle loadIcon(InstanceHandle instance, int resource) = 0;
    virtual std::uint16_t registerClass(const WindowClass& windowClass) = 0;
    virtual WindowHandle createWindow(std::uint32_t exStyle, const char* className,
                                      const char* title, std::uint32_t style, int x, int y,
                                      int width, int height, InstanceHandle instance) = 0;
    virtual bool showWindow(WindowHandle window, int command) = 0;
    virtual bool updateWindow(WindowHandle window) = 0;
    virtual bool getClientRect(WindowHandle window, Rect& rect) = 0;
    virtual bool clientToScreen(WindowHandle window, Point& point) = 0;
    virtual bool getWindowRect(WindowHandle window, Rect& rect) = 0;
    // The window of that class and title, this player's or, in a second
    // start, the running player's.
    virtual WindowHandle findWindow(const char* className, const char* title) = 0;
    virtual WindowHandle getParent(WindowHandle window) = 0;
    virtual WindowHandle getDesktopWindow() = 0;
    virtual bool setForegroundWindow(WindowHandle window) = 0;
    virtual CursorHandle setCursor(CursorHandle cursor) = 0;

    // Messages.
    virtual bool postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                             LParam lParam) = 0;
    virtual LResult sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                LParam lParam) = 0;
    // Hands kWmCopyData with `data` to a window, possibly of another
    // process; returns once the receiver has it.
    virtual LResult sendCopyData(WindowHandle window, const CopyData& data) = 0;
    virtual void postQuitMessage(int exitCode) = 0;
    virtual LResult defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) = 0;

    // Message loop. peekMessage looks without removing; getMessage removes
    // the next message, waiting for one, and returns 0 for the quit message;
    // waitMessage blocks until a message arrives.
    virtual bool peekMessage() = 0;
    virtual int getMessage(Message& message) = 0;
    virtual void translateAndDispatch(const Message& message) = 0;
    virtual void waitMessage() = 0;

    // Controls and dialogs.
    virtual WindowHandle createToolBar(const ToolBarParams& params) = 0;
    // Non-zero when a file was chosen (its path is then in request.file).
    virtual std::int32_t getOpenFileName(OpenFileRequest& request) = 0;
    // Runs the dialog template `name` modally, its logic in `proc`.
    virtual std::intptr_t dialogBox(InstanceHandle instance, const char* name, WindowHandle owner,
                                    DialogProc proc) = 0;
    virtual void messageBox(WindowHandle owner, const char* text, const char* caption,
                            std::uint32_t style) = 0;
    virtual std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                        std::uint32_t bufferSize) = 0;
    virtual void dragFinish(DropHandle drop) = 0;
};

}  // namespace ostrel::platform
