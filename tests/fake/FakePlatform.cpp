#include "fake/FakePlatform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace ostrel::fake {

namespace {

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string rectText(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// Every fake object logs its release, and whether the component library
// was still up at that moment.
class FakeObject {
public:
    FakeObject(FakePlatform& fake, std::string name) : fake_(fake), name_(std::move(name)) {
        ++fake_.liveObjects;
    }
    virtual ~FakeObject() {
        --fake_.liveObjects;
        fake_.log.push_back("Release(" + name_ + ")" +
                            (fake_.comUp ? "" : " after CoUninitialize"));
    }
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

protected:
    FakePlatform& fake_;
    std::string name_;
};

class FakeClipper : public DirectDrawClipper, FakeObject {
public:
    explicit FakeClipper(FakePlatform& fake) : FakeObject(fake, "clipper") {}
    Status setHWnd(std::uint32_t flags, WindowHandle window) override {
        return static_cast<Status>(fake_.call("SetHWnd(" + std::to_string(flags) + "," +
                                                  hex(reinterpret_cast<std::uintptr_t>(window)) +
                                                  ")",
                                              "SetHWnd"));
    }
};

class FakeSurface : public DirectDrawSurface, FakeObject {
public:
    FakeSurface(FakePlatform& fake, std::string name, SurfaceDesc desc)
        : FakeObject(fake, name), desc_(desc) {}
    const std::string& name() const { return name_; }
    Status getSurfaceDesc(SurfaceDesc& desc) override {
        Status s =
            static_cast<Status>(fake_.call("GetSurfaceDesc(" + name_ + ")", "GetSurfaceDesc"));
        if (s >= 0) {
            desc.width = 1024;
            desc.height = 768;
            desc.flags |= kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
            for (int i = 0; i < 32; ++i)
                desc.pixelFormat.bytes[i] = static_cast<std::uint8_t>(i + 1);
        }
        return s;
    }
    Status setClipper(DirectDrawClipper* clipper) override {
        return static_cast<Status>(fake_.call(
            std::string("SetClipper(") + (clipper ? "clipper" : "null") + ")", "SetClipper"));
    }
    Status blt(const Rect* destRect, DirectDrawSurface* source, const Rect* sourceRect,
               std::uint32_t flags, const BltFx* fx) override {
        if (flags & kDdbltColorFill) {
            std::string line =
                "BltFill(" + name_ + " " + (destRect ? rectText(*destRect) : "null") +
                " src=" + (sourceRect ? rectText(*sourceRect) : "null") + " flags=" + hex(flags) +
                " fill=" +
                (fx ? std::to_string(fx->fillColor) + "/" + std::to_string(fx->size) : "none") +
                ")";
            return static_cast<Status>(fake_.call(line, "BltFill"));
        }
        auto* from = dynamic_cast<FakeSurface*>(source);
        std::string line = "Blt(" + name_ + "<-" + (from ? from->name() : "null") + " " +
                           (destRect ? rectText(*destRect) : "null") +
                           " src=" + (sourceRect ? rectText(*sourceRect) : "null") +
                           " flags=" + hex(flags) + (fx ? " fx" : "") + ")";
        return static_cast<Status>(fake_.call(line, "Blt"));
    }

private:
    SurfaceDesc desc_;
};

class FakeDirectDraw : public DirectDraw, FakeObject {
public:
    explicit FakeDirectDraw(FakePlatform& fake) : FakeObject(fake, "directDraw") {}
    Status createSurface(SurfaceDesc& desc, std::unique_ptr<DirectDrawSurface>& surface) override {
        bool primary = (desc.caps & kDdsCapsPrimarySurface) != 0;
        std::string which = primary ? "primary" : "offscreen";
        std::string line = "CreateSurface(" + which + " flags=" + hex(desc.flags) +
                           " caps=" + hex(desc.caps) + " size=" + std::to_string(desc.size);
        if (!primary) {
            line += " " + std::to_string(desc.width) + "x" + std::to_string(desc.height) +
                    " format=" + std::to_string(desc.pixelFormat.bytes[0]) + ".." +
                    std::to_string(desc.pixelFormat.bytes[31]);
        }
        line += ")";
        Status s = static_cast<Status>(fake_.call(line, "CreateSurface(" + which + ")"));
        if (s >= 0) surface = std::make_unique<FakeSurface>(fake_, which, desc);
        return s;
    }
    Status createClipper(std::uint32_t flags,
                         std::unique_ptr<DirectDrawClipper>& clipper) override {
        Status s = static_cast<Status>(
            fake_.call("CreateClipper(" + std::to_string(flags) + ")", "CreateClipper"));
        if (s >= 0) clipper = std::make_unique<FakeClipper>(fake_);
        return s;
    }
};

class FakeFactory : public DirectDrawFactory, FakeObject {
public:
    explicit FakeFactory(FakePlatform& fake) : FakeObject(fake, "factory") {}
    Status createDirectDraw(WindowHandle window, std::uint32_t level,
                            std::unique_ptr<DirectDraw>& directDraw) override {
        Status s = static_cast<Status>(
            fake_.call("CreateDirectDraw(" + hex(reinterpret_cast<std::uintptr_t>(window)) + "," +
                           std::to_string(level) + ")",
                       "CreateDirectDraw"));
        if (s >= 0) directDraw = std::make_unique<FakeDirectDraw>(fake_);
        return s;
    }
};

// The playing state of one opened stream, shared by the objects made from it.
struct StreamCore {
    std::string path;
    MediaInfo info;
    StreamTime time = 0;
    bool running = false;
};

class FakeSample : public StreamSample, FakeObject {
public:
    FakeSample(FakePlatform& fake, std::shared_ptr<StreamCore> core)
        : FakeObject(fake, "sample"), core_(std::move(core)) {}
    Status update(std::uint32_t flags) override {
        if (fake_.onUpdate)
            fake_.onUpdate(core_->path,
                           core_->info.frameTime ? core_->time / core_->info.frameTime : 0);
        // Scripted answers take precedence over the simulated stream.
        std::int64_t unset = INT64_MIN;
        std::int64_t scripted =
            fake_.call("Update(" + std::to_string(flags) + ")", "Update", unset);
        if (scripted != unset) return static_cast<Status>(scripted);
        if (!core_->running) return kNotRunning;
        std::int64_t frame = core_->info.frameTime ? core_->time / core_->info.frameTime : 0;
        if (frame >= core_->info.frames) return kEndOfStream;
        core_->time = (frame + 1) * core_->info.frameTime;
        return kOk;
    }
    static constexpr Status kNotRunning = static_cast<Status>(0x80040007u);

private:
    std::shared_ptr<StreamCore> core_;
};

class FakeDdStream : public DirectDrawMediaStream, FakeObject {
public:
    FakeDdStream(FakePlatform& fake, std::shared_ptr<StreamCore> core)
        : FakeObject(fake, "ddStream"), core_(std::move(core)) {}
    Status getFormat(SurfaceDesc& desc) override {
        Status s = static_cast<Status>(
            fake_.call("GetFormat(size=" + std::to_string(desc.size) + ")", "GetFormat"));
        if (s >= 0) {
            desc.width = core_->info.width;
            desc.height = core_->info.height;
        }
        return s;
    }
    Status createSample(DirectDrawSurface* surface, const Rect& rect, std::uint32_t flags,
                        std::unique_ptr<StreamSample>& sample) override {
        auto* target = dynamic_cast<FakeSurface*>(surface);
        Status s = static_cast<Status>(
            fake_.call("CreateSample(" + (target ? target->name() : std::string("null")) + " " +
                           rectText(rect) + " " + std::to_string(flags) + ")",
                       "CreateSample"));
        if (s >= 0) sample = std::make_unique<FakeSample>(fake_, core_);
        return s;
    }

private:
    std::shared_ptr<StreamCore> core_;
};

class FakeMediaStream : public MediaStream, FakeObject {
public:
    FakeMediaStream(FakePlatform& fake, std::shared_ptr<StreamCore> core)
        : FakeObject(fake, "videoStream"), core_(std::move(core)) {}
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) override {
        Status s = static_cast<Status>(
            fake_.call("QueryInterface(DirectDrawMediaStream)", "QueryInterface"));
        if (s >= 0) stream = std::make_unique<FakeDdStream>(fake_, core_);
        return s;
    }

private:
    std::shared_ptr<StreamCore> core_;
};

class FakeMultiMediaStream : public MultiMediaStream, FakeObject {
public:
    explicit FakeMultiMediaStream(FakePlatform& fake)
        : FakeObject(fake, "stream"), core_(std::make_shared<StreamCore>()) {}
    Status initialize(std::uint32_t type, std::uint32_t flags) override {
        return static_cast<Status>(
            fake_.call("Initialize(" + std::to_string(type) + "," + std::to_string(flags) + ")",
                       "Initialize"));
    }
    Status addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                          std::uint32_t flags) override {
        std::string which = purpose == MediaPurpose::PrimaryVideo ? "video" : "audio";
        return static_cast<Status>(fake_.call("AddMediaStream(" + which + "," +
                                                  (directDraw ? "directDraw" : "null") + "," +
                                                  std::to_string(flags) + ")",
                                              "AddMediaStream(" + which + ")"));
    }
    Status openFile(const char* path, std::uint32_t flags) override {
        core_->path = path;
        auto found = fake_.media.find(path);
        core_->info = found != fake_.media.end() ? found->second : MediaInfo{};
        std::error_code ec;
        bool folder = std::filesystem::is_directory(path, ec);
        Status otherwise = (core_->info.opens && !folder) ? kOk : static_cast<Status>(0x80040217u);
        return static_cast<Status>(
            fake_.call("OpenFile(" + std::string(path) + "," + std::to_string(flags) + ")",
                       "OpenFile", otherwise));
    }
    Status getMediaStream(MediaPurpose purpose, std::unique_ptr<MediaStream>& stream) override {
        std::string which = purpose == MediaPurpose::PrimaryVideo ? "video" : "audio";
        Status otherwise = core_->info.hasVideo ? kOk : kFail;
        Status s = static_cast<Status>(
            fake_.call("GetMediaStream(" + which + ")", "GetMediaStream", otherwise));
        if (s >= 0) stream = std::make_unique<FakeMediaStream>(fake_, core_);
        return s;
    }
    Status getDuration(StreamTime& duration) override {
        Status s = static_cast<Status>(fake_.call("GetDuration", "GetDuration"));
        if (s >= 0) duration = core_->info.frames * core_->info.frameTime;
        return s;
    }
    Status getTime(StreamTime& time) override {
        Status s = static_cast<Status>(fake_.call("GetTime", "GetTime"));
        if (s >= 0) time = core_->time;
        return s;
    }
    Status seek(StreamTime time) override {
        Status s = static_cast<Status>(fake_.call("Seek(" + std::to_string(time) + ")", "Seek"));
        if (s >= 0) core_->time = time;
        return s;
    }
    Status setState(StreamState state) override {
        bool run = state == StreamState::Run;
        Status s = static_cast<Status>(
            fake_.call(std::string("SetState(") + (run ? "Run" : "Stop") + ")", "SetState"));
        if (s >= 0) core_->running = run;
        return s;
    }

private:
    std::shared_ptr<StreamCore> core_;
};

