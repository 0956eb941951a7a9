// A scripted platform for the core's tests. Every call is logged as one line,
// "Name(arg,arg)", in `log`; `script(name, {...})` answers the next calls of
// that name in turn, and without a script calls succeed. Files are the real
// file system's (tests use temporary folders); windows, messages, dialogs and
// media are simulated.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
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
using U32 = std::uint32_t;
using I64 = std::int64_t;
using WH = WindowHandle;

template <class... A>
std::string format(const char* pattern, A... args) {
    std::string out(static_cast<std::size_t>(std::snprintf(nullptr, 0, pattern, args...)), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern, args...);
    return out;
}
enum class Hex : std::uint64_t {};  // logged in hexadecimal
template <class T>
T* handle(std::uintptr_t n) {
    return reinterpret_cast<T*>(n);
}

// The log and the scripts, shared by the platform, its objects and dialogs.
struct Recorder {
    static unsigned long id(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }
    static std::string text(const std::string& s) { return s; }
    static std::string text(const char* s) { return s ? s : "null"; }
    static std::string text(Hex h) { return format("0x%llX", static_cast<unsigned long long>(h)); }
    static std::string text(const void* h) { return h ? format("0x%lX", id(h)) : "null"; }
    static std::string text(const Rect* r) {
        return r ? format("%d,%d,%d,%d", r->left, r->top, r->right, r->bottom) : "null";
    }
    template <class T>
    requires std::is_arithmetic_v<T>
    static std::string text(T v) { return std::to_string(v); }

    Lines log;
    std::map<std::string, std::deque<I64>> scripts;
    bool comUp = false;
    int liveObjects = 0;  // platform objects not yet released

    void script(const std::string& name, std::vector<I64> answers) {
        scripts[name].insert(scripts[name].end(), answers.begin(), answers.end());
    }
    // Logs "name(args)" and answers from the script, or `otherwise`.
    template <class R = I64, class... A>
    R call(R otherwise, const std::string& name, const A&... args) {
        std::string line;
        ((line += "," + text(args)), ...);
        log.push_back(name + "(" + line.substr(line.empty() ? 0 : 1) + ")");
        auto& answers = scripts[name];
        if (answers.empty()) return otherwise;
        I64 answer = answers.front();
        answers.pop_front();
        return static_cast<R>(answer);
    }
    template <class... A>
    Status ok(const std::string& name, const A&... args) {
        return call(kOk, name, args...);
    }
    int count(const std::string& prefix) const {
        return static_cast<int>(
            std::ranges::count_if(log, [&](auto& line) { return line.starts_with(prefix); }));
    }
};

// What the fake stream knows about a media file.
struct MediaInfo {
    int frames = 75;  // of 400000 units each: 25 frames a second
    U32 width = 320, height = 240;
    bool opens = true;  // false: the codec is missing
};

// A dialog: its controls are items 0x1000 + id; what the logic does to them is logged.
struct FakeDialogView : DialogView {
    FakeDialogView(Recorder& r, DialogProc dialogProc) : proc(dialogProc), r_(r) {}
    WH item(int id) override { return handle<WindowObject>(0x1000 + id); }
    void setScrollRange(WH bar, int low, int high, bool redraw) override {
        r_.call(0, "SetScrollRange", n(bar), low, high, redraw);
    }
    void setScrollPos(WH bar, int at, bool redraw) override {
        r_.call(0, "SetScrollPos", n(bar), scrollPos[n(bar)] = at, redraw);
    }
    int getScrollPos(WH bar) override {
        return r_.call(0, "GetScrollPos", n(bar)), scrollPos[n(bar)];
    }
    void setItemText(int id, const char* t) override {
        r_.call(0, "SetDlgItemText", id, texts[id] = t);
    }
    void moveTo(int x, int y) override { r_.call(0, "MoveDialog", x, y); }
    void endDialog(std::intptr_t value) override { r_.call(0, "EndDialog", *(result = value)); }
    void makeHyperlink(int id, const char* url) override { r_.call(0, "MakeHyperlink", id, url); }

    bool send(U32 message, WParam wParam = 0, LParam lParam = 0) {
        return proc(*this, message, wParam, lParam);
    }
    bool command(int id) { return send(kWmCommand, static_cast<WParam>(id)); }
    bool scroll(int bar, U32 code, int thumb = 0) {
        return send(kWmHScroll, code | static_cast<WParam>(static_cast<std::uint16_t>(thumb)) << 16,
                    reinterpret_cast<LParam>(item(bar)));
    }
    static int n(WH bar) { return static_cast<int>(Recorder::id(bar) - 0x1000); }

