// The player's platform on Windows: each call of the seam is the Win32,
// component library, DirectDraw or DirectShow call of the same name, with the
// arguments the player relies on. One class for each concept of the seam:
//   Win32Windows  Win32WindowSystem.cpp (window class, windows, messages, the
//                 loop), Win32Dialogs.cpp (tool bar, dialogs, message box,
//                 drops)
//   Win32Files    Win32Files.cpp (files and paths, single instance, shell)
//   Win32Sound    Win32Sound.cpp (wave output, WAV files, own sounds)
//   Win32Media    Win32Media.cpp (component library, media objects)
#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

class Win32Windows final : public Windowing {
public:
    CursorHandle loadArrowCursor() override;
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
    WindowHandle getDesktopWindow() override;
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
    std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                std::uint32_t bufferSize) override;
    void dragFinish(DropHandle drop) override;
    void messageBox(WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t style) override;

private:
    // The message getMessage took last, whole (time and pointer position
    // included), so that dispatching it hands the system what it gave.
    MSG lastMessage_{};
};

class Win32Files final : public Files {
public:
    bool fileExists(const char* path) override;
    std::uint32_t getFullPathName(const char* path, std::uint32_t bufferSize,
                                  char* buffer) override;
    std::uint32_t getModuleFileName(char* buffer, std::uint32_t bufferSize) override;
    bool replaceFile(const char* source, const char* target) override;
    LocalTime localTime() override;

    MutexHandle createMutex(const char* name, bool& alreadyExists) override;
    void closeHandle(MutexHandle handle) override;
    std::int32_t inetIsOffline() override;
    void openUrl(WindowHandle owner, const char* url) override;
};

class Win32Sound final : public Sound {
public:
    MmResult waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) override;
    std::int32_t sndPlaySound(const char* path, std::uint32_t flags) override;
    std::int32_t playSound(const char* name, std::uint32_t flags) override;
};

class Win32Media final : public Media {
public:
    Status coInitialize() override;
    void coUninitialize() override;

    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) override;
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) override;
};

// The four, as the core is installed on them.
struct Win32Platform {
    Win32Windows windows;
    Win32Files files;
    Win32Sound sound;
    Win32Media media;
    Platform seam() { return Platform{&windows, &files, &sound, &media}; }
};

}  // namespace ostrel::platform::win32
