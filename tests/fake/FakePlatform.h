// A scripted platform for the core's tests. Every call is recorded in `log`
// as one line ("CreateSurface(primary ...)", "Release(clipper)", ...). A call
// is answered from the script of its name (the line up to its "(", or a name
// the call gives, such as "CreateSurface(offscreen)"): `script(name, {...})`
// answers the next calls in turn, `always(name, result)` every later one once
// the script has run out. Without either, calls succeed.
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

#include "state/PlayerState.h"
#include "platform/Platform.h"

namespace ostrel::fake {

using namespace ostrel::platform;

// printf into a string, for log lines.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
// A handle as the log shows it ("0x%lX").
inline unsigned long id(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

// What the fake stream knows about a media file.
struct MediaInfo {
    int frames = 75;
    StreamTime frameTime = 400000;  // 25 frames per second
    std::uint32_t width = 320;
    std::uint32_t height = 240;
    bool hasVideo = true;
    bool opens = true;  // false: the codec is missing
};

// A dialog opened through dialogBox; the test's dialog script drives it.
// Its controls are items 0x1000 + id; what the logic does to them is logged.
class FakeDialogView : public DialogView {
public:
    FakeDialogView(std::vector<std::string>& log, std::string dialogName)
        : name(std::move(dialogName)), log_(log) {}

    WindowHandle item(int id) override { return reinterpret_cast<WindowHandle>(0x1000 + id); }
    void setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) override {
        log_.push_back(format("SetScrollRange(%d,%d,%d,%s)", number(bar), minimum, maximum,
                              redraw ? "redraw" : "no redraw"));
    }
    void setScrollPos(WindowHandle bar, int at, bool redraw) override {
        scrollPos[number(bar)] = at;
        log_.push_back(
            format("SetScrollPos(%d,%d,%s)", number(bar), at, redraw ? "redraw" : "no redraw"));
    }
    int getScrollPos(WindowHandle bar) override {
        log_.push_back(format("GetScrollPos(%d)", number(bar)));
        return scrollPos[number(bar)];
    }
    void setItemText(int id, const char* text) override {
        texts[id] = text;
        log_.push_back(format("SetDlgItemText(%d,\"%s\")", id, text));
    }
    void moveTo(int x, int y) override {
        moved = true;
        position = {x, y};
        log_.push_back(format("MoveDialog(%d,%d)", x, y));
    }
    void endDialog(std::intptr_t value) override {
        ended = true;
        log_.push_back(format("EndDialog(%ld)", static_cast<long>(result = value)));
    }
    void makeHyperlink(int id, const char* url) override {
        log_.push_back(format("MakeHyperlink(%d,%s)", id, url));
        links[id] = url;
    }

    // Sends a message to the dialog's logic; returns the procedure's answer.
    bool send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return proc(*this, message, wParam, lParam);
    }
    bool command(int id) { return send(kWmCommand, static_cast<WParam>(id)); }
    bool scroll(int barId, std::uint32_t code, int thumb = 0) {
        return send(kWmHScroll, code | static_cast<WParam>(static_cast<std::uint16_t>(thumb)) << 16,
                    reinterpret_cast<LParam>(item(barId)));
    }

    std::string name;
    DialogProc proc = nullptr;
    std::map<int, std::string> texts, links;
    std::map<int, int> scrollPos;
    bool ended = false, moved = false;
    std::intptr_t result = 0;
    Point position;

private:
    static int number(WindowHandle bar) { return static_cast<int>(id(bar) - 0x1000); }
    std::vector<std::string>& log_;
};

class FakePlatform : public Windowing, public Files, public Sound, public Media {
public:
    FakePlatform();
    ~FakePlatform() override;

    // --- scripting and inspection
    std::vector<std::string> log;
    void script(const std::string& name, std::vector<std::int64_t> results);
    void always(const std::string& name, std::int64_t result) { always_[name] = result; }
    // Log lines that start with `prefix`, in order.
    std::vector<std::string> calls(const std::string& prefix = "") const;
    int count(const std::string& prefix) const { return static_cast<int>(calls(prefix).size()); }
    // Index of the first log line equal to `line` (-1 when absent).
    int indexOf(const std::string& line) const;
    void clearLog() { log.clear(); }
    // Records a call and answers it from its script (or `otherwise`).
    std::int64_t call(const std::string& line, std::int64_t otherwise = 0,
                      const std::string& name = "");
    Status status(const std::string& line, const std::string& name = "") {
        return static_cast<Status>(call(line, kOk, name));
    }
    bool succeeds(const std::string& line) { return call(line, 1) != 0; }

