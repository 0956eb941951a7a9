#include "platform/qt/QtPlatform.h"

#include <net/if.h>
#include <net/route.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QToolBar>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtDirectDraw.h"
#include "platform/qt/QtMultiMediaStream.h"
#include "platform/qt/QtPaths.h"
#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/Ffmpeg.h"
#include "platform/qt/media/MediaEngine.h"
#include "platform/qt/media/SoundPlayer.h"
#include "resource_ids.h"

namespace ostrel::platform::qt {

namespace {

constexpr MmResult kWaveBadFormat = 32;
constexpr std::intptr_t kDialogFailed = -1;
constexpr const char* kIntroSoundName = "#129";

struct Marker {
    int unused = 0;
};
Marker remoteMarker;
Marker iconMarker;

bool environmentIs(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set && std::strcmp(set, value) == 0;
}

// A route in use over an interface that is up. The loopback is left out: it
// holds the routes the system keeps to refuse traffic it has no way out for.
bool routeUsable(const std::string& flags, const std::string& device) {
    unsigned long route = std::strtoul(flags.c_str(), nullptr, 16);
    if (!(route & RTF_UP) || (route & RTF_REJECT)) return false;
    if (device.empty() || device.find('/') != std::string::npos || device[0] == '.') return false;
    std::ifstream file("/sys/class/net/" + device + "/flags");
    std::string text;
    // An interface whose state cannot be read counts as up.
    if (!(file >> text)) return true;
    unsigned long state = std::strtoul(text.c_str(), nullptr, 16);
    return (state & IFF_UP) && !(state & IFF_LOOPBACK);
}

// Whether the system has a way out: a default route (IPv4 or IPv6) that is
// usable. Unknown when neither routing table can be read.
std::optional<bool> hasDefaultRoute() {
    std::ifstream ipv4("/proc/net/route"), ipv6("/proc/net/ipv6_route");
    if (!ipv4 && !ipv6) return std::nullopt;
    std::string line;
    std::getline(ipv4, line);  // the column titles
    while (std::getline(ipv4, line)) {
        std::istringstream fields(line);
        std::string device, destination, gateway, flags, uses, used, metric, mask;
        if (fields >> device >> destination >> gateway >> flags >> uses >> used >> metric >> mask &&
            destination == "00000000" && mask == "00000000" && routeUsable(flags, device))
            return true;
    }
    while (std::getline(ipv6, line)) {
        std::istringstream fields(line);
        std::string destination, length, source, sourceLength, nextHop, metric, uses, used, flags,
            device;
        if (fields >> destination >> length >> source >> sourceLength >> nextHop >> metric >>
                uses >> used >> flags >> device &&
            destination == std::string(32, '0') && length == "00" && routeUsable(flags, device))
            return true;
    }
    return false;
}

// The wave output as the player's own output volume: the value last
// written is the value read back, and it is applied to every stream and
// sound the player plays.
class QtWaveOutDevice final : public WaveOutDevice {
public:
    MmResult getVolume(std::uint32_t& volume) override {
        volume = media::outputVolume();
        return kMmNoError;
    }
    MmResult setVolume(std::uint32_t volume) override {
        media::setOutputVolume(volume);
        return kMmNoError;
    }
};

}  // namespace

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
    if (sounds_) sounds_->stopAll();
}

WindowHandle QtPlatform::remoteWindow() {
    return reinterpret_cast<WindowHandle>(&remoteMarker);
}

// --- Component library: nothing to start on this platform. ---

Status QtPlatform::coInitialize() {
    return kOk;
}

void QtPlatform::coUninitialize() {}

// --- Display and media objects. ---

Status QtPlatform::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    factory = std::make_unique<QtDirectDrawFactory>(windows_);
    return kOk;
}

Status QtPlatform::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    stream = std::make_unique<QtMultiMediaStream>();
    return kOk;
}

// --- Wave output and sounds. ---

MmResult QtPlatform::waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) {
    // Tests stand for a machine without any output device.
    if (environmentIs("OSTREL_NO_WAVE_DEVICE", "1")) return kMmError;
    if (format.formatTag != kWaveFormatPcm || format.channels == 0 || format.channels > 2 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16)) {
        return kWaveBadFormat;
    }
    device = std::make_unique<QtWaveOutDevice>();
    return kMmNoError;
}

media::SoundPlayer& QtPlatform::sounds() {
    if (!sounds_) sounds_ = std::make_unique<media::SoundPlayer>();
    return *sounds_;
}

std::int32_t QtPlatform::sndPlaySound(const char* path, std::uint32_t flags) {
    if (!path) {
        if (sounds_) sounds_->stopAll();
        return 1;
    }
    bool synchronous = (flags & kSndAsync) == 0;
    return sounds().play(path, synchronous) ? 1 : 0;
}