    DialogProc proc;
    std::map<int, std::string> texts;
    std::map<int, int> scrollPos;
    std::optional<std::intptr_t> result;  // set once ended
    Recorder& r_;
};

// One opened stream's state, shared by the objects made from it.
struct StreamCore {
    MediaInfo info;
    StreamTime time = 0;
    bool running = false;
};
constexpr StreamTime kFrameTime = 400000;

struct FakeObject;
// Makes the object when the call succeeded; passes the status on.
template <class Base, class... A>
Status made(Status s, std::unique_ptr<Base>& out, A&&... args) {
    if (s >= 0) out = std::make_unique<FakeObject>(std::forward<A>(args)...);
    return s;
}

// Any of the platform's objects, by name: each uses its own interface's
// part. It counts as live until released, and logs its release, marked when
// the component library was already down.
struct FakeObject : DirectDrawClipper,
                    DirectDrawSurface,
                    DirectDraw,
                    DirectDrawFactory,
                    StreamSample,
                    DirectDrawMediaStream,
                    MediaStream,
                    MultiMediaStream,
                    WaveOutDevice {
    FakeObject(Recorder& r, std::string name, const std::map<std::string, MediaInfo>* media = {},
               std::shared_ptr<StreamCore> core = std::make_shared<StreamCore>(), U32* volume = {})
        : r_(r), name_(std::move(name)), media_(media), c_(core), volume_(volume) {
        ++r_.liveObjects;
    }
    ~FakeObject() override {
        --r_.liveObjects;
        if (volume_)
            r_.call(0, "waveOutClose");
        else
            r_.log.push_back("Release(" + name_ + ")" + (r_.comUp ? "" : " after CoUninitialize"));
    }
    template <class Base>
    Status make(Status s, std::unique_ptr<Base>& out, const char* name) {
        return made(s, out, r_, name, media_, c_);
    }
    static std::string nameOf(DirectDrawSurface* surface) {
        auto* o = dynamic_cast<FakeObject*>(surface);
        return o ? o->name_ : "null";
    }
    Status setHWnd(U32 flags, WH w) override { return r_.ok("SetHWnd", flags, w); }
    Status getSurfaceDesc(SurfaceDesc& d) override {
        Status s = r_.ok("GetSurfaceDesc", name_);
        if (s < 0) return s;
        d.width = 1024, d.height = 768;
        d.flags |= kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        for (int i = 0; i < 32; ++i)
            d.pixelFormat.bytes[i] = static_cast<std::uint8_t>(i + 1);
        return s;
    }
    Status setClipper(DirectDrawClipper* c) override {
        return r_.ok("SetClipper", c ? "clipper" : "null");
    }
    Status blt(const Rect* to, DirectDrawSurface* source, const Rect* from, U32 flags,
               const BltFx* fx) override {
        if (flags & kDdbltColorFill)
            return r_.ok("BltFill", name_, to, from, Hex{flags},
                         fx ? format("%u/%u", fx->fillColor, fx->size) : "none");
        return r_.ok("Blt", name_, nameOf(source), to, from, Hex{flags}, fx ? "fx" : "no fx");
    }
    Status createSurface(SurfaceDesc& d, std::unique_ptr<DirectDrawSurface>& surface) override {
        if (d.caps & kDdsCapsPrimarySurface)
            return make(r_.ok("CreatePrimarySurface", Hex{d.flags}, Hex{d.caps}, d.size), surface,
                        "primary");
        return make(r_.ok("CreateOffscreenSurface", Hex{d.flags}, Hex{d.caps}, d.size, d.width,
                          d.height, d.pixelFormat.bytes[0], d.pixelFormat.bytes[31]),
                    surface, "offscreen");
    }
    Status createClipper(U32 flags, std::unique_ptr<DirectDrawClipper>& c) override {
        return make(r_.ok("CreateClipper", flags), c, "clipper");
    }
    Status createDirectDraw(WH w, U32 level, std::unique_ptr<DirectDraw>& dd) override {
        return make(r_.ok("CreateDirectDraw", w, level), dd, "directDraw");
    }
    Status update(U32 flags) override {
        I64 frame = c_->time / kFrameTime;
        if (!c_->running) return r_.call(static_cast<Status>(0x80040007u), "Update", flags);
        if (frame >= c_->info.frames) return r_.call(kEndOfStream, "Update", flags);
        Status s = r_.ok("Update", flags);
        if (s == kOk) c_->time = (frame + 1) * kFrameTime;
        return s;
    }
    Status getFormat(SurfaceDesc& d) override {
        Status s = r_.ok("GetFormat", d.size);
        if (s >= 0) d.width = c_->info.width, d.height = c_->info.height;
        return s;
    }
    Status createSample(DirectDrawSurface* surface, const Rect& rect, U32 flags,
                        std::unique_ptr<StreamSample>& sample) override {
        return make(r_.ok("CreateSample", nameOf(surface), &rect, flags), sample, "sample");
    }
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& s) override {
        return make(r_.ok("QueryInterface"), s, "ddStream");
    }
    Status initialize(U32 type, U32 flags) override { return r_.ok("Initialize", type, flags); }
    Status addMediaStream(DirectDraw* dd, MediaPurpose purpose, U32 flags) override {
        return r_.ok(purpose == MediaPurpose::PrimaryVideo ? "AddVideo" : "AddAudio",
                     dd ? "directDraw" : "null", flags);
    }
    Status openFile(const char* path, U32 flags) override {
        auto found = media_->find(path);
        c_->info = found != media_->end() ? found->second : MediaInfo{};
        std::error_code ec;
        bool opens = c_->info.opens && !std::filesystem::is_directory(path, ec);
        return r_.call(opens ? kOk : static_cast<Status>(0x80040217u), "OpenFile", path, flags);
    }
    Status getMediaStream(MediaPurpose, std::unique_ptr<MediaStream>& s) override {
        return make(r_.ok("GetMediaStream"), s, "videoStream");
    }
    // Stores `value` in `to` when the answer `s` is a success; passes it on.
    template <class S, class T, class V>
    static S set(S s, T& to, V value) {
        if (std::is_signed_v<S> ? s >= 0 : s == 0) to = value;
        return s;
    }
    Status getDuration(StreamTime& d) override {
        return set(r_.ok("GetDuration"), d, c_->info.frames * kFrameTime);
    }
    Status getTime(StreamTime& time) override { return set(r_.ok("GetTime"), time, c_->time); }
    Status seek(StreamTime time) override { return set(r_.ok("Seek", time), c_->time, time); }
    Status setState(StreamState to) override {
        bool run = to == StreamState::Run;
        return set(r_.ok("SetState", run ? "Run" : "Stop"), c_->running, run);
    }
    MmResult getVolume(U32& v) override {
        return set(r_.call(0u, "waveOutGetVolume"), v, *volume_);
    }
    MmResult setVolume(U32 v) override {
        return set(r_.call(0u, "waveOutSetVolume", Hex{v}), *volume_, v);
    }
    Recorder& r_;
    std::string name_;
    const std::map<std::string, MediaInfo>* media_;
    std::shared_ptr<StreamCore> c_;
    U32* volume_;
};