class FakeWaveOut : public WaveOutDevice {
public:
    explicit FakeWaveOut(FakePlatform& fake) : fake_(fake) {}
    ~FakeWaveOut() override { fake_.call("waveOutClose", "waveOutClose"); }
    MmResult getVolume(std::uint32_t& volume) override {
        auto r = static_cast<MmResult>(fake_.call("waveOutGetVolume", "waveOutGetVolume"));
        if (r == kMmNoError) volume = fake_.deviceVolume;
        return r;
    }
    MmResult setVolume(std::uint32_t volume) override {
        auto r = static_cast<MmResult>(
            fake_.call("waveOutSetVolume(" + hex(volume) + ")", "waveOutSetVolume"));
        if (r == kMmNoError) fake_.deviceVolume = volume;
        return r;
    }

private:
    FakePlatform& fake_;
};

}  // namespace

// ---------------------------------------------------------------- dialogs

WindowHandle FakeDialogView::item(int id) {
    return FakePlatform::window(0x1000 + static_cast<std::uintptr_t>(id));
}

static int itemId(WindowHandle bar) {
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(bar) - 0x1000);
}

void FakeDialogView::setScrollRange(WindowHandle bar, int minimum, int maximum, bool redraw) {
    scrollRange[itemId(bar)] = {minimum, maximum};
    fake_.log.push_back("SetScrollRange(" + std::to_string(itemId(bar)) + "," +
                        std::to_string(minimum) + "," + std::to_string(maximum) + "," +
                        (redraw ? "redraw" : "no redraw") + ")");
}

