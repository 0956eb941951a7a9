// Drives the Windows platform layer on its own, through the seam only: a
// window, the display objects, one clip played to its end with every frame
// blitted scaled into the window, then sound, shell, files, single instance,
// tool bar and both dialog templates. Prints one line per check and exits
// with 0 when every check passed.
//
//   win32_smoke.exe CLIP [--expect FRAMES] [--hold SECONDS] [--about-stays]
//
// --hold keeps the last frame on screen (for a screenshot); --about-stays
// leaves the about dialog open until someone presses its OK button (capture
// it with: xwd -id "$(xdotool search --name '^ ostrel$')").
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/win32/Win32Platform.h"
#include "resource_ids.h"

namespace {

using namespace ostrel::platform;

Platform* os = nullptr;
int failures = 0;

void check(bool ok, const char* what, const char* detail = "") {
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what, *detail ? ": " : "", detail);
    std::fflush(stdout);
    if (!ok) ++failures;
}

void checkStatus(Status status, const char* what) {
    char detail[32];
    std::snprintf(detail, sizeof detail, "0x%08lX", static_cast<unsigned long>(status));
    check(!failed(status), what, detail);
}

LResult smokeWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    if (message == kWmDestroy) {
        os->postQuitMessage(0);
        return 0;
    }
    return os->defWindowProc(window, message, wParam, lParam);
}

// Runs every waiting message; false once the quit message came.
bool pumpMessages() {
    while (os->peekMessage()) {
        Message message;
        if (os->getMessage(message) <= 0) return false;
        os->translateAndDispatch(message);
    }
    return true;
}

struct Display {
    std::unique_ptr<DirectDrawFactory> factory;
    std::unique_ptr<DirectDraw> directDraw;
    std::unique_ptr<DirectDrawSurface> primary;
    std::unique_ptr<DirectDrawSurface> offscreen;
    std::unique_ptr<DirectDrawClipper> clipper;
};

struct Stream {
    std::unique_ptr<MultiMediaStream> stream;
    std::unique_ptr<MediaStream> video;
    std::unique_ptr<DirectDrawMediaStream> ddStream;
    std::unique_ptr<StreamSample> sample;
    Rect sampleRect;
    StreamTime duration = 0;
};

bool screenRectOf(WindowHandle window, Rect& area) {
    Rect client;
    if (!os->getClientRect(window, client)) return false;
    Point topLeft{client.left, client.top};
    Point bottomRight{client.right, client.bottom};
    if (!os->clientToScreen(window, topLeft) || !os->clientToScreen(window, bottomRight))
        return false;
    area = Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return true;
}

bool makeDisplay(WindowHandle window, Display& d) {
    checkStatus(os->coInitialize(), "CoInitialize");
    Status s = os->createDirectDrawFactory(d.factory);
    checkStatus(s, "DirectDraw factory");
    if (failed(s)) return false;
    s = d.factory->createDirectDraw(os->getDesktopWindow(), kDdsclNormal, d.directDraw);
    checkStatus(s, "DirectDraw object for the desktop");
    if (failed(s)) return false;

    SurfaceDesc primaryDesc;
    primaryDesc.flags = kDdsdCaps;
    primaryDesc.caps = kDdsCapsPrimarySurface;
    s = d.directDraw->createSurface(primaryDesc, d.primary);
    checkStatus(s, "primary surface");
    if (failed(s)) return false;
    s = d.primary->getSurfaceDesc(primaryDesc);
    char detail[64];
    std::snprintf(detail, sizeof detail, "%ux%u", primaryDesc.width, primaryDesc.height);
    check(!failed(s) && primaryDesc.width > 0 && primaryDesc.height > 0,
          "primary surface description", detail);

    SurfaceDesc offscreenDesc;
    offscreenDesc.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    offscreenDesc.height = primaryDesc.height;
    offscreenDesc.width = primaryDesc.width;
    offscreenDesc.pixelFormat = primaryDesc.pixelFormat;
    offscreenDesc.caps = kDdsCapsOffscreenPlain;
    s = d.directDraw->createSurface(offscreenDesc, d.offscreen);
    checkStatus(s, "off-screen surface like the primary");
    if (failed(s)) return false;

    SurfaceDesc wrongSize;
    wrongSize.size = 80;
    wrongSize.flags = kDdsdCaps;
    wrongSize.caps = kDdsCapsOffscreenPlain;
    std::unique_ptr<DirectDrawSurface> refused;
    check(failed(d.directDraw->createSurface(wrongSize, refused)) && !refused,
          "a description of the wrong size is refused");

    s = d.directDraw->createClipper(0, d.clipper);
    checkStatus(s, "clipper");
    if (failed(s)) return false;
    checkStatus(d.primary->setClipper(d.clipper.get()), "clipper on the primary");
    checkStatus(d.clipper->setHWnd(0, window), "clipper bound to the window");
    return true;
}

