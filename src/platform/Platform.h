// The seam between the player core and the system it runs on. The core calls
// nothing else: every platform service it needs is a call here or on one of
// the objects these calls make. Each build supplies one implementation
// (Win32 + DirectShow, Qt + libmpv); the tests supply a scripted fake.
//
// Every call runs on the one user-interface thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/DirectDraw.h"
#include "platform/MultiMediaStream.h"
#include "platform/Types.h"
#include "platform/WaveOut.h"
#include "platform/WindowSystem.h"

namespace ostrel::platform {

class Platform {
public:
    virtual ~Platform() = default;

    // Component library: started once before the display objects are made,
    // shut down once at the end of the run.
    virtual Status coInitialize() = 0;
    virtual void coUninitialize() = 0;

    // Display and media objects.
    virtual Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) = 0;
    virtual Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) = 0;

    // Wave output for the volume; nothing is ever played through it.
    virtual MmResult waveOutOpen(const WaveFormat& format,
                                 std::unique_ptr<WaveOutDevice>& device) = 0;
    // Plays a WAV file (`path` null stops any sound). With kSndSync the call
    // returns when the sound has ended. Non-zero on success.
    virtual std::int32_t sndPlaySound(const char* path, std::uint32_t flags) = 0;
    // Plays a sound of the player's own resources ("#129": the intro sound);
    // with kSndResource | kSndAsync it returns at once.
    virtual std::int32_t playSound(const char* name, std::uint32_t flags) = 0;

    // Shell.
    virtual std::int32_t inetIsOffline() = 0;
    virtual void openUrl(WindowHandle owner, const char* url) = 0;
    virtual void messageBox(WindowHandle owner, const char* text, const char* caption,
                            std::uint32_t style) = 0;

    // Files and paths.
    // True when a file or folder exists at `path`.
    virtual bool fileExists(const char* path) = 0;
    // Resolves `path` against the current folder without touching links.
    // When `bufferSize` is too small (0 included) returns the size needed,
    // terminator included; otherwise writes the path and returns its length
    // without the terminator. 0 on failure.
    virtual std::uint32_t getFullPathName(const char* path, std::uint32_t bufferSize,
                                          char* buffer) = 0;
    // The executable's full path; returns its length (bufferSize when cut).
    virtual std::uint32_t getModuleFileName(char* buffer, std::uint32_t bufferSize) = 0;
    // Renames `source` over `target` in one step, replacing it.
    virtual bool replaceFile(const char* source, const char* target) = 0;
    // The configuration at `path` could not be written (`error`: the errno of
    // the step that failed); the player goes on as before.
    virtual void configurationNotWritten(const char* /*path*/, int /*error*/) {}
    virtual LocalTime localTime() = 0;

    // Single instance. `alreadyExists` tells whether another player holds it.
    virtual MutexHandle createMutex(const char* name, bool& alreadyExists) = 0;
    virtual void closeHandle(MutexHandle handle) = 0;

    // Window system.
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
    virtual WindowHandle findWindow(const char* className, const char* title) = 0;
    virtual WindowHandle getParent(WindowHandle window) = 0;
    virtual WindowHandle getDesktopWindow() = 0;
    virtual bool setForegroundWindow(WindowHandle window) = 0;
    virtual CursorHandle setCursor(CursorHandle cursor) = 0;
    virtual bool postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                             LParam lParam) = 0;
    virtual LResult sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                LParam lParam) = 0;
    // Sends kWmCopyData with `data` to a window, possibly of another
    // process; returns after the receiver has handled it.
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
    virtual std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                        std::uint32_t bufferSize) = 0;
    virtual void dragFinish(DropHandle drop) = 0;
};

}  // namespace ostrel::platform
