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
    std::string out(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, pattern, args)), '\0');
    std::vsnprintf(out.data(), out.size() + 1, pattern, again);
    va_end(again);
    va_end(args);
    return out;
}

namespace {

// Copies as much of `from` as fits, terminated; returns the length copied.
std::uint32_t copyOut(const std::string& from, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    std::size_t n = std::min<std::size_t>(from.size(), size - 1);
    std::memcpy(buffer, from.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}
std::string rect(const Rect* r) {
    return r ? format("%d,%d,%d,%d", r->left, r->top, r->right, r->bottom) : "null";
}
// Makes the object when the call succeeded; passes the status on.
template <class Made, class Base, class... Args>
Status made(Status s, std::unique_ptr<Base>& out, Args&&... args) {
    if (s >= 0) out = std::make_unique<Made>(std::forward<Args>(args)...);
    return s;
}

// Every object counts as live until released, and logs its release, marked
// when the component library was already down.
struct FakeObject {
    FakeObject(FakePlatform& fake, std::string name) : fake_(fake), name_(std::move(name)) {
        ++fake_.liveObjects;
    }
    virtual ~FakeObject() {
        --fake_.liveObjects;
        fake_.log.push_back("Release(" + name_ + ")" +
                            (fake_.comUp ? "" : " after CoUninitialize"));
    }
    FakePlatform& fake_;
    std::string name_;
};
std::string nameOf(DirectDrawSurface* surface) {
    auto* o = dynamic_cast<FakeObject*>(surface);
    return o ? o->name_ : "null";
}

struct FakeClipper : DirectDrawClipper, FakeObject {
    explicit FakeClipper(FakePlatform& fake) : FakeObject(fake, "clipper") {}
    Status setHWnd(std::uint32_t flags, WindowHandle w) override {
        return fake_.ok("SetHWnd", flags, w);
    }
};

struct FakeSurface : DirectDrawSurface, FakeObject {
    using FakeObject::FakeObject;
    Status getSurfaceDesc(SurfaceDesc& desc) override {
        Status s = fake_.ok("GetSurfaceDesc", name_);
        if (s < 0) return s;
        desc.width = 1024, desc.height = 768;
        desc.flags |= kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        for (int i = 0; i < 32; ++i)
            desc.pixelFormat.bytes[i] = static_cast<std::uint8_t>(i + 1);
        return s;
    }
    Status setClipper(DirectDrawClipper* clipper) override {
        return fake_.ok("SetClipper", clipper ? "clipper" : "null");
    }
    Status blt(const Rect* dest, DirectDrawSurface* source, const Rect* from, std::uint32_t flags,
               const BltFx* fx) override {
        if (flags & kDdbltColorFill)
            return fake_.ok("BltFill", name_, rect(dest), rect(from), Hex{flags},
                            fx ? format("%u/%u", fx->fillColor, fx->size) : "none");
        return fake_.ok("Blt", name_, nameOf(source), rect(dest), rect(from), Hex{flags},
                        fx ? "fx" : "no fx");
    }
};

struct FakeDirectDraw : DirectDraw, FakeObject {
    explicit FakeDirectDraw(FakePlatform& fake) : FakeObject(fake, "directDraw") {}
    Status createSurface(SurfaceDesc& d, std::unique_ptr<DirectDrawSurface>& surface) override {
        bool primary = d.caps & kDdsCapsPrimarySurface;
        Status s =
            primary ? fake_.ok("CreatePrimarySurface", Hex{d.flags}, Hex{d.caps}, d.size)
                    : fake_.ok("CreateOffscreenSurface", Hex{d.flags}, Hex{d.caps}, d.size, d.width,
                               d.height, d.pixelFormat.bytes[0], d.pixelFormat.bytes[31]);
        return made<FakeSurface>(s, surface, fake_, primary ? "primary" : "offscreen");
    }
    Status createClipper(std::uint32_t flags, std::unique_ptr<DirectDrawClipper>& c) override {
        return made<FakeClipper>(fake_.ok("CreateClipper", flags), c, fake_);
    }
};

struct FakeFactory : DirectDrawFactory, FakeObject {
    explicit FakeFactory(FakePlatform& fake) : FakeObject(fake, "factory") {}
    Status createDirectDraw(WindowHandle w, std::uint32_t level,
                            std::unique_ptr<DirectDraw>& directDraw) override {
        return made<FakeDirectDraw>(fake_.ok("CreateDirectDraw", w, level), directDraw, fake_);
    }
};

// The playing state of one opened stream, shared by the objects made from it.
struct StreamCore {
    MediaInfo info;
    StreamTime time = 0;
    bool running = false;
};
using Core = std::shared_ptr<StreamCore>;
constexpr StreamTime kFrameTime = 400000;

struct FakeSample : StreamSample, FakeObject {
    FakeSample(FakePlatform& fake, Core core) : FakeObject(fake, "sample"), core_(core) {}
    Status update(std::uint32_t flags) override {
        if (auto scripted = fake_.call("Update", flags)) return static_cast<Status>(*scripted);
        if (!core_->running) return static_cast<Status>(0x80040007u);  // not running
        std::int64_t frame = core_->time / kFrameTime;
        if (frame >= core_->info.frames) return kEndOfStream;
        core_->time = (frame + 1) * kFrameTime;
        return kOk;
    }
    Core core_;
};

struct FakeDdStream : DirectDrawMediaStream, FakeObject {
    FakeDdStream(FakePlatform& fake, Core core) : FakeObject(fake, "ddStream"), core_(core) {}
    Status getFormat(SurfaceDesc& desc) override {
        Status s = fake_.ok("GetFormat", desc.size);
        if (s >= 0) desc.width = core_->info.width, desc.height = core_->info.height;
        return s;
    }
    Status createSample(DirectDrawSurface* surface, const Rect& r, std::uint32_t flags,
                        std::unique_ptr<StreamSample>& sample) override {
        return made<FakeSample>(fake_.ok("CreateSample", nameOf(surface), rect(&r), flags), sample,
                                fake_, core_);
    }
    Core core_;
};

struct FakeMediaStream : MediaStream, FakeObject {
    FakeMediaStream(FakePlatform& fake, Core core) : FakeObject(fake, "videoStream"), core_(core) {}
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) override {
        return made<FakeDdStream>(fake_.ok("QueryInterface"), stream, fake_, core_);
    }
    Core core_;
};

const char* purposeName(MediaPurpose purpose) {
    return purpose == MediaPurpose::PrimaryVideo ? "Video" : "Audio";
}

struct FakeMultiMediaStream : MultiMediaStream, FakeObject {
    explicit FakeMultiMediaStream(FakePlatform& fake)
        : FakeObject(fake, "stream"), core_(std::make_shared<StreamCore>()) {}
    Status initialize(std::uint32_t type, std::uint32_t flags) override {
        return fake_.ok("Initialize", type, flags);
    }
    Status addMediaStream(DirectDraw* dd, MediaPurpose purpose, std::uint32_t flags) override {
        return fake_.ok(std::string("Add") + purposeName(purpose), dd ? "directDraw" : "null",
                        flags);
    }
    Status openFile(const char* path, std::uint32_t flags) override {
        auto found = fake_.media.find(path);
        core_->info = found != fake_.media.end() ? found->second : MediaInfo{};
        std::error_code ec;
        bool opens = core_->info.opens && !std::filesystem::is_directory(path, ec);
        return static_cast<Status>(fake_.call("OpenFile", path, flags)
                                       .value_or(opens ? kOk : static_cast<Status>(0x80040217u)));
    }
    Status getMediaStream(MediaPurpose purpose, std::unique_ptr<MediaStream>& stream) override {
        return made<FakeMediaStream>(fake_.ok("GetMediaStream", purposeName(purpose)), stream,
                                     fake_, core_);
    }
    Status getDuration(StreamTime& duration) override {
        Status s = fake_.ok("GetDuration");
        if (s >= 0) duration = core_->info.frames * kFrameTime;
        return s;
    }
    Status getTime(StreamTime& time) override {
        Status s = fake_.ok("GetTime");
        if (s >= 0) time = core_->time;
        return s;
    }
    Status seek(StreamTime time) override {
        Status s = fake_.ok("Seek", time);
        if (s >= 0) core_->time = time;
        return s;
    }
    Status setState(StreamState to) override {
        bool run = to == StreamState::Run;
        Status s = fake_.ok("SetState", run ? "Run" : "Stop");
        if (s >= 0) core_->running = run;
        return s;
    }
    Core core_;
};

struct FakeWaveOut : WaveOutDevice {
    explicit FakeWaveOut(FakePlatform& fake) : fake_(fake) {}
    ~FakeWaveOut() override { fake_.call("waveOutClose"); }
    MmResult getVolume(std::uint32_t& volume) override {
        auto r = static_cast<MmResult>(fake_.call("waveOutGetVolume").value_or(kMmNoError));
        if (r == kMmNoError) volume = fake_.deviceVolume;
        return r;
    }
    MmResult setVolume(std::uint32_t volume) override {
        auto r = static_cast<MmResult>(fake_.call("waveOutSetVolume", Hex{volume}).value_or(0));
        if (r == kMmNoError) fake_.deviceVolume = volume;
        return r;
    }
    FakePlatform& fake_;
};

}  // namespace