Status clearArea(WindowHandle window, DirectDrawSurface& surface) {
    Rect area;
    screenRectOf(window, area);
    BltFx fx;
    fx.fillColor = 0;
    Status s;
    do {
        s = surface.blt(&area, nullptr, &area, kDdbltColorFill, &fx);
    } while (s == kStillDrawing);
    return s;
}

bool openClip(const char* path, Display& d, Stream& m) {
    Status s = os->createMultiMediaStream(m.stream);
    checkStatus(s, "multimedia stream");
    if (failed(s)) return false;
    checkStatus(m.stream->initialize(kStreamTypeRead, 0), "stream initialised for reading");
    checkStatus(m.stream->addMediaStream(d.directDraw.get(), MediaPurpose::PrimaryVideo, 0),
                "video stream on the DirectDraw object");
    checkStatus(m.stream->addMediaStream(nullptr, MediaPurpose::PrimaryAudio, kAddDefaultRenderer),
                "audio stream on the default renderer");
    s = m.stream->openFile(path, 0);
    checkStatus(s, "clip opened");
    if (failed(s)) return false;
    s = m.stream->getMediaStream(MediaPurpose::PrimaryVideo, m.video);
    checkStatus(s, "primary video stream");
    if (failed(s)) return false;
    s = m.video->queryDirectDrawMediaStream(m.ddStream);
    checkStatus(s, "as a DirectDraw media stream");
    if (failed(s)) return false;
    SurfaceDesc format;
    s = m.ddStream->getFormat(format);
    char detail[64];
    std::snprintf(detail, sizeof detail, "%ux%u", format.width, format.height);
    check(!failed(s) && format.width > 0, "video format", detail);
    if (failed(s)) return false;
    m.sampleRect = Rect{0, 0, static_cast<std::int32_t>(format.width),
                        static_cast<std::int32_t>(format.height)};
    s = m.ddStream->createSample(d.offscreen.get(), m.sampleRect, 0, m.sample);
    checkStatus(s, "sample on the off-screen surface");
    if (failed(s)) return false;
    s = m.stream->getDuration(m.duration);
    std::snprintf(detail, sizeof detail, "%lld", static_cast<long long>(m.duration));
    check(!failed(s) && m.duration > 0, "duration", detail);
    return true;
}