    // Media files the stream can open, by full path; others open as MediaInfo{}.
    std::map<std::string, MediaInfo> media;
    // Client area and its origin on the screen; the outer window rectangle.
    Rect clientRect{0, 0, 454, 330};
    Point clientOrigin{204, 250};
    Rect windowRect{200, 200, 662, 586};
    bool windowFound = true;                  // findWindow finds the main window once made
    std::uint32_t deviceVolume = 0xFFFFFFFF;  // as the wave device keeps it
    std::string modulePath = "/opt/ostrel/ostrel";
    LocalTime clock{2026, 11, 6, 0, 20, 34, 26};
    // Another player already runs (createMutex reports it), with this window.
    bool otherInstance = false;
    WindowHandle otherWindow = nullptr;
    std::string chosenFile;   // the open-file dialog's answer ("" = cancel)
    std::string droppedFile;  // the first dropped file
    bool offline = false;
    // Runs inside a modal dialog after WM_INITDIALOG; must press OK to end
    // it. Without it OK is pressed at once.
    std::function<void(FakeDialogView&)> dialogScript;
    std::vector<std::unique_ptr<FakeDialogView>> dialogs;  // every dialog opened
    // Run in turn when the loop waits with an empty queue; once they are
    // used up the fake logs "WaitMessage(idle)" and posts quit with code 99.
    std::deque<std::function<void()>> idleScript;
    // Called at every sample update, before it answers, with the stream's
    // path and the frame it is about to deliver.
    std::function<void(const std::string& path, std::int64_t frame)> onUpdate;

    std::deque<Message> queue;  // posted messages
    WindowProc windowProc = nullptr;
    WindowHandle mainWindow = nullptr;
    bool comUp = false;
    int liveObjects = 0;  // platform objects not yet released

    static WindowHandle window(std::uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }
    static constexpr std::uintptr_t kMainWindowId = 0x100;
    static constexpr std::uintptr_t kToolBarId = 0x200;

    // What the last calls were given.
    WindowClass lastClass;
    std::string lastClassName;
    ToolBarParams lastToolBar;
    std::vector<ToolButton> lastToolButtons;
    OpenFileRequest lastOpenFile;
    std::string lastOpenFilter;  // the filter's texts, each followed by "|"