void FakeDialogView::setScrollPos(WindowHandle bar, int position, bool redraw) {
    scrollPos[itemId(bar)] = position;
    fake_.log.push_back("SetScrollPos(" + std::to_string(itemId(bar)) + "," +
                        std::to_string(position) + "," + (redraw ? "redraw" : "no redraw") + ")");
}

int FakeDialogView::getScrollPos(WindowHandle bar) {
    fake_.log.push_back("GetScrollPos(" + std::to_string(itemId(bar)) + ")");
    return scrollPos[itemId(bar)];
}

void FakeDialogView::setItemText(int id, const char* text) {
    texts[id] = text;
    fake_.log.push_back("SetDlgItemText(" + std::to_string(id) + ",\"" + text + "\")");
}

void FakeDialogView::moveTo(int x, int y) {
    moved = true;
    position = {x, y};
    fake_.log.push_back("MoveDialog(" + std::to_string(x) + "," + std::to_string(y) + ")");
}

void FakeDialogView::endDialog(std::intptr_t value) {
    ended = true;
    result = value;
    fake_.log.push_back("EndDialog(" + std::to_string(value) + ")");
}

void FakeDialogView::makeHyperlink(int id, const char* url) {
    links[id] = url;
    fake_.log.push_back("MakeHyperlink(" + std::to_string(id) + "," + url + ")");
}