// Plays the clip to its end; returns the number of frames blitted.
int playClip(WindowHandle window, Display& d, Stream& m, bool& quit) {
    checkStatus(m.stream->setState(StreamState::Run), "stream running");
    int frames = 0;
    Status lastUpdate = kOk;
    auto started = std::chrono::steady_clock::now();
    for (;;) {
        if (!pumpMessages()) {
            quit = true;
            break;
        }
        lastUpdate = m.sample->update(0);
        if (lastUpdate != kOk) break;
        Rect dest;
        screenRectOf(window, dest);
        Status s = d.primary->blt(&dest, d.offscreen.get(), &m.sampleRect, kDdbltWait, nullptr);
        if (failed(s)) {
            checkStatus(s, "frame blit");
            break;
        }
        ++frames;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char detail[96];
    std::snprintf(detail, sizeof detail, "update answered 0x%08lX after %d frames in %.2f s",
                  static_cast<unsigned long>(lastUpdate), frames, seconds);
    check(lastUpdate == kEndOfStream, "end of stream", detail);

    StreamTime time = -1;
    checkStatus(m.stream->getTime(time), "stream time");
    checkStatus(m.stream->setState(StreamState::Stop), "stream stopped");
    checkStatus(m.stream->seek(0), "seek to the start");
    return frames;
}

void checkVolume() {
    WaveFormat format{kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
    std::unique_ptr<WaveOutDevice> device;
    MmResult r = os->waveOutOpen(format, device);
    check(r == kMmNoError && device, "wave mapper opened");
    if (!device) return;
    std::uint32_t initial = 0;
    check(device->getVolume(initial) == kMmNoError, "volume read");
    check(device->setVolume(0x55555555) == kMmNoError, "volume written");
    std::uint32_t readBack = 0;
    device->getVolume(readBack);
    char detail[64];
    std::snprintf(detail, sizeof detail, "wrote 0x55555555, read 0x%08X", readBack);
    check(readBack == 0x55555555u, "volume read back on the same handle", detail);
    device->setVolume(initial);
    device.reset();

    // The player opens the device anew for every use. Windows keeps the
    // volume between openings; Wine 8 keeps it per handle only, so this is
    // reported, not counted.
    os->waveOutOpen(format, device);
    if (device) {
        device->setVolume(0x55555555);
        device.reset();
        os->waveOutOpen(format, device);
    }
    readBack = 0;
    if (device) device->getVolume(readBack);
    std::printf("note volume after reopening: 0x%08X (0x55555555 where the system keeps it)\n",
                readBack);
    if (device) device->setVolume(initial);
}

void checkFilesAndInstance(const char* clip) {
    char module[260] = {};
    std::uint32_t length = os->getModuleFileName(module, sizeof module);
    check(length > 0 && std::strstr(module, "win32_smoke") != nullptr, "module file name", module);
    check(os->fileExists(clip), "clip exists");
    check(!os->fileExists("Z:\\no\\such\\file.avi"), "missing file does not exist");

    char full[260] = {};
    std::uint32_t needed = os->getFullPathName("a.avi", 0, nullptr);
    std::uint32_t written = os->getFullPathName("a.avi", sizeof full, full);
    check(needed == written + 1 && written > 6, "full path name against the current folder", full);

    bool exists = true;
    MutexHandle first = os->createMutex("OSTREL_SMOKE", exists);
    check(first != nullptr && !exists, "mutex taken first");
    MutexHandle second = os->createMutex("OSTREL_SMOKE", exists);
    check(second != nullptr && exists, "mutex found already existing");
    os->closeHandle(second);
    os->closeHandle(first);

    LocalTime now = os->localTime();
    check(now.year >= 2000 && now.month >= 0 && now.month <= 11, "local time");

    char source[300], target[300];
    std::snprintf(source, sizeof source, "%s.smoke-new", module);
    std::snprintf(target, sizeof target, "%s.smoke-old", module);
    for (const char* path : {source, target}) {
        FILE* f = std::fopen(path, "wb");
        if (f) {
            std::fputs(path == source ? "new" : "old", f);
            std::fclose(f);
        }
    }
    bool replaced = os->replaceFile(source, target);
    char content[8] = {};
    if (FILE* f = std::fopen(target, "rb")) {
        std::fread(content, 1, sizeof content - 1, f);
        std::fclose(f);
    }
    check(replaced && std::strcmp(content, "new") == 0 && !os->fileExists(source),
          "file replaced in one step");
    std::remove(target);
}

// The dialogs' logic for the smoke run: fill the controls, read them back,
// then press OK (unless the about dialog is to stay for a look).
bool aboutStays = false;
int settingsPosition = -1;

bool aboutProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam) {
    if (message == kWmInitDialog) {
        dialog.makeHyperlink(IDC_LINK, "http://ostrel.org");
        dialog.setItemText(IDC_VERSION, "2.03");
        // Over the main window, as the player centres it.
        dialog.moveTo(280, 300);
        WindowHandle ok = dialog.item(IDOK);
        if (!aboutStays && ok) os->postMessage(os->getParent(ok), kWmCommand, IDOK, 0);
        return true;
    }
    if (message == kWmCommand && low16(wParam) == IDOK) {
        dialog.endDialog(1);
        return true;
    }
    return false;
}

bool settingsProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam) {
    if (message == kWmInitDialog) {
        WindowHandle volume = dialog.item(IDC_VOLUME_BAR);
        dialog.setScrollRange(volume, 0, 10000, false);
        dialog.setScrollPos(volume, 1250, true);
        settingsPosition = dialog.getScrollPos(volume);
        dialog.setItemText(IDC_ITEM_NUMBER, " 1");
        dialog.moveTo(100, 100);
        os->postMessage(os->getParent(volume), kWmCommand, IDOK, 0);
        return true;
    }
    if (message == kWmCommand && low16(wParam) == IDOK) {
        dialog.endDialog(1);
        return true;
    }
    return false;
}

void checkWindowParts(InstanceHandle instance, WindowHandle window) {
    static const ToolButton buttons[] = {
        {0, 0, kTbStateEnabled, kTbStyleSep}, {0, IDM_OPEN, kTbStateEnabled, 0},
        {1, IDM_START, kTbStateEnabled, 0},   {2, IDM_PAUSE, kTbStateEnabled, 0},
        {3, IDM_STOP, kTbStateEnabled, 0},    {4, IDM_STREAM, kTbStateEnabled, 0},
        {5, IDM_SAVE, kTbStateEnabled, 0},    {6, IDM_ABOUT, kTbStateEnabled, 0},
        {7, IDM_SITE, kTbStateEnabled, 0},    {8, IDM_EXIT, kTbStateEnabled, 0},
        {9, 0, kTbStateEnabled, kTbStyleSep}};
    ToolBarParams params;
    params.parent = window;
    params.style = kWsChild | kWsVisible;
    params.id = 5;
    params.imageCount = 9;
    params.instance = instance;
    params.bitmapResource = IDB_TOOLBAR;
    params.buttons = buttons;
    params.buttonCount = 11;
    params.buttonWidth = params.buttonHeight = params.imageWidth = params.imageHeight = 16;
    check(os->createToolBar(params) != nullptr, "tool bar from bitmap 105");

    check(os->dialogBox(instance, "SET_DLG", window, settingsProc) == 1 && settingsPosition == 1250,
          "stream settings dialog");
    check(os->dialogBox(instance, "ABOUT_DLG", window, aboutProc) == 1, "about dialog");
    check(os->playSound("#129", kSndResource | kSndAsync) != 0, "intro sound from the resources");
}

}  // namespace