std::int32_t QtPlatform::playSound(const char* name, std::uint32_t flags) {
    if (!name || (flags & kSndResource) != kSndResource) return 0;
    if (std::strcmp(name, kIntroSoundName) != 0) return 0;
    if (!introSound_) {
        // Played from the program's own copy, read once.
        QFile resource(QStringLiteral(":/sounds/intro.wav"));
        if (!resource.open(QIODevice::ReadOnly)) return 0;
        const QByteArray bytes = resource.readAll();
        introSound_ = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    }
    bool synchronous = (flags & kSndAsync) == 0;
    return sounds().playBytes(introSound_, synchronous) ? 1 : 0;
}

// --- Shell. ---

std::int32_t QtPlatform::inetIsOffline() {
    // Tests say which way the network is.
    if (environmentIs("OSTREL_NETWORK", "offline")) return 1;
    if (environmentIs("OSTREL_NETWORK", "online")) return 0;
    // Offline only without a way out; where nobody can tell, it counts as online.
    std::optional<bool> route = hasDefaultRoute();
    return route && !*route ? 1 : 0;
}

void QtPlatform::openUrl(WindowHandle, const char* url) {
    if (!url) return;
    // The desktop's handler opens it; no command line is ever built.
    QUrl address(QString::fromLocal8Bit(url), QUrl::TolerantMode);
    if (address.isValid() && !address.isRelative()) QDesktopServices::openUrl(address);
}

void QtPlatform::messageBox(WindowHandle owner, const char* text, const char* caption,
                            std::uint32_t) {
    QMessageBox box(QMessageBox::Warning, QString::fromLocal8Bit(caption ? caption : ""),
                    QString::fromLocal8Bit(text ? text : ""), QMessageBox::Ok,
                    windows_.widgetFor(owner));
    windows_.enterModal(&box);
    box.exec();
    windows_.leaveModal(&box);
}

// --- Files and paths. ---

bool QtPlatform::fileExists(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0;
}

std::uint32_t QtPlatform::getFullPathName(const char* path, std::uint32_t bufferSize,
                                          char* buffer) {
    if (!path || !*path) return 0;
    std::string current;
    if (path[0] != '/') {
        char* folder = ::getcwd(nullptr, 0);
        if (!folder) return 0;
        current = folder;
        std::free(folder);
    }
    return copyPathResult(lexicalFullPath(path, current), bufferSize, buffer);
}

std::uint32_t QtPlatform::getModuleFileName(char* buffer, std::uint32_t bufferSize) {
    if (!buffer || bufferSize == 0) return 0;
    std::string path(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return 0;
    path.resize(static_cast<std::size_t>(length));
    if (path.size() + 1 > bufferSize) {
        // Cut to the buffer, terminated, as the system does.
        std::memcpy(buffer, path.data(), bufferSize - 1);
        buffer[bufferSize - 1] = '\0';
        return bufferSize;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<std::uint32_t>(path.size());
}

bool QtPlatform::replaceFile(const char* source, const char* target) {
    return source && target && std::rename(source, target) == 0;
}

void QtPlatform::configurationNotWritten(const char* path, int error) {
    // Once a run: Save and the end of the player would say it again.
    static bool said = false;
    if (said) return;
    said = true;
    std::fprintf(stderr, "ostrel: cannot write the configuration %s: %s\n", path,
                 std::strerror(error));
}

LocalTime QtPlatform::localTime() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    LocalTime result;
    if (!::localtime_r(&now, &parts)) return result;
    result.year = parts.tm_year + 1900;
    result.month = parts.tm_mon;
    result.day = parts.tm_mday;
    result.weekday = parts.tm_wday;
    result.hour = parts.tm_hour;
    result.minute = parts.tm_min;
    result.second = parts.tm_sec;
    return result;
}

// --- Single instance. ---

MutexHandle QtPlatform::createMutex(const char* name, bool& alreadyExists) {
    MutexHandle mutex = instance_.createMutex(name, alreadyExists);
    if (!alreadyExists) {
        media::loadFfmpegSoon();
        media::AudioOutput::prepare();
        if (!firstClip_.empty()) media::MediaEngine::prepare(firstClip_);
    }
    return mutex;
}

void QtPlatform::closeHandle(MutexHandle handle) {
    instance_.closeHandle(handle);
}

void QtPlatform::startListening() {
    SingleInstance::Receiver receiver;
    receiver.hasWindow = [this](const std::string& className, const std::string& title) {
        return windows_.findOwnWindow(className.c_str(), title.c_str()) != nullptr;
    };
    receiver.raise = [this] { windows_.raiseWindow(windows_.findOwnWindow(nullptr, nullptr)); };
    receiver.copyData = [this](const CopyData& data) -> LResult {
        WindowHandle window = windows_.findOwnWindow(nullptr, nullptr);
        if (!window) return 0;
        return windows_.sendMessage(window, kWmCopyData, 0, reinterpret_cast<LParam>(&data));
    };
    instance_.listen(std::move(receiver));
}

// --- Window system. ---

CursorHandle QtPlatform::loadArrowCursor() {
    return WindowSystem::arrowCursor();
}

IconHandle QtPlatform::loadIcon(InstanceHandle, int resource) {
    // The program's icon is the application's window icon (set at start).
    return resource == IDI_OSTREL ? reinterpret_cast<IconHandle>(&iconMarker) : nullptr;
}

std::uint16_t QtPlatform::registerClass(const WindowClass& windowClass) {
    return windows_.registerClass(windowClass);
}

WindowHandle QtPlatform::createWindow(std::uint32_t exStyle, const char* className,
                                      const char* title, std::uint32_t style, int x, int y,
                                      int width, int height, InstanceHandle) {
    WindowHandle window =
        windows_.createWindow(exStyle, className, title, style, x, y, width, height);
    // Second starts can find the player from now on.
    if (window) startListening();
    return window;
}

bool QtPlatform::showWindow(WindowHandle window, int command) {
    return windows_.showWindow(window, command);
}

bool QtPlatform::updateWindow(WindowHandle window) {
    return windows_.updateWindow(window);
}

bool QtPlatform::getClientRect(WindowHandle window, Rect& rect) {
    return windows_.getClientRect(window, rect);
}

bool QtPlatform::clientToScreen(WindowHandle window, Point& point) {
    return windows_.clientToScreen(window, point);
}

bool QtPlatform::getWindowRect(WindowHandle window, Rect& rect) {
    return windows_.getWindowRect(window, rect);
}

WindowHandle QtPlatform::findWindow(const char* className, const char* title) {
    if (WindowHandle own = windows_.findOwnWindow(className, title)) return own;
    // A second start looks for the running player's window.
    if (instance_.isSecondStart() && instance_.findRemote(className, title)) return remoteWindow();
    return nullptr;
}

WindowHandle QtPlatform::getParent(WindowHandle window) {
    return windows_.getParent(window);
}

WindowHandle QtPlatform::getDesktopWindow() {
    return WindowSystem::desktopHandle();
}

bool QtPlatform::setForegroundWindow(WindowHandle window) {
    if (window == remoteWindow()) return instance_.raiseRemote();
    return windows_.raiseWindow(window);
}

CursorHandle QtPlatform::setCursor(CursorHandle cursor) {
    return windows_.setCursor(cursor);
}

bool QtPlatform::postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                             LParam lParam) {
    if (window == remoteWindow()) return false;
    return windows_.postMessage(window, message, wParam, lParam);
}

