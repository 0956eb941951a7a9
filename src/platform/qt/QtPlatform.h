// The player's platform on Linux desktops: Qt 6 Widgets for the window, its
// menu bar, tool bar and dialogs; FFmpeg's libraries (through the media
// engine in media/) for clips and sounds. Each call of the seam gets the
// meaning the player relies on. The implementation is split by concept:
//   QtPlatform.cpp          component library, media objects, sound, shell,
//                           files and paths, single instance, window calls
//   QtWindowSystem.cpp      main window, client area, messages and the loop
//   QtDirectDraw.cpp        the screen, the off-screen image, the clipper
//   QtMultiMediaStream.cpp  streams and samples over media::MediaEngine
//   QtDialogs.cpp           tool bar, open-file dialog, modal dialogs
//   QtSingleInstance.cpp    the per-user lock and the hand-over socket
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/qt/QtSingleInstance.h"
#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace media {
class SoundPlayer;
}

class QtPlatform final : public Platform {
public:
    QtPlatform();
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    WindowSystem& windowSystem() { return windows_; }
    // The clip the command line names (empty for none): once the single
    // instance says this is the first start, the media libraries load, the
    // sound output connects and this clip opens, on workers, while the
    // window is made. A second start needs none of them.
    void setFirstClip(std::string path) { firstClip_ = std::move(path); }

    Status coInitialize() override;
    void coUninitialize() override;

    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) override;
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) override;

    MmResult waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) override;
    std::int32_t sndPlaySound(const char* path, std::uint32_t flags) override;
    std::int32_t playSound(const char* name, std::uint32_t flags) override;

    std::int32_t inetIsOffline() override;
    void openUrl(WindowHandle owner, const char* url) override;
    void messageBox(WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t style) override;

    bool fileExists(const char* path) override;
    std::uint32_t getFullPathName(const char* path, std::uint32_t bufferSize,
                                  char* buffer) override;
    std::uint32_t getModuleFileName(char* buffer, std::uint32_t bufferSize) override;
    bool replaceFile(const char* source, const char* target) override;
    void configurationNotWritten(const char* path, int error) override;
    LocalTime localTime() override;

    MutexHandle createMutex(const char* name, bool& alreadyExists) override;
    void closeHandle(MutexHandle handle) override;

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

    // The handle that stands for the running player's window in a second
    // start.
    static WindowHandle remoteWindow();

private:
    media::SoundPlayer& sounds();
    void startListening();

    WindowSystem windows_;
    SingleInstance instance_;
    std::unique_ptr<media::SoundPlayer> sounds_;
    std::shared_ptr<const std::vector<std::uint8_t>> introSound_;
    std::string firstClip_;
};

}  // namespace ostrel::platform::qt