bool FakeDialogView::send(std::uint32_t message, WParam wParam, LParam lParam) {
    return proc(*this, message, wParam, lParam);
}

bool FakeDialogView::scroll(int barId, std::uint32_t code, int thumb) {
    return send(kWmHScroll, code | (static_cast<WParam>(static_cast<std::uint16_t>(thumb)) << 16),
                reinterpret_cast<LParam>(item(barId)));
}

// ---------------------------------------------------------------- platform

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

void FakePlatform::script(const std::string& name, std::vector<std::int64_t> results) {
    auto& q = scripts_[name];
    q.insert(q.end(), results.begin(), results.end());
}

void FakePlatform::always(const std::string& name, std::int64_t result) {
    always_[name] = result;
}

std::int64_t FakePlatform::call(const std::string& line, const std::string& name,
                                std::int64_t otherwise) {
    log.push_back(line);
    auto s = scripts_.find(name);
    if (s != scripts_.end() && !s->second.empty()) {
        std::int64_t r = s->second.front();
        s->second.pop_front();
        return r;
    }
    auto a = always_.find(name);
    if (a != always_.end()) return a->second;
    return otherwise;
}

std::vector<std::string> FakePlatform::calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : log)
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

int FakePlatform::count(const std::string& prefix) const {
    return static_cast<int>(calls(prefix).size());
}

int FakePlatform::indexOf(const std::string& line) const {
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i] == line) return static_cast<int>(i);
    return -1;
}

Status FakePlatform::coInitialize() {
    comUp = true;
    return static_cast<Status>(call("CoInitialize", "CoInitialize"));
}

void FakePlatform::coUninitialize() {
    call("CoUninitialize", "CoUninitialize");
    comUp = false;
}

Status FakePlatform::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    Status s = static_cast<Status>(call(
        std::string("CoCreateInstance(DirectDrawFactory)") + (comUp ? "" : " without CoInitialize"),
        "CoCreateInstance(DirectDrawFactory)"));
    if (s >= 0) factory = std::make_unique<FakeFactory>(*this);
    return s;
}

Status FakePlatform::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    Status s = static_cast<Status>(call(std::string("CoCreateInstance(AMMultiMediaStream)") +
                                            (comUp ? "" : " without CoInitialize"),
                                        "CoCreateInstance(AMMultiMediaStream)"));
    if (s >= 0) stream = std::make_unique<FakeMultiMediaStream>(*this);
    return s;
}

MmResult FakePlatform::waveOutOpen(const WaveFormat& f, std::unique_ptr<WaveOutDevice>& device) {
    std::string line = "waveOutOpen(" + std::to_string(f.formatTag) + "," +
                       std::to_string(f.channels) + "," + std::to_string(f.samplesPerSec) + "," +
                       std::to_string(f.avgBytesPerSec) + "," + std::to_string(f.blockAlign) + "," +
                       std::to_string(f.bitsPerSample) + "," + std::to_string(f.extraSize) + ")";
    auto r = static_cast<MmResult>(call(line, "waveOutOpen"));
    if (r == kMmNoError) device = std::make_unique<FakeWaveOut>(*this);
    return r;
}

