#include "fake/FakePlatform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace ostrel::fake {

std::string format(const char* pattern, ...) {
    va_list args, again;
    va_start(args, pattern);
    va_copy(again, args);
    std::string text(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, pattern, args)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    va_end(args);
    return text;
}

namespace {

// Copies as much of `text` as fits, terminated; returns the length copied.
std::uint32_t copyOut(const std::string& text, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

std::string rectText(const Rect* r) {
    return r ? format("%d,%d,%d,%d", r->left, r->top, r->right, r->bottom) : "null";
}

// Makes the object when the call succeeded; passes the status on.
template <class Made, class Base, class... Args>
Status made(Status s, std::unique_ptr<Base>& out, Args&&... args) {
    if (s >= 0) out = std::make_unique<Made>(std::forward<Args>(args)...);
    return s;
}

// Every fake object counts as live until released, and logs its release,
// noting when the component library was already down.
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
    const std::string& name() const { return name_; }

protected:
    FakePlatform& fake_;
    std::string name_;
};

struct FakeClipper : DirectDrawClipper, FakeObject {
    explicit FakeClipper(FakePlatform& fake) : FakeObject(fake, "clipper") {}
    Status setHWnd(std::uint32_t flags, WindowHandle w) override {
        return fake_.status(format("SetHWnd(%u,0x%lX)", flags, id(w)));
    }
};

struct FakeSurface : DirectDrawSurface, FakeObject {
    using FakeObject::FakeObject;
    Status getSurfaceDesc(SurfaceDesc& desc) override {
        Status s = fake_.status("GetSurfaceDesc(" + name_ + ")");
        if (s < 0) return s;
        desc.width = 1024;
        desc.height = 768;
        desc.flags |= kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        for (int i = 0; i < 32; ++i)
            desc.pixelFormat.bytes[i] = static_cast<std::uint8_t>(i + 1);
        return s;
    }
    Status setClipper(DirectDrawClipper* clipper) override {
        return fake_.status(clipper ? "SetClipper(clipper)" : "SetClipper(null)");
    }
    Status blt(const Rect* dest, DirectDrawSurface* source, const Rect* sourceRect,
               std::uint32_t flags, const BltFx* fx) override {
        std::string where =
            rectText(dest) + " src=" + rectText(sourceRect) + format(" flags=0x%X", flags);
        if (flags & kDdbltColorFill)
            return fake_.status(
                "BltFill(" + name_ + " " + where +
                (fx ? format(" fill=%u/%u)", fx->fillColor, fx->size) : " fill=none)"));
        auto* from = dynamic_cast<FakeSurface*>(source);
        return fake_.status("Blt(" + name_ + "<-" + (from ? from->name() : "null") + " " + where +
                            (fx ? " fx)" : ")"));
    }
};

struct FakeDirectDraw : DirectDraw, FakeObject {
    explicit FakeDirectDraw(FakePlatform& fake) : FakeObject(fake, "directDraw") {}
    Status createSurface(SurfaceDesc& d, std::unique_ptr<DirectDrawSurface>& surface) override {
        std::string which = (d.caps & kDdsCapsPrimarySurface) ? "primary" : "offscreen";
        std::string line = format("CreateSurface(%s flags=0x%X caps=0x%X size=%u", which.c_str(),
                                  d.flags, d.caps, d.size);
        if (which == "offscreen")
            line += format(" %ux%u format=%u..%u", d.width, d.height, d.pixelFormat.bytes[0],
                           d.pixelFormat.bytes[31]);
        return made<FakeSurface>(fake_.status(line + ")", "CreateSurface(" + which + ")"), surface,
                                 fake_, which);
    }
    Status createClipper(std::uint32_t flags,
                         std::unique_ptr<DirectDrawClipper>& clipper) override {
        return made<FakeClipper>(fake_.status(format("CreateClipper(%u)", flags)), clipper, fake_);
    }
};

struct FakeFactory : DirectDrawFactory, FakeObject {
    explicit FakeFactory(FakePlatform& fake) : FakeObject(fake, "factory") {}
    Status createDirectDraw(WindowHandle w, std::uint32_t level,
                            std::unique_ptr<DirectDraw>& directDraw) override {
        return made<FakeDirectDraw>(
            fake_.status(format("CreateDirectDraw(0x%lX,%u)", id(w), level)), directDraw, fake_);
    }
};

// The playing state of one opened stream, shared by the objects made from it.
struct StreamCore {
    std::string path;
    MediaInfo info;
    StreamTime time = 0;
    bool running = false;
    std::int64_t frame() const { return info.frameTime ? time / info.frameTime : 0; }
};
using Core = std::shared_ptr<StreamCore>;

struct FakeSample : StreamSample, FakeObject {
    FakeSample(FakePlatform& fake, Core core) : FakeObject(fake, "sample"), core_(core) {}
    Status update(std::uint32_t flags) override {
        if (fake_.onUpdate) fake_.onUpdate(core_->path, core_->frame());
        // A scripted answer goes before the simulated stream.
        std::int64_t scripted = fake_.call(format("Update(%u)", flags), INT64_MIN);
        if (scripted != INT64_MIN) return static_cast<Status>(scripted);
        if (!core_->running) return static_cast<Status>(0x80040007u);  // not running
        std::int64_t frame = core_->frame();
        if (frame >= core_->info.frames) return kEndOfStream;
        core_->time = (frame + 1) * core_->info.frameTime;
        return kOk;
    }
    Core core_;
};

struct FakeDdStream : DirectDrawMediaStream, FakeObject {
    FakeDdStream(FakePlatform& fake, Core core) : FakeObject(fake, "ddStream"), core_(core) {}
    Status getFormat(SurfaceDesc& desc) override {
        Status s = fake_.status(format("GetFormat(size=%u)", desc.size));
        if (s >= 0) desc.width = core_->info.width, desc.height = core_->info.height;
        return s;
    }
    Status createSample(DirectDrawSurface* surface, const Rect& rect, std::uint32_t flags,
                        std::unique_ptr<StreamSample>& sample) override {
        auto* target = dynamic_cast<FakeSurface*>(surface);
        std::string line = "CreateSample(" + (target ? target->name() : "null") + " " +
                           rectText(&rect) + format(" %u)", flags);
        return made<FakeSample>(fake_.status(line), sample, fake_, core_);
    }
    Core core_;
};

struct FakeMediaStream : MediaStream, FakeObject {
    FakeMediaStream(FakePlatform& fake, Core core) : FakeObject(fake, "videoStream"), core_(core) {}
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) override {
        return made<FakeDdStream>(fake_.status("QueryInterface(DirectDrawMediaStream)"), stream,
                                  fake_, core_);
    }
    Core core_;
};