int main(int argc, char** argv) {
    const char* clip = nullptr;
    int expect = -1;
    double hold = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--expect") && i + 1 < argc) {
            expect = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--hold") && i + 1 < argc) {
            hold = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--about-stays")) {
            aboutStays = true;
        } else {
            clip = argv[i];
        }
    }
    if (!clip) {
        std::fprintf(stderr, "usage: win32_smoke CLIP [--expect FRAMES] [--hold SECONDS]\n");
        return 2;
    }

    ostrel::platform::win32::Win32Platform platform;
    os = &platform;
    auto instance = ostrel::platform::win32::fromHinstance(GetModuleHandleA(nullptr));

    WindowClass windowClass;
    windowClass.style = kCsHRedraw | kCsVRedraw;
    windowClass.windowProc = smokeWindowProc;
    windowClass.instance = instance;
    windowClass.icon = windowClass.smallIcon = os->loadIcon(instance, IDI_OSTREL);
    windowClass.cursor = os->loadArrowCursor();
    windowClass.blackBackground = true;
    windowClass.menuResource = IDM_MAIN;
    windowClass.className = " ostrelsmoke";
    check(windowClass.icon != nullptr, "icon 10");
    check(os->registerClass(windowClass) != 0, "window class with menu 104");
    WindowHandle window = os->createWindow(
        kWsExAcceptFiles | kWsExWindowEdge | kWsExClientEdge, " ostrelsmoke", " ostrel smoke",
        kWsPopup | kWsVisible | kWsOverlappedWindow, 200, 200, 462, 386, instance);
    check(window != nullptr, "main window");
    if (!window) return 1;
    os->showWindow(window, kSwShowNormal);
    os->updateWindow(window);
    check(os->findWindow(" ostrelsmoke", " ostrel smoke") == window,
          "window found by class and title");
    pumpMessages();

    Display display;
    Stream media;
    int frames = -1;
    bool quit = false;
    if (makeDisplay(window, display)) {
        checkStatus(clearArea(window, *display.primary), "video area painted black");
        if (openClip(clip, display, media)) frames = playClip(window, display, media, quit);
    }
    char detail[64];
    std::snprintf(detail, sizeof detail, "%d (expected %d)", frames, expect);
    check(expect < 0 ? frames > 0 : frames == expect, "frames", detail);
    std::printf("frames=%d\n", frames);
    Rect area;
    if (screenRectOf(window, area))
        std::printf("video area=%d,%d,%d,%d\n", area.left, area.top, area.right, area.bottom);

    checkVolume();
    checkFilesAndInstance(clip);
    check(os->inetIsOffline() == 0 || os->inetIsOffline() == 1, "offline test answers");
    checkWindowParts(instance, window);

    // The dialogs' closing repainted the window black; put the last frame
    // back, scaled to the whole video area, and once more unscaled in its
    // top-left corner, so that a screenshot can be compared with the clip.
    pumpMessages();
    if (frames > 0) {
        Rect dest;
        screenRectOf(window, dest);
        checkStatus(display.primary->blt(&dest, display.offscreen.get(), &media.sampleRect,
                                         kDdbltWait, nullptr),
                    "last frame blitted again");
        Rect unscaled{dest.left, dest.top, dest.left + media.sampleRect.right,
                      dest.top + media.sampleRect.bottom};
        checkStatus(display.primary->blt(&unscaled, display.offscreen.get(), &media.sampleRect,
                                         kDdbltWait, nullptr),
                    "last frame blitted unscaled");
    }

    if (hold > 0) std::printf("holding %.1f s\n", hold);
    std::fflush(stdout);
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(hold);
    while (!quit && std::chrono::steady_clock::now() < until) {
        quit = !pumpMessages();
        Sleep(20);
    }

    // The player's order of release: stream objects, then the display.
    media = Stream{};
    display.factory.reset();
    display.primary.reset();
    display.offscreen.reset();
    display.clipper.reset();
    display.directDraw.reset();
    os->coUninitialize();
    os->sendMessage(window, kWmDestroy, 0, 0);

    std::printf("%s: %d failed\n", failures ? "FAILED" : "PASSED", failures);
    return failures ? 1 : 0;
}