std::int32_t FakePlatform::sndPlaySound(const char* path, std::uint32_t flags) {
    return static_cast<std::int32_t>(call(
        "sndPlaySound(" + std::string(path ? path : "null") + "," + std::to_string(flags) + ")",
        "sndPlaySound", 1));
}

std::int32_t FakePlatform::playSound(const char* name, std::uint32_t flags) {
    return static_cast<std::int32_t>(
        call("PlaySound(" + std::string(name) + "," + hex(flags) + ")", "PlaySound", 1));
}

std::int32_t FakePlatform::inetIsOffline() {
    return static_cast<std::int32_t>(call("InetIsOffline", "InetIsOffline", offline ? 1 : 0));
}

void FakePlatform::openUrl(WindowHandle owner, const char* url) {
    call("ShellExecute(" + hex(reinterpret_cast<std::uintptr_t>(owner)) + ",open," + url + ")",
         "ShellExecute");
}

void FakePlatform::messageBox(WindowHandle owner, const char* text, const char* caption,
                              std::uint32_t style) {
    call("MessageBox(" + hex(reinterpret_cast<std::uintptr_t>(owner)) + "," + text + "," + caption +
             "," + hex(style) + ")",
         "MessageBox");
}

bool FakePlatform::fileExists(const char* path) {
    struct stat st;
    bool exists = ::stat(path, &st) == 0;
    return call("Exists(" + std::string(path) + ")", "Exists", exists ? 1 : 0) != 0;
}

std::uint32_t FakePlatform::getFullPathName(const char* path, std::uint32_t bufferSize,
                                            char* buffer) {
    std::int64_t unset = INT64_MIN;
    std::int64_t scripted =
        call("GetFullPathName(" + std::string(path) + "," + std::to_string(bufferSize) + ")",
             "GetFullPathName", unset);
    if (scripted != unset) return static_cast<std::uint32_t>(scripted);
    std::filesystem::path p(path);
    if (p.is_relative()) {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return 0;
        p = std::filesystem::path(cwd) / p;
    }
    std::string full = p.lexically_normal().string();
    if (full.size() > 1 && full.back() == '/') full.pop_back();
    if (full.size() + 1 > bufferSize) return static_cast<std::uint32_t>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<std::uint32_t>(full.size());
}

std::uint32_t FakePlatform::getModuleFileName(char* buffer, std::uint32_t bufferSize) {
    call("GetModuleFileName", "GetModuleFileName");
    if (bufferSize == 0) return 0;
    std::size_t n = std::min<std::size_t>(modulePath.size(), bufferSize - 1);
    std::memcpy(buffer, modulePath.data(), n);
    buffer[n] = '\0';
    return modulePath.size() >= bufferSize ? bufferSize : static_cast<std::uint32_t>(n);
}

bool FakePlatform::replaceFile(const char* source, const char* target) {
    if (call("ReplaceFile(" + std::string(source) + "," + target + ")", "ReplaceFile", 1) == 0)
        return false;
    return std::rename(source, target) == 0;
}

LocalTime FakePlatform::localTime() {
    call("LocalTime", "LocalTime");
    return clock;
}

MutexHandle FakePlatform::createMutex(const char* name, bool& alreadyExists) {
    call("CreateMutex(" + std::string(name) + ")", "CreateMutex");
    alreadyExists = otherInstance;
    return reinterpret_cast<MutexHandle>(0x77);
}

void FakePlatform::closeHandle(MutexHandle handle) {
    call("CloseHandle(" + hex(reinterpret_cast<std::uintptr_t>(handle)) + ")", "CloseHandle");
}

CursorHandle FakePlatform::loadArrowCursor() {
    call("LoadCursor(arrow)", "LoadCursor");
    return reinterpret_cast<CursorHandle>(0x55);
}

IconHandle FakePlatform::loadIcon(InstanceHandle, int resource) {
    call("LoadIcon(" + std::to_string(resource) + ")", "LoadIcon");
    return reinterpret_cast<IconHandle>(0x66);
}

