// A scripted platform for the core's tests. Every call is logged as one line,
// "Name(arg,arg)", in `log`; `script(name, {...})` answers the next calls of
// that name in turn, and without a script calls succeed. Files are the real
// file system's (tests use temporary folders); windows, messages, dialogs and
// media are simulated.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/Platform.h"
#include "state/PlayerState.h"

namespace ostrel::fake {

using namespace ostrel::platform;
using Lines = std::vector<std::string>;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
inline unsigned long id(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}
struct Hex {
    std::uint64_t value;
};
inline std::string text(const std::string& s) {
    return s;
}
inline std::string text(const char* s) {
    return s ? s : "null";
}
inline std::string text(Hex h) {
    return format("0x%llX", static_cast<unsigned long long>(h.value));
}
inline std::string text(const void* handle) {
    return handle ? format("0x%lX", id(handle)) : "null";
}
template <class T>
requires std::is_arithmetic_v<T> std::string text(T v) {
    return std::to_string(v);
}

// The log and the scripts, shared by the platform and its dialogs.
struct Recorder {
    Lines log;
    std::map<std::string, std::deque<std::int64_t>> scripts;
    bool comUp = false;
    int liveObjects = 0;  // platform objects not yet released

    void script(const std::string& name, std::vector<std::int64_t> answers) {
        scripts[name].insert(scripts[name].end(), answers.begin(), answers.end());
    }
    // Logs "name(args)"; the scripted answer, if any.
    template <class... A>
    std::optional<std::int64_t> call(const std::string& name, const A&... args) {
        std::string line;
        ((line += "," + text(args)), ...);
        log.push_back(name + "(" + (line.empty() ? "" : line.substr(1)) + ")");
        auto& answers = scripts[name];
        if (answers.empty()) return std::nullopt;
        std::int64_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    template <class... A>
    Status ok(const std::string& name, const A&... args) {
        return static_cast<Status>(call(name, args...).value_or(kOk));
    }
    template <class... A>
    bool yes(const std::string& name, const A&... args) {
        return call(name, args...).value_or(1) != 0;
    }
    // Log lines that start with `prefix`, in order.
    Lines calls(const std::string& prefix) const {
        Lines out;
        for (const auto& line : log)
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }
    int count(const std::string& prefix) const { return static_cast<int>(calls(prefix).size()); }
};

// What the fake stream knows about a media file.
struct MediaInfo {
    int frames = 75;  // of 400000 units each: 25 frames a second
    std::uint32_t width = 320, height = 240;
    bool opens = true;  // false: the codec is missing
};

// A dialog opened through dialogBox or by a test. Its controls are items
// 0x1000 + id; what the logic does to them is logged.
class FakeDialogView : public DialogView {
public:
    FakeDialogView(Recorder& r, DialogProc dialogProc) : proc(dialogProc), r_(r) {}
    WindowHandle item(int id) override { return reinterpret_cast<WindowHandle>(0x1000 + id); }
    void setScrollRange(WindowHandle bar, int low, int high, bool redraw) override {
        r_.call("SetScrollRange", number(bar), low, high, redraw);
    }
    void setScrollPos(WindowHandle bar, int at, bool redraw) override {
        r_.call("SetScrollPos", number(bar), scrollPos[number(bar)] = at, redraw);
    }
    int getScrollPos(WindowHandle bar) override {
        r_.call("GetScrollPos", number(bar));
        return scrollPos[number(bar)];
    }
    void setItemText(int id, const char* t) override {
        r_.call("SetDlgItemText", id, texts[id] = t);
    }
    void moveTo(int x, int y) override { r_.call("MoveDialog", x, y); }
    void endDialog(std::intptr_t value) override { r_.call("EndDialog", *(result = value)); }
    void makeHyperlink(int id, const char* url) override { r_.call("MakeHyperlink", id, url); }