LResult QtPlatform::sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                LParam lParam) {
    return windows_.sendMessage(window, message, wParam, lParam);
}

LResult QtPlatform::sendCopyData(WindowHandle window, const CopyData& data) {
    if (window == remoteWindow()) return instance_.sendCopyData(data);
    return windows_.sendMessage(window, kWmCopyData, 0, reinterpret_cast<LParam>(&data));
}

void QtPlatform::postQuitMessage(int exitCode) {
    windows_.postQuitMessage(exitCode);
}

LResult QtPlatform::defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    return windows_.defWindowProc(window, message, wParam, lParam);
}

bool QtPlatform::peekMessage() {
    return windows_.peekMessage();
}

int QtPlatform::getMessage(Message& message) {
    return windows_.getMessage(message);
}

void QtPlatform::translateAndDispatch(const Message& message) {
    windows_.translateAndDispatch(message);
}

void QtPlatform::waitMessage() {
    windows_.waitMessage();
}

// --- Controls and dialogs. ---

WindowHandle QtPlatform::createToolBar(const ToolBarParams& params) {
    auto* main = dynamic_cast<MainWindow*>(windows_.widgetFor(params.parent));
    if (!main || !params.buttons || params.buttonCount <= 0 || params.imageWidth <= 0 ||
        params.imageHeight <= 0) {
        return nullptr;
    }
    QToolBar* toolBar = buildToolBar(main->client(), params, [this](int command, QToolBar* source) {
        windows_.commandChosen(command, WindowSystem::handleOf(source));
    });
    return toolBar ? WindowSystem::handleOf(toolBar) : nullptr;
}

std::int32_t QtPlatform::getOpenFileName(OpenFileRequest& request) {
    return runOpenFileDialog(windows_, request);
}

std::intptr_t QtPlatform::dialogBox(InstanceHandle, const char* name, WindowHandle owner,
                                    DialogProc proc) {
    StaticText::Link link;
    link.offline = [this] { return inetIsOffline() != 0; };
    WindowHandle linkOwner = owner;
    link.open = [this, linkOwner](const std::string& url) { openUrl(linkOwner, url.c_str()); };
    std::unique_ptr<DialogWindow> dialog = buildDialog(name, windows_.widgetFor(owner), proc, link);
    if (!dialog) return kDialogFailed;
    return dialog->run(windows_);
}

std::uint32_t QtPlatform::dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                        std::uint32_t bufferSize) {
    auto* files = reinterpret_cast<DroppedFiles*>(drop);
    if (!files) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<std::uint32_t>(files->paths.size());
    if (index >= files->paths.size()) return 0;
    const std::string& path = files->paths[index];
    // Without a buffer: the length the path needs, without its terminator.
    if (!buffer || bufferSize == 0) return static_cast<std::uint32_t>(path.size());
    std::size_t length = std::min<std::size_t>(path.size(), bufferSize - 1);
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

void QtPlatform::dragFinish(DropHandle drop) {
    delete reinterpret_cast<DroppedFiles*>(drop);
}

}  // namespace ostrel::platform::qt
