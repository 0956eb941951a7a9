// A scripted platform for the core's tests. Every call is recorded in `log`
// as one line ("CreateSurface(primary)", "Release(clipper)", ...). A call's
// result comes from its script: `script("Name", {results...})` answers the
// next calls of that name in turn; `always("Name", result)` answers every
// later call once the script has run out. Without either, calls succeed.
//
// Files and paths are the real file system's, so tests use temporary folders.
// Windows, messages, dialogs and media are simulated here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "platform/Platform.h"

namespace ostrel::fake {

using namespace ostrel::platform;

// What the fake stream knows about a media file.
struct MediaInfo {
    int frames = 75;
    StreamTime frameTime = 400000;  // 25 frames per second
    std::uint32_t width = 320;
    std::uint32_t height = 240;
    bool hasVideo = true;
    bool opens = true;  // false: the codec is missing
};

class FakePlatform;

// A dialog opened through dialogBox; the test's dialog script drives it.
class FakeDialogView : public DialogView {
public:
    FakeDialogView(FakePlatform& platform, std::string name)
        : fake_(platform), name_(std::move(name)) {}

    WindowHandle item(int id) override;
    void setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) override;
    void setScrollPos(WindowHandle bar, int position, bool redraw) override;
    int getScrollPos(WindowHandle bar) override;
    void setItemText(int id, const char* text) override;
    void moveTo(int x, int y) override;
    void endDialog(std::intptr_t result) override;
    void makeHyperlink(int id, const char* url) override;

    // Sends a message to the dialog's logic; returns the procedure's answer.
    bool send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0);
    bool command(int id) { return send(kWmCommand, static_cast<WParam>(id), 0); }
    bool scroll(int barId, std::uint32_t code, int thumb = 0);

    const std::string& name() const { return name_; }
    std::map<int, std::string> texts;
    std::map<int, int> scrollPos;
    std::map<int, std::pair<int, int>> scrollRange;
    bool ended = false;
    std::intptr_t result = 0;
    bool moved = false;
    Point position;
    std::map<int, std::string> links;
    DialogProc proc = nullptr;

private:
    FakePlatform& fake_;
    std::string name_;
};

class FakePlatform : public Platform {
public:
    FakePlatform();
    ~FakePlatform() override;

    // --- scripting and inspection ---
    std::vector<std::string> log;
    void script(const std::string& call, std::vector<std::int64_t> results);
    void always(const std::string& call, std::int64_t result);
    // Log lines that start with `prefix`, in order.
    std::vector<std::string> calls(const std::string& prefix = "") const;
    int count(const std::string& prefix) const;
    // Index of the first log line equal to `line` (-1 when absent).
    int indexOf(const std::string& line) const;
    void clearLog() { log.clear(); }

    // Media files the stream can open, by full path; others open as MediaInfo{}.
    std::map<std::string, MediaInfo> media;

    // Window geometry: client size and its origin on the screen, the outer
    // rectangle GetWindowRect answers.
    Rect clientRect{0, 0, 454, 330};
    Point clientOrigin{204, 250};
    Rect windowRect{200, 200, 662, 586};
    bool windowFound = true;  // findWindow finds the main window once made

    // Wave device volume, as the device keeps it.
    std::uint32_t deviceVolume = 0xFFFFFFFF;

    // The executable's path answered by getModuleFileName.
    std::string modulePath = "/opt/ostrel/ostrel";
    LocalTime clock{2026, 11, 6, 0, 20, 34, 26};

    // Another player already runs (createMutex reports it) and its window.
    bool otherInstance = false;
    WindowHandle otherWindow = nullptr;
    std::vector<std::string> handedOver;  // texts sent with sendCopyData
    std::vector<std::uint32_t> handedOverSizes;

    // The open-file dialog answers this path ("" = cancel).
    std::string chosenFile;
    // The first dropped file.
    std::string droppedFile;
    bool offline = false;

    // What happens inside a modal dialog: called with the running dialog
    // after WM_INITDIALOG was sent; must press OK to end it. Default: OK.
    std::function<void(FakeDialogView&)> dialogScript;
    std::vector<std::unique_ptr<FakeDialogView>> dialogs;  // every dialog opened

    // Called when the loop would wait with an empty queue. Without it the
    // fake posts the quit message with code 99 and logs "WaitMessage(idle)".
    std::deque<std::function<void()>> idleScript;

    // Called at every sample update of a simulated stream, before it
    // answers, with the stream's path and the number of the frame it is
    // about to deliver (a test posts the user's next action from here).
    std::function<void(const std::string& path, std::int64_t frame)> onUpdate;

    // Messages waiting in the queue.
    std::deque<Message> queue;
    WindowProc windowProc = nullptr;
    WindowHandle mainWindow = nullptr;
    bool comUp = false;
    int liveObjects = 0;  // platform objects not yet released

    // Handles the fake gives out.
    static WindowHandle window(std::uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }
    static constexpr std::uintptr_t kMainWindowId = 0x100;
    static constexpr std::uintptr_t kDesktopId = 0x1;
    static constexpr std::uintptr_t kToolBarId = 0x200;

    // --- the seam ---
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

    // Records a call and answers it from its script (or `otherwise`).
    std::int64_t call(const std::string& line, const std::string& name, std::int64_t otherwise = 0);

    // The last tool bar and open-file request, as passed.
    ToolBarParams lastToolBar;
    std::vector<ToolButton> lastToolButtons;
    OpenFileRequest lastOpenFile;
    std::string lastOpenFilter;
    WindowClass lastClass;
    std::string lastClassName;

private:
    std::map<std::string, std::deque<std::int64_t>> scripts_;
    std::map<std::string, std::int64_t> always_;
};

// Installs a fresh fake and a fresh player state for each test, and removes
// both afterwards.
struct FakeFixtureState {
    FakeFixtureState();
    ~FakeFixtureState();
    FakePlatform fake;
};

}  // namespace ostrel::fake