    bool send(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        return proc(*this, message, wParam, lParam);
    }
    bool command(int id) { return send(kWmCommand, static_cast<WParam>(id)); }
    bool scroll(int bar, std::uint32_t code, int thumb = 0) {
        return send(kWmHScroll, code | static_cast<WParam>(static_cast<std::uint16_t>(thumb)) << 16,
                    reinterpret_cast<LParam>(item(bar)));
    }

    DialogProc proc;
    std::map<int, std::string> texts;
    std::map<int, int> scrollPos;
    std::optional<std::intptr_t> result;  // set once ended

private:
    static int number(WindowHandle bar) { return static_cast<int>(id(bar) - 0x1000); }
    Recorder& r_;
};

class FakePlatform : public Recorder, public Windowing, public Files, public Sound, public Media {
public:
    std::map<std::string, MediaInfo> media;  // by full path; others open as MediaInfo{}
    Rect clientRect{0, 0, 454, 330};
    Point clientOrigin{204, 250};
    Rect windowRect{200, 200, 662, 586};
    bool windowFound = true;                  // findWindow finds the main window once made
    std::uint32_t deviceVolume = 0xFFFFFFFF;  // as the wave device keeps it
    std::string modulePath = "/opt/ostrel/ostrel";
    LocalTime clock{2026, 11, 6, 0, 20, 34, 26};
    bool otherInstance = false;  // another player runs, with this window
    WindowHandle otherWindow = nullptr;
    std::string chosenFile;   // the open-file dialog's answer ("" = cancel)
    std::string droppedFile;  // the first dropped file
    bool offline = false;
    std::string toolBar;   // the last tool bar's parameters and buttons
    std::string openFile;  // the last open-file request: owner, filter, index, flags
    // Runs inside a modal dialog after WM_INITDIALOG; must end it. Without
    // it OK is pressed at once.
    std::function<void(FakeDialogView&)> dialogScript;
    // Run in turn when the loop waits with an empty queue; once they are used
    // up the fake logs "WaitMessage(idle)" and posts quit with code 99.
    std::deque<std::function<void()>> idleScript;
    std::deque<Message> queue;  // posted messages
    WindowProc windowProc = nullptr;
    WindowHandle mainWindow = nullptr;

    static WindowHandle window(std::uintptr_t n) { return reinterpret_cast<WindowHandle>(n); }
    static constexpr std::uintptr_t kMainWindowId = 0x100;