    // --- the seam
    Status coInitialize() override {
        comUp = true;
        return status("CoInitialize");
    }
    void coUninitialize() override {
        call("CoUninitialize");
        comUp = false;
    }
    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) override;
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) override;
    MmResult waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) override;
    std::int32_t sndPlaySound(const char* path, std::uint32_t flags) override {
        return static_cast<std::int32_t>(
            call(format("sndPlaySound(%s,%u)", path ? path : "null", flags), 1));
    }
    std::int32_t playSound(const char* name, std::uint32_t flags) override {
        return static_cast<std::int32_t>(call(format("PlaySound(%s,0x%X)", name, flags), 1));
    }
    std::int32_t inetIsOffline() override {
        return static_cast<std::int32_t>(call("InetIsOffline", offline));
    }
    void openUrl(WindowHandle owner, const char* url) override {
        call(format("ShellExecute(0x%lX,open,%s)", id(owner), url));
    }
    void messageBox(WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t style) override {
        call(format("MessageBox(0x%lX,%s,%s,0x%X)", id(owner), text, caption, style));
    }
    bool fileExists(const char* path) override;
    std::uint32_t getFullPathName(const char* path, std::uint32_t size, char* buffer) override;
    std::uint32_t getModuleFileName(char* buffer, std::uint32_t size) override;
    bool replaceFile(const char* source, const char* target) override;
    void configurationNotWritten(const char* path, int error) override;
    LocalTime localTime() override {
        call("LocalTime");
        return clock;
    }
    MutexHandle createMutex(const char* name, bool& alreadyExists) override {
        call(format("CreateMutex(%s)", name));
        alreadyExists = otherInstance;
        return reinterpret_cast<MutexHandle>(0x77);
    }
    void closeHandle(MutexHandle handle) override {
        call(format("CloseHandle(0x%lX)", id(handle)));
    }
    CursorHandle loadArrowCursor() override {
        call("LoadCursor(arrow)");
        return reinterpret_cast<CursorHandle>(0x55);
    }
    IconHandle loadIcon(InstanceHandle, int resource) override {
        call(format("LoadIcon(%d)", resource));
        return reinterpret_cast<IconHandle>(0x66);
    }
    std::uint16_t registerClass(const WindowClass& windowClass) override;
    WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                              std::uint32_t style, int x, int y, int width, int height,
                              InstanceHandle instance) override;
    bool showWindow(WindowHandle, int command) override {
        return succeeds(format("ShowWindow(%d)", command));
    }
    bool updateWindow(WindowHandle) override { return succeeds("UpdateWindow"); }
    bool getClientRect(WindowHandle, Rect& rect) override {
        return succeeds("GetClientRect") && (rect = clientRect, true);
    }
    bool clientToScreen(WindowHandle, Point& point) override {
        if (!succeeds("ClientToScreen")) return false;
        point = {point.x + clientOrigin.x, point.y + clientOrigin.y};
        return true;
    }
    bool getWindowRect(WindowHandle, Rect& rect) override {
        return succeeds("GetWindowRect") && (rect = windowRect, true);
    }
    WindowHandle findWindow(const char* className, const char* title) override;
    WindowHandle getParent(WindowHandle) override {
        return window(static_cast<std::uintptr_t>(call("GetParent")));
    }
    WindowHandle getDesktopWindow() override { return window(0x1); }
    bool setForegroundWindow(WindowHandle w) override {
        return succeeds(format("SetForegroundWindow(0x%lX)", id(w)));
    }
    CursorHandle setCursor(CursorHandle cursor) override {
        call(cursor ? format("SetCursor(0x%lX)", id(cursor)) : "SetCursor(null)");
        return nullptr;
    }
    bool postMessage(WindowHandle w, std::uint32_t message, WParam wParam, LParam lParam) override {
        call(format("PostMessage(0x%X)", message), 1);
        queue.push_back({w, message, wParam, lParam});
        return true;
    }
    LResult sendMessage(WindowHandle w, std::uint32_t message, WParam wParam,
                        LParam lParam) override {
        call(format("SendMessage(0x%X)", message));
        return windowProc && w && w == mainWindow ? windowProc(w, message, wParam, lParam) : 0;
    }
    LResult sendCopyData(WindowHandle w, const CopyData& data) override;
    void postQuitMessage(int exitCode) override {
        call(format("PostQuitMessage(%d)", exitCode));
        queue.push_back({nullptr, kWmQuit, static_cast<WParam>(exitCode), 0});
    }
    LResult defWindowProc(WindowHandle w, std::uint32_t message, WParam, LParam) override {
        call(format("DefWindowProc(0x%X)", message));
        // Closing a window destroys it.
        if (message == kWmClose && windowProc && w == mainWindow) windowProc(w, kWmDestroy, 0, 0);
        return 0;
    }
    bool peekMessage() override { return !queue.empty(); }
    int getMessage(Message& message) override;
    void translateAndDispatch(const Message& m) override {
        if (windowProc && m.window == mainWindow)
            windowProc(m.window, m.message, m.wParam, m.lParam);
    }
    void waitMessage() override;
    WindowHandle createToolBar(const ToolBarParams& params) override;
    std::int32_t getOpenFileName(OpenFileRequest& request) override;
    std::intptr_t dialogBox(InstanceHandle instance, const char* name, WindowHandle owner,
                            DialogProc proc) override;
    std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                std::uint32_t size) override;
    void dragFinish(DropHandle) override { call("DragFinish"); }

private:
    std::map<std::string, std::deque<std::int64_t>> scripts_;
    std::map<std::string, std::int64_t> always_;
};

// Installs a fresh fake and a fresh player state, and removes both again.
struct FakeFixtureState {
    FakeFixtureState() {
        state = PlayerState{};
        installPlatform({&fake, &fake, &fake, &fake});
    }
    ~FakeFixtureState() {
        state = PlayerState{};
        installPlatform({});
    }
    FakePlatform fake;
};

}  // namespace ostrel::fake