struct FakePlatform : Recorder, Windowing, Files, Sound, Media {
    std::map<std::string, MediaInfo> media;  // by full path; others open as MediaInfo{}
    Rect clientRect{0, 0, 454, 330}, windowRect{200, 200, 662, 586};
    Point clientOrigin{204, 250};
    bool windowFound = true;        // findWindow finds the main window once made
    U32 deviceVolume = 0xFFFFFFFF;  // as the wave device keeps it
    std::string modulePath = "/opt/ostrel/ostrel";
    LocalTime clock{2026, 11, 6, 0, 20, 34, 26};
    bool otherInstance = false;  // another player runs, with this window
    WH otherWindow = nullptr;
    std::string chosenFile;   // the open-file dialog's answer ("" = cancel)
    std::string droppedFile;  // the first dropped file
    bool offline = false;
    std::string toolBar, openFile;  // the last tool bar's and open-file dialog's parameters
    // Runs inside a modal dialog after WM_INITDIALOG; must end it. Without
    // it OK is pressed at once.
    std::function<void(FakeDialogView&)> dialogScript;
    // Run in turn when the loop waits with an empty queue; once they are used
    // up the fake logs "WaitMessage(idle)" and posts quit with code 99.
    std::deque<std::function<void()>> idleScript;
    std::deque<Message> queue;  // posted messages
    WindowProc windowProc = nullptr;
    WH mainWindow = nullptr;