Status FakePlatform::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    return made<FakeFactory>(ok("CoCreateInstance", comUp ? "DirectDraw" : "no CoInitialize"),
                             factory, *this);
}

Status FakePlatform::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    return made<FakeMultiMediaStream>(ok("CoCreateInstance", comUp ? "Stream" : "no CoInitialize"),
                                      stream, *this);
}

MmResult FakePlatform::waveOutOpen(const WaveFormat& f, std::unique_ptr<WaveOutDevice>& device) {
    auto r =
        static_cast<MmResult>(call("waveOutOpen", f.formatTag, f.channels, f.samplesPerSec,
                                   f.avgBytesPerSec, f.blockAlign, f.bitsPerSample, f.extraSize)
                                  .value_or(kMmNoError));
    if (r == kMmNoError) device = std::make_unique<FakeWaveOut>(*this);
    return r;
}

bool FakePlatform::fileExists(const char* path) {
    struct stat st;
    return call("Exists", path).value_or(::stat(path, &st) == 0) != 0;
}

std::uint32_t FakePlatform::getFullPathName(const char* path, std::uint32_t size, char* buffer) {
    if (auto scripted = call("GetFullPathName", path, size))
        return static_cast<std::uint32_t>(*scripted);
    std::filesystem::path p(path);
    std::string full = std::filesystem::absolute(p).lexically_normal().string();
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
    return yes("ReplaceFile", source, target) && std::rename(source, target) == 0;
}