std::uint16_t FakePlatform::registerClass(const WindowClass& windowClass) {
    lastClass = windowClass;
    lastClassName = windowClass.className ? windowClass.className : "";
    lastClass.className = lastClassName.c_str();
    windowProc = windowClass.windowProc;
    return static_cast<std::uint16_t>(call("RegisterClass(" + lastClassName + ",menu=" +
                                               std::to_string(windowClass.menuResource) + ")",
                                           "RegisterClass", 1));
}

WindowHandle FakePlatform::createWindow(std::uint32_t exStyle, const char* className,
                                        const char* title, std::uint32_t style, int x, int y,
                                        int width, int height, InstanceHandle) {
    std::string line = "CreateWindow(" + hex(exStyle) + "," + className + "," + title + "," +
                       hex(style) + "," + std::to_string(x) + "," + std::to_string(y) + "," +
                       std::to_string(width) + "," + std::to_string(height) + ")";
    if (call(line, "CreateWindow", 1) == 0) return nullptr;
    mainWindow = window(kMainWindowId);
    windowRect = {x, y, x + width, y + height};
    // A visible window is sized while it is being made, before the call
    // returns: the window procedure sees that size message.
    if ((style & kWsVisible) && windowProc) windowProc(mainWindow, kWmSize, 0, 0);
    return mainWindow;
}

bool FakePlatform::showWindow(WindowHandle, int command) {
    return call("ShowWindow(" + std::to_string(command) + ")", "ShowWindow", 1) != 0;
}

bool FakePlatform::updateWindow(WindowHandle) {
    return call("UpdateWindow", "UpdateWindow", 1) != 0;
}

bool FakePlatform::getClientRect(WindowHandle, Rect& rect) {
    bool ok = call("GetClientRect", "GetClientRect", 1) != 0;
    if (ok) rect = clientRect;
    return ok;
}

bool FakePlatform::clientToScreen(WindowHandle, Point& point) {
    bool ok = call("ClientToScreen", "ClientToScreen", 1) != 0;
    if (ok) {
        point.x += clientOrigin.x;
        point.y += clientOrigin.y;
    }
    return ok;
}

bool FakePlatform::getWindowRect(WindowHandle, Rect& rect) {
    bool ok = call("GetWindowRect", "GetWindowRect", 1) != 0;
    if (ok) rect = windowRect;
    return ok;
}

WindowHandle FakePlatform::findWindow(const char* className, const char* title) {
    call("FindWindow(" + std::string(className) + "|" + title + ")", "FindWindow");
    if (otherInstance) return otherWindow;
    if (windowFound && mainWindow && std::strcmp(className, kWindowClassName) == 0 &&
        std::strcmp(title, kWindowTitle) == 0)
        return mainWindow;
    return nullptr;
}

WindowHandle FakePlatform::getParent(WindowHandle) {
    return reinterpret_cast<WindowHandle>(
        static_cast<std::uintptr_t>(call("GetParent", "GetParent", 0)));
}

WindowHandle FakePlatform::getDesktopWindow() {
    return window(kDesktopId);
}

bool FakePlatform::setForegroundWindow(WindowHandle w) {
    return call("SetForegroundWindow(" + hex(reinterpret_cast<std::uintptr_t>(w)) + ")",
                "SetForegroundWindow", 1) != 0;
}

CursorHandle FakePlatform::setCursor(CursorHandle cursor) {
    call(std::string("SetCursor(") +
             (cursor ? hex(reinterpret_cast<std::uintptr_t>(cursor)) : "null") + ")",
         "SetCursor");
    return nullptr;
}

bool FakePlatform::postMessage(WindowHandle w, std::uint32_t message, WParam wParam,
                               LParam lParam) {
    call("PostMessage(" + hex(message) + ")", "PostMessage", 1);
    queue.push_back({w, message, wParam, lParam});
    return true;
}

LResult FakePlatform::sendMessage(WindowHandle w, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    call("SendMessage(" + hex(message) + ")", "SendMessage");
    if (windowProc && w && w == mainWindow) return windowProc(w, message, wParam, lParam);
    return 0;
}

LResult FakePlatform::sendCopyData(WindowHandle w, const CopyData& data) {
    const char* text = static_cast<const char*>(data.data);
    handedOver.emplace_back(text, ::strnlen(text, data.size));
    handedOverSizes.push_back(data.size);
    return call("SendCopyData(" + hex(reinterpret_cast<std::uintptr_t>(w)) + "," +
                    handedOver.back() + "," + std::to_string(data.size) + ")",
                "SendCopyData");
}