    Status coInitialize() override { return comUp = true, ok("CoInitialize"); }
    void coUninitialize() override { call("CoUninitialize"), comUp = false; }
    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) override;
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) override;
    MmResult waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) override;
    std::int32_t sndPlaySound(const char* path, std::uint32_t flags) override {
        return static_cast<std::int32_t>(call("sndPlaySound", path, flags).value_or(1));
    }
    std::int32_t playSound(const char* name, std::uint32_t flags) override {
        return static_cast<std::int32_t>(call("PlaySound", name, Hex{flags}).value_or(1));
    }
    std::int32_t inetIsOffline() override {
        return static_cast<std::int32_t>(call("InetIsOffline").value_or(offline));
    }
    void openUrl(WindowHandle owner, const char* url) override { call("ShellExecute", owner, url); }
    void messageBox(WindowHandle owner, const char* t, const char* caption,
                    std::uint32_t style) override {
        call("MessageBox", owner, t, caption, Hex{style});
    }
    bool fileExists(const char* path) override;
    std::uint32_t getFullPathName(const char* path, std::uint32_t size, char* buffer) override;
    std::uint32_t getModuleFileName(char* buffer, std::uint32_t size) override;
    bool replaceFile(const char* source, const char* target) override;
    void configurationNotWritten(const char* path, int) override {
        call("ConfigurationNotWritten", path);
    }
    LocalTime localTime() override { return call("LocalTime"), clock; }
    MutexHandle createMutex(const char* name, bool& alreadyExists) override {
        call("CreateMutex", name);
        alreadyExists = otherInstance;
        return reinterpret_cast<MutexHandle>(0x77);
    }
    void closeHandle(MutexHandle handle) override { call("CloseHandle", handle); }
    CursorHandle loadArrowCursor() override {
        return call("LoadCursor"), reinterpret_cast<CursorHandle>(0x55);
    }
    IconHandle loadIcon(InstanceHandle, int resource) override {
        return call("LoadIcon", resource), reinterpret_cast<IconHandle>(0x66);
    }
    std::uint16_t registerClass(const WindowClass& c) override {
        windowProc = c.windowProc;
        return static_cast<std::uint16_t>(call("RegisterClass", c.className, c.menuResource,
                                               Hex{c.style}, c.instance, c.icon, c.smallIcon,
                                               c.cursor, c.blackBackground)
                                              .value_or(1));
    }
    WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                              std::uint32_t style, int x, int y, int width, int height,
                              InstanceHandle instance) override;
    bool showWindow(WindowHandle, int command) override { return yes("ShowWindow", command); }
    bool updateWindow(WindowHandle) override { return yes("UpdateWindow"); }
    bool getClientRect(WindowHandle, Rect& rect) override {
        return yes("GetClientRect") && (rect = clientRect, true);
    }
    bool clientToScreen(WindowHandle, Point& p) override {
        return yes("ClientToScreen") && (p = {p.x + clientOrigin.x, p.y + clientOrigin.y}, true);
    }
    bool getWindowRect(WindowHandle, Rect& rect) override {
        return yes("GetWindowRect") && (rect = windowRect, true);
    }
    WindowHandle findWindow(const char* className, const char* title) override;
    WindowHandle getParent(WindowHandle) override {
        return window(static_cast<std::uintptr_t>(call("GetParent").value_or(0)));
    }
    WindowHandle getDesktopWindow() override { return window(0x1); }
    bool setForegroundWindow(WindowHandle w) override { return yes("SetForegroundWindow", w); }
    CursorHandle setCursor(CursorHandle cursor) override {
        return call("SetCursor", cursor), nullptr;
    }
    bool postMessage(WindowHandle w, std::uint32_t message, WParam wParam, LParam lParam) override {
        call("PostMessage", w, Hex{message}, wParam, lParam);
        queue.push_back({w, message, wParam, lParam});
        return true;
    }
    LResult sendMessage(WindowHandle w, std::uint32_t message, WParam wParam,
                        LParam lParam) override {
        call("SendMessage", Hex{message});
        return w == mainWindow ? windowProc(w, message, wParam, lParam) : 0;
    }
    LResult sendCopyData(WindowHandle w, const CopyData& data) override;
    void postQuitMessage(int exitCode) override {
        call("PostQuitMessage", exitCode);
        queue.push_back({nullptr, kWmQuit, static_cast<WParam>(exitCode), 0});
    }
    LResult defWindowProc(WindowHandle w, std::uint32_t message, WParam, LParam) override {
        call("DefWindowProc", Hex{message});
        // Closing a window destroys it.
        if (message == kWmClose && w == mainWindow) windowProc(w, kWmDestroy, 0, 0);
        return 0;
    }
    bool peekMessage() override { return !queue.empty(); }
    int getMessage(Message& message) override;
    void translateAndDispatch(const Message& m) override {
        if (m.window == mainWindow) windowProc(m.window, m.message, m.wParam, m.lParam);
    }
    void waitMessage() override;
    WindowHandle createToolBar(const ToolBarParams& params) override;
    std::int32_t getOpenFileName(OpenFileRequest& request) override;
    std::intptr_t dialogBox(InstanceHandle instance, const char* name, WindowHandle owner,
                            DialogProc proc) override;
    std::uint32_t dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                std::uint32_t size) override;
    void dragFinish(DropHandle) override { call("DragFinish"); }
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