WindowHandle FakePlatform::createWindow(std::uint32_t exStyle, const char* className,
                                        const char* title, std::uint32_t style, int x, int y,
                                        int width, int height, InstanceHandle) {
    if (!yes("CreateWindow", Hex{exStyle}, className, title, Hex{style}, x, y, width, height))
        return nullptr;
    mainWindow = window(kMainWindowId);
    windowRect = {x, y, x + width, y + height};
    // A visible window is sized while it is being made, before the call
    // returns: the window procedure sees that size message.
    if ((style & kWsVisible) && windowProc) windowProc(mainWindow, kWmSize, 0, 0);
    return mainWindow;
}

WindowHandle FakePlatform::findWindow(const char* className, const char* title) {
    call("FindWindow", className, title);
    if (otherInstance) return otherWindow;
    bool ours = !std::strcmp(className, kWindowClassName) && !std::strcmp(title, kWindowTitle);
    return windowFound && ours ? mainWindow : nullptr;
}

LResult FakePlatform::sendCopyData(WindowHandle w, const CopyData& data) {
    auto* bytes = static_cast<const char*>(data.data);
    return call("SendCopyData", w, std::string(bytes, ::strnlen(bytes, data.size)), data.size)
        .value_or(0);
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
        call("WaitMessage", "idle");
        queue.push_back({nullptr, kWmQuit, 99, 0});
        return;
    }
    call("WaitMessage");
    auto next = std::move(idleScript.front());
    idleScript.pop_front();
    next();
}

WindowHandle FakePlatform::createToolBar(const ToolBarParams& p) {
    toolBar = format("%X %d %d %lX %d %d %d %d %d %d", p.style, p.id, p.imageCount, id(p.instance),
                     p.bitmapResource, p.buttonCount, p.buttonWidth, p.buttonHeight, p.imageWidth,
                     p.imageHeight);
    for (int i = 0; i < p.buttonCount; ++i)
        toolBar += format(" %d:%d:%d:%d", p.buttons[i].image, p.buttons[i].command,
                          p.buttons[i].state, p.buttons[i].style);
    call("CreateToolbarEx", p.parent);
    return window(0x200 + static_cast<std::uintptr_t>(count("CreateToolbarEx")));
}

std::int32_t FakePlatform::getOpenFileName(OpenFileRequest& r) {
    std::string filter;
    for (const char* p = r.filter; p && *p; p += std::strlen(p) + 1)
        filter.append(p).push_back('|');
    openFile = format("0x%lX %s %u 0x%X", id(r.owner), filter.c_str(), r.filterIndex, r.flags);
    call("GetOpenFileName", r.file && !r.file[0] ? "empty" : "not empty", r.maxFile);
    if (chosenFile.empty()) return 0;
    copyOut(chosenFile, r.file, r.maxFile);
    return 1;
}

std::intptr_t FakePlatform::dialogBox(InstanceHandle, const char* name, WindowHandle owner,
                                      DialogProc proc) {
    call("DialogBox", name, owner);
    FakeDialogView view(*this, proc);
    view.send(kWmInitDialog);
    if (dialogScript)
        dialogScript(view);
    else
        view.command(1);
    return view.result.value_or(-1);
}

std::uint32_t FakePlatform::dragQueryFile(DropHandle, std::uint32_t index, char* buffer,
                                          std::uint32_t size) {
    call("DragQueryFile", index, size);
    return copyOut(droppedFile, buffer, size);
}

}  // namespace ostrel::fake