    Status coInitialize() override { return comUp = true, ok("CoInitialize"); }
    void coUninitialize() override { call(0, "CoUninitialize"), comUp = false; }
    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& f) override {
        return made(ok("CoCreateInstance", comUp ? "DirectDraw" : "no CoInitialize"), f, *this,
                    "factory");
    }
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& s) override {
        return made(ok("CoCreateInstance", comUp ? "Stream" : "no CoInitialize"), s, *this,
                    "stream", &media);
    }
    MmResult waveOutOpen(const WaveFormat& f, std::unique_ptr<WaveOutDevice>& device) override {
        MmResult m = call(kMmNoError, "waveOutOpen", f.formatTag, f.channels, f.samplesPerSec,
                          f.avgBytesPerSec, f.blockAlign, f.bitsPerSample, f.extraSize);
        if (m == kMmNoError)
            device = std::make_unique<FakeObject>(*this, "", nullptr, nullptr, &deviceVolume);
        return m;
    }
    std::int32_t sndPlaySound(const char* path, U32 flags) override {
        return call(1, "sndPlaySound", path, flags);
    }
    std::int32_t playSound(const char* name, U32 flags) override {
        return call(1, "PlaySound", name, Hex{flags});
    }
    std::int32_t inetIsOffline() override { return call<std::int32_t>(offline, "InetIsOffline"); }
    void openUrl(WH owner, const char* url) override { call(0, "ShellExecute", owner, url); }
    void messageBox(WH owner, const char* t, const char* caption, U32 style) override {
        call(0, "MessageBox", owner, t, caption, Hex{style});
    }
    bool fileExists(const char* path) override {
        std::error_code ec;
        return call(std::filesystem::exists(path, ec), "Exists", path);
    }
    U32 getFullPathName(const char* path, U32 size, char* buffer) override {
        std::error_code ec;  // a relative path is taken from the current folder, "" as it
        std::string full = (std::filesystem::current_path(ec) / path).lexically_normal().string();
        if (full.size() > 1 && full.back() == '/') full.pop_back();
        if (full.size() < size) std::memcpy(buffer, full.c_str(), full.size() + 1);
        return call<U32>(full.size() + (full.size() < size ? 0 : 1), "GetFullPathName", path, size);
    }
    U32 getModuleFileName(char* buffer, U32 size) override {
        call(0, "GetModuleFileName");
        std::strncpy(buffer, modulePath.c_str(), size);
        return modulePath.size() >= size ? (buffer[size - 1] = '\0', size) : modulePath.size();
    }
    bool replaceFile(const char* source, const char* target) override {
        return call(true, "ReplaceFile", source, target) && std::rename(source, target) == 0;
    }
    void configurationNotWritten(const char* path, int) override {
        call(0, "ConfigurationNotWritten", path);
    }
    LocalTime localTime() override { return call(0, "LocalTime"), clock; }
    MutexHandle createMutex(const char* name, bool& alreadyExists) override {
        alreadyExists = otherInstance;
        return call(0, "CreateMutex", name), handle<MutexObject>(0x77);
    }
    void closeHandle(MutexHandle h) override { call(0, "CloseHandle", h); }
    CursorHandle loadArrowCursor() override {
        return call(0, "LoadCursor"), handle<CursorObject>(0x55);
    }
    IconHandle loadIcon(InstanceHandle, int resource) override {
        return call(0, "LoadIcon", resource), handle<IconObject>(0x66);
    }
    std::uint16_t registerClass(const WindowClass& c) override {
        windowProc = c.windowProc;
        return call<std::uint16_t>(1, "RegisterClass", c.className, c.menuResource, Hex{c.style},
                                   c.instance, c.icon, c.smallIcon, c.cursor, c.blackBackground);
    }
    WH createWindow(U32 exStyle, const char* className, const char* title, U32 style, int x, int y,
                    int width, int height, InstanceHandle) override {
        if (!call(true, "CreateWindow", Hex{exStyle}, className, title, Hex{style}, x, y, width,
                  height))
            return nullptr;
        mainWindow = handle<WindowObject>(0x100);
        windowRect = {x, y, x + width, y + height};
        // A visible window is sized while it is being made, before the call
        // returns: the window procedure sees that size message.
        if ((style & kWsVisible) && windowProc) windowProc(mainWindow, kWmSize, 0, 0);
        return mainWindow;
    }
    bool showWindow(WH, int command) override { return call(true, "ShowWindow", command); }
    bool updateWindow(WH) override { return call(true, "UpdateWindow"); }
    bool getClientRect(WH, Rect& rect) override {
        return call(true, "GetClientRect") && (rect = clientRect, true);
    }
    bool clientToScreen(WH, Point& p) override {
        return call(true, "ClientToScreen") &&
               (p = {p.x + clientOrigin.x, p.y + clientOrigin.y}, true);
    }
    bool getWindowRect(WH, Rect& rect) override {
        return call(true, "GetWindowRect") && (rect = windowRect, true);
    }
    WH findWindow(const char* className, const char* title) override {
        call(0, "FindWindow", className, title);
        if (otherInstance) return otherWindow;
        bool ours = !std::strcmp(className, kWindowClassName) && !std::strcmp(title, kWindowTitle);
        return windowFound && ours ? mainWindow : nullptr;
    }
    WH getParent(WH) override { return handle<WindowObject>(call<std::uintptr_t>(0, "GetParent")); }
    WH getDesktopWindow() override { return handle<WindowObject>(1); }
    bool setForegroundWindow(WH w) override { return call(true, "SetForegroundWindow", w); }
    CursorHandle setCursor(CursorHandle cursor) override {
        return call(0, "SetCursor", cursor), nullptr;
    }
    bool postMessage(WH w, U32 message, WParam wParam, LParam lParam) override {
        queue.push_back({w, message, wParam, lParam});
        return call(true, "PostMessage", w, Hex{message}, wParam, lParam);
    }
    LResult sendMessage(WH w, U32 message, WParam wParam, LParam lParam) override {
        call(0, "SendMessage", Hex{message}, wParam, lParam);
        return w == mainWindow ? windowProc(w, message, wParam, lParam) : 0;
    }
    LResult sendCopyData(WH w, const CopyData& data) override {
        auto* bytes = static_cast<const char*>(data.data);
        return call(0, "SendCopyData", w, std::string(bytes, ::strnlen(bytes, data.size)),
                    data.size);
    }
    void postQuitMessage(int exitCode) override {
        call(0, "PostQuitMessage", exitCode);
        queue.push_back({nullptr, kWmQuit, static_cast<WParam>(exitCode), 0});
    }
    LResult defWindowProc(WH w, U32 message, WParam, LParam) override {
        call(0, "DefWindowProc", Hex{message});
        // Closing a window destroys it.
        if (message == kWmClose && w == mainWindow) windowProc(w, kWmDestroy, 0, 0);
        return 0;
    }
    bool peekMessage() override { return !queue.empty(); }
    int getMessage(Message& message) override {
        while (queue.empty())
            waitMessage();
        message = queue.front();
        queue.pop_front();
        return message.message != kWmQuit;
    }
    void translateAndDispatch(const Message& m) override {
        if (m.window == mainWindow) windowProc(m.window, m.message, m.wParam, m.lParam);
    }
    void waitMessage() override {
        if (idleScript.empty())
            return call(0, "WaitMessage", "idle"), queue.push_back({nullptr, kWmQuit, 99, 0});
        call(0, "WaitMessage");
        auto next = std::move(idleScript.front());
        idleScript.pop_front();
        next();
    }
    WH createToolBar(const ToolBarParams& p) override {
        toolBar = format("%X %d %d %lX %d %d %d %d %d %d", p.style, p.id, p.imageCount,
                         id(p.instance), p.bitmapResource, p.buttonCount, p.buttonWidth,
                         p.buttonHeight, p.imageWidth, p.imageHeight);
        for (const ToolButton* b = p.buttons; b < p.buttons + p.buttonCount; ++b)
            toolBar += format(" %d:%d:%d:%d", b->image, b->command, b->state, b->style);
        call(0, "CreateToolbarEx", p.parent);
        return handle<WindowObject>(0x200 + count("CreateToolbarEx"));
    }
    std::int32_t getOpenFileName(OpenFileRequest& r) override {
        std::string filter;
        for (const char* p = r.filter; p && *p; p += std::strlen(p) + 1)
            filter.append(p).push_back('|');
        openFile = format("0x%lX %s %u 0x%X", id(r.owner), filter.c_str(), r.filterIndex, r.flags);
        call(0, "GetOpenFileName", r.file[0] ? "not empty" : "empty", r.maxFile);
        if (chosenFile.empty()) return 0;
        std::strncpy(r.file, chosenFile.c_str(), r.maxFile)[r.maxFile - 1] = '\0';
        return 1;
    }
    std::intptr_t dialogBox(InstanceHandle, const char* name, WH owner, DialogProc proc) override {
        call(0, "DialogBox", name, owner);
        FakeDialogView view(*this, proc);
        view.send(kWmInitDialog);
        dialogScript ? dialogScript(view) : void(view.command(1));
        return view.result.value_or(-1);
    }
    U32 dragQueryFile(DropHandle, U32 index, char* buffer, U32 size) override {
        call(0, "DragQueryFile", index, size);
        std::string name = droppedFile.substr(0, size - 1);
        return static_cast<U32>(std::strlen(std::strcpy(buffer, name.c_str())));
    }
    void dragFinish(DropHandle) override { call(0, "DragFinish"); }
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