void FakePlatform::postQuitMessage(int exitCode) {
    call("PostQuitMessage(" + std::to_string(exitCode) + ")", "PostQuitMessage");
    queue.push_back({nullptr, kWmQuit, static_cast<WParam>(exitCode), 0});
}

LResult FakePlatform::defWindowProc(WindowHandle w, std::uint32_t message, WParam, LParam) {
    call("DefWindowProc(" + hex(message) + ")", "DefWindowProc");
    // Closing a window destroys it.
    if (message == kWmClose && windowProc && w == mainWindow) windowProc(w, kWmDestroy, 0, 0);
    return 0;
}

bool FakePlatform::peekMessage() {
    return !queue.empty();
}

int FakePlatform::getMessage(Message& message) {
    while (queue.empty())
        waitMessage();
    message = queue.front();
    queue.pop_front();
    return message.message == kWmQuit ? 0 : 1;
}

void FakePlatform::translateAndDispatch(const Message& m) {
    if (windowProc && m.window == mainWindow) windowProc(m.window, m.message, m.wParam, m.lParam);
}

void FakePlatform::waitMessage() {
    if (!idleScript.empty()) {
        call("WaitMessage", "WaitMessage");
        auto next = std::move(idleScript.front());
        idleScript.pop_front();
        next();
        return;
    }
    call("WaitMessage(idle)", "WaitMessage");
    queue.push_back({nullptr, kWmQuit, 99, 0});
}

WindowHandle FakePlatform::createToolBar(const ToolBarParams& params) {
    lastToolBar = params;
    lastToolButtons.assign(params.buttons, params.buttons + params.buttonCount);
    lastToolBar.buttons = lastToolButtons.data();
    call("CreateToolbarEx(parent=" + hex(reinterpret_cast<std::uintptr_t>(params.parent)) + ")",
         "CreateToolbarEx");
    return window(kToolBarId + static_cast<std::uintptr_t>(count("CreateToolbarEx")));
}

std::int32_t FakePlatform::getOpenFileName(OpenFileRequest& request) {
    lastOpenFile = request;
    lastOpenFilter.clear();
    if (request.filter) {
        const char* p = request.filter;
        while (*p) {
            std::size_t n = std::strlen(p);
            lastOpenFilter.append(p, n).push_back('|');
            p += n + 1;
        }
    }
    std::string firstByte = request.file && request.file[0] == '\0' ? "empty" : "not empty";
    call("GetOpenFileName(" + firstByte + "," + std::to_string(request.maxFile) + ")",
         "GetOpenFileName");
    if (chosenFile.empty()) return 0;
    std::size_t n = std::min<std::size_t>(chosenFile.size(), request.maxFile - 1);
    std::memcpy(request.file, chosenFile.data(), n);
    request.file[n] = '\0';
    return 1;
}

std::intptr_t FakePlatform::dialogBox(InstanceHandle, const char* name, WindowHandle owner,
                                      DialogProc proc) {
    call(
        "DialogBox(" + std::string(name) + "," + hex(reinterpret_cast<std::uintptr_t>(owner)) + ")",
        "DialogBox");
    dialogs.push_back(std::make_unique<FakeDialogView>(*this, name));
    FakeDialogView& view = *dialogs.back();
    view.proc = proc;
    view.send(kWmInitDialog, 0, 0);
    if (dialogScript)
        dialogScript(view);
    else
        view.command(1);
    if (!view.ended) {
        log.push_back("DialogBox(not ended)");
        return -1;
    }
    return view.result;
}

std::uint32_t FakePlatform::dragQueryFile(DropHandle, std::uint32_t index, char* buffer,
                                          std::uint32_t bufferSize) {
    call("DragQueryFile(" + std::to_string(index) + "," + std::to_string(bufferSize) + ")",
         "DragQueryFile");
    if (bufferSize == 0) return 0;
    std::size_t n = std::min<std::size_t>(droppedFile.size(), bufferSize - 1);
    std::memcpy(buffer, droppedFile.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

void FakePlatform::dragFinish(DropHandle) {
    call("DragFinish", "DragFinish");
}

FakeFixtureState::FakeFixtureState() {
    state = PlayerState{};
    installPlatform(&fake);
}

FakeFixtureState::~FakeFixtureState() {
    state = PlayerState{};
    installPlatform(nullptr);
}

}  // namespace ostrel::fake