struct FakeMultiMediaStream : MultiMediaStream, FakeObject {
    explicit FakeMultiMediaStream(FakePlatform& fake)
        : FakeObject(fake, "stream"), core_(std::make_shared<StreamCore>()) {}
    Status initialize(std::uint32_t type, std::uint32_t flags) override {
        return fake_.status(format("Initialize(%u,%u)", type, flags));
    }
    Status addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                          std::uint32_t flags) override {
        const char* which = purpose == MediaPurpose::PrimaryVideo ? "video" : "audio";
        return fake_.status(
            format("AddMediaStream(%s,%s,%u)", which, directDraw ? "directDraw" : "null", flags),
            format("AddMediaStream(%s)", which));
    }
    Status openFile(const char* path, std::uint32_t flags) override {
        core_->path = path;
        auto found = fake_.media.find(path);
        core_->info = found != fake_.media.end() ? found->second : MediaInfo{};
        std::error_code ec;
        bool opens = core_->info.opens && !std::filesystem::is_directory(path, ec);
        return static_cast<Status>(fake_.call(format("OpenFile(%s,%u)", path, flags),
                                              opens ? kOk : static_cast<Status>(0x80040217u)));
    }
    Status getMediaStream(MediaPurpose purpose, std::unique_ptr<MediaStream>& stream) override {
        const char* which = purpose == MediaPurpose::PrimaryVideo ? "video" : "audio";
        Status s = static_cast<Status>(
            fake_.call(format("GetMediaStream(%s)", which), core_->info.hasVideo ? kOk : kFail));
        return made<FakeMediaStream>(s, stream, fake_, core_);
    }
    Status getDuration(StreamTime& duration) override {
        Status s = fake_.status("GetDuration");
        if (s >= 0) duration = core_->info.frames * core_->info.frameTime;
        return s;
    }
    Status getTime(StreamTime& time) override {
        Status s = fake_.status("GetTime");
        if (s >= 0) time = core_->time;
        return s;
    }
    Status seek(StreamTime time) override {
        Status s = fake_.status(format("Seek(%lld)", static_cast<long long>(time)));
        if (s >= 0) core_->time = time;
        return s;
    }
    Status setState(StreamState to) override {
        bool run = to == StreamState::Run;
        Status s = fake_.status(run ? "SetState(Run)" : "SetState(Stop)");
        if (s >= 0) core_->running = run;
        return s;
    }
    Core core_;
};

struct FakeWaveOut : WaveOutDevice {
    explicit FakeWaveOut(FakePlatform& fake) : fake_(fake) {}
    ~FakeWaveOut() override { fake_.call("waveOutClose"); }
    MmResult getVolume(std::uint32_t& volume) override {
        auto r = static_cast<MmResult>(fake_.call("waveOutGetVolume"));
        if (r == kMmNoError) volume = fake_.deviceVolume;
        return r;
    }
    MmResult setVolume(std::uint32_t volume) override {
        auto r = static_cast<MmResult>(fake_.call(format("waveOutSetVolume(0x%X)", volume)));
        if (r == kMmNoError) fake_.deviceVolume = volume;
        return r;
    }
    FakePlatform& fake_;
};

}  // namespace

// ---------------------------------------------------------------- platform

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

void FakePlatform::script(const std::string& name, std::vector<std::int64_t> results) {
    scripts_[name].insert(scripts_[name].end(), results.begin(), results.end());
}

std::int64_t FakePlatform::call(const std::string& line, std::int64_t otherwise,
                                const std::string& name) {
    log.push_back(line);
    std::string key = name.empty() ? line.substr(0, line.find('(')) : name;
    if (auto s = scripts_.find(key); s != scripts_.end() && !s->second.empty()) {
        std::int64_t r = s->second.front();
        s->second.pop_front();
        return r;
    }
    auto a = always_.find(key);
    return a != always_.end() ? a->second : otherwise;
}

std::vector<std::string> FakePlatform::calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : log)
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

int FakePlatform::indexOf(const std::string& line) const {
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i] == line) return static_cast<int>(i);
    return -1;
}

Status FakePlatform::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    std::string line = "CoCreateInstance(DirectDrawFactory)";
    return made<FakeFactory>(status(line + (comUp ? "" : " without CoInitialize"), line), factory,
                             *this);
}

Status FakePlatform::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    std::string line = "CoCreateInstance(AMMultiMediaStream)";
    return made<FakeMultiMediaStream>(status(line + (comUp ? "" : " without CoInitialize"), line),
                                      stream, *this);
}

MmResult FakePlatform::waveOutOpen(const WaveFormat& f, std::unique_ptr<WaveOutDevice>& device) {
    auto r = static_cast<MmResult>(
        call(format("waveOutOpen(%u,%u,%u,%u,%u,%u,%u)", f.formatTag, f.channels, f.samplesPerSec,
                    f.avgBytesPerSec, f.blockAlign, f.bitsPerSample, f.extraSize)));
    if (r == kMmNoError) device = std::make_unique<FakeWaveOut>(*this);
    return r;
}

bool FakePlatform::fileExists(const char* path) {
    struct stat st;
    return call(format("Exists(%s)", path), ::stat(path, &st) == 0) != 0;
}

std::uint32_t FakePlatform::getFullPathName(const char* path, std::uint32_t size, char* buffer) {
    std::int64_t scripted = call(format("GetFullPathName(%s,%u)", path, size), INT64_MIN);
    if (scripted != INT64_MIN) return static_cast<std::uint32_t>(scripted);
    std::filesystem::path p(path);
    if (p.is_relative()) {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return 0;
        p = std::filesystem::path(cwd) / p;
    }
    std::string full = p.lexically_normal().string();
    if (full.size() > 1 && full.back() == '/') full.pop_back();
    if (full.size() + 1 > size) return static_cast<std::uint32_t>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<std::uint32_t>(full.size());
}

std::uint32_t FakePlatform::getModuleFileName(char* buffer, std::uint32_t size) {
    call("GetModuleFileName");
    std::uint32_t n = copyOut(modulePath, buffer, size);
    return modulePath.size() >= size ? size : n;
}

bool FakePlatform::replaceFile(const char* source, const char* target) {
    return call(format("ReplaceFile(%s,%s)", source, target), 1) != 0 &&
           std::rename(source, target) == 0;
}

void FakePlatform::configurationNotWritten(const char* path, int) {
    call(format("ConfigurationNotWritten(%s)", path));
}

std::uint16_t FakePlatform::registerClass(const WindowClass& windowClass) {
    lastClass = windowClass;
    lastClassName = windowClass.className ? windowClass.className : "";
    lastClass.className = lastClassName.c_str();
    windowProc = windowClass.windowProc;
    return static_cast<std::uint16_t>(call(
        format("RegisterClass(%s,menu=%d)", lastClassName.c_str(), windowClass.menuResource), 1));
}

WindowHandle FakePlatform::createWindow(std::uint32_t exStyle, const char* className,
                                        const char* title, std::uint32_t style, int x, int y,
                                        int width, int height, InstanceHandle) {
    if (!succeeds(format("CreateWindow(0x%X,%s,%s,0x%X,%d,%d,%d,%d)", exStyle, className, title,
                         style, x, y, width, height)))
        return nullptr;
    mainWindow = window(kMainWindowId);
    windowRect = {x, y, x + width, y + height};
    // A visible window is sized while it is being made, before the call
    // returns: the window procedure sees that size message.
    if ((style & kWsVisible) && windowProc) windowProc(mainWindow, kWmSize, 0, 0);
    return mainWindow;
}

WindowHandle FakePlatform::findWindow(const char* className, const char* title) {
    call(format("FindWindow(%s|%s)", className, title));
    if (otherInstance) return otherWindow;
    bool ours = !std::strcmp(className, kWindowClassName) && !std::strcmp(title, kWindowTitle);
    return windowFound && ours ? mainWindow : nullptr;
}

LResult FakePlatform::sendCopyData(WindowHandle w, const CopyData& data) {
    std::string text(static_cast<const char*>(data.data),
                     ::strnlen(static_cast<const char*>(data.data), data.size));
    return call(format("SendCopyData(0x%lX,%s,%u)", id(w), text.c_str(), data.size));
}

int FakePlatform::getMessage(Message& message) {
    while (queue.empty())
        waitMessage();
    message = queue.front();
    queue.pop_front();
    return message.message == kWmQuit ? 0 : 1;
}

void FakePlatform::waitMessage() {
    if (idleScript.empty()) {
        call("WaitMessage(idle)");
        queue.push_back({nullptr, kWmQuit, 99, 0});
        return;
    }
    call("WaitMessage");
    auto next = std::move(idleScript.front());
    idleScript.pop_front();
    next();
}

WindowHandle FakePlatform::createToolBar(const ToolBarParams& params) {
    lastToolBar = params;
    lastToolButtons.assign(params.buttons, params.buttons + params.buttonCount);
    lastToolBar.buttons = lastToolButtons.data();
    call(format("CreateToolbarEx(parent=0x%lX)", id(params.parent)));
    return window(kToolBarId + static_cast<std::uintptr_t>(count("CreateToolbarEx")));
}

std::int32_t FakePlatform::getOpenFileName(OpenFileRequest& request) {
    lastOpenFile = request;
    lastOpenFilter.clear();
    for (const char* p = request.filter; p && *p; p += std::strlen(p) + 1)
        lastOpenFilter.append(p).push_back('|');
    call(format("GetOpenFileName(%s,%u)", request.file && !request.file[0] ? "empty" : "not empty",
                request.maxFile));
    if (chosenFile.empty()) return 0;
    copyOut(chosenFile, request.file, request.maxFile);
    return 1;
}

std::intptr_t FakePlatform::dialogBox(InstanceHandle, const char* name, WindowHandle owner,
                                      DialogProc proc) {
    call(format("DialogBox(%s,0x%lX)", name, id(owner)));
    dialogs.push_back(std::make_unique<FakeDialogView>(log, name));
    FakeDialogView& view = *dialogs.back();
    view.proc = proc;
    view.send(kWmInitDialog);
    if (dialogScript)
        dialogScript(view);
    else
        view.command(1);
    if (view.ended) return view.result;
    log.push_back("DialogBox(not ended)");
    return -1;
}

std::uint32_t FakePlatform::dragQueryFile(DropHandle, std::uint32_t index, char* buffer,
                                          std::uint32_t size) {
    call(format("DragQueryFile(%u,%u)", index, size));
    return copyOut(droppedFile, buffer, size);
}

}  // namespace ostrel::fake
