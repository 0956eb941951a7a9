#include "ui/MainWindow.h"

#include <cstring>
#include <iterator>
#include <string>

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "app/Text.h"
#include "config/CommandLine.h"
#include "config/Configuration.h"
#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"
#include "ui/Commands.h"

namespace ostrel {

using namespace platform;

namespace {

// The tool bar: a separator, the nine commands in menu order, a separator.
// For a separator the image field is its width (0: the default width).
constexpr ToolButton kToolButtons[] = {
    {0, 0, kTbStateEnabled, kTbStyleSep},
    {0, kCmdOpen, kTbStateEnabled, kTbStyleButton},
    {1, kCmdStart, kTbStateEnabled, kTbStyleButton},
    {2, kCmdPause, kTbStateEnabled, kTbStyleButton},
    {3, kCmdStop, kTbStateEnabled, kTbStyleButton},
    {4, kCmdStream, kTbStateEnabled, kTbStyleButton},
    {5, kCmdSave, kTbStateEnabled, kTbStyleButton},
    {6, kCmdAbout, kTbStateEnabled, kTbStyleButton},
    {7, kCmdSite, kTbStateEnabled, kTbStyleButton},
    {8, kCmdExit, kTbStateEnabled, kTbStyleButton},
    {9, 0, kTbStateEnabled, kTbStyleSep},
};

constexpr int kToolBarId = 5;
constexpr int kToolBarImages = 9;
constexpr int kToolBarBitmap = 105;
constexpr int kGlyphSize = 16;
constexpr std::uint32_t kDropBufferSize = 256;

void onDestroy() {
    char path[260];
    configFilePath(path);
    writeConfiguration(path);
    shutdownPlayback();
}

void onActivate(WParam wParam) {
    if (low16(wParam) == kWaInactive) {
        state.playing = 0;
        return;
    }
    // The pump needs a stream to pull frames from; after an Open that was
    // cancelled there is input but no stream until the next Start.
    state.playing = (state.haveInput != 0 && state.multiMediaStream) ? 1 : 0;
}

void onActivateApp(WParam wParam) {
    if (wParam == 0 && state.paused == 0 && state.haveInput != 0) suspendPlayback();
}

// The sender's text is read only within the size it gave: a text without
// its terminating zero is cut at the end of the record.
void onCopyData(LParam lParam) {
    const auto* record = reinterpret_cast<const CopyData*>(lParam);
    std::string text;
    if (record && record->data && record->size > 0) {
        const auto* bytes = static_cast<const char*>(record->data);
        const void* zero = std::memchr(bytes, '\0', record->size);
        std::size_t length =
            zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : record->size;
        text.assign(bytes, length);
    }
    acceptHandOver(text.c_str());
}

void onDropFiles(WParam wParam) {
    auto drop = reinterpret_cast<DropHandle>(wParam);
    char path[kDropBufferSize] = {};
    windows().dragQueryFile(drop, 0, path, kDropBufferSize);
    path[kDropBufferSize - 1] = '\0';
    acceptHandOver(path);
    windows().dragFinish(drop);
}

}  // namespace

LResult mainWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
        case kWmDestroy:
            onDestroy();
            return 0;
        case kWmSize:
            // Only the size message of the window's creation finds a tool bar
            // mode; start-up switches to the text menu right after.
            if (state.menuBarMode != kMenuText) createToolBar(window);
            return 0;
        case kWmActivate:
            onActivate(wParam);
            return 0;
        case kWmActivateApp:
            onActivateApp(wParam);
            return 0;
        case kWmCopyData:
            onCopyData(lParam);
            return 0;
        case kWmKeyDown:
            // Escape closes the window, which ends the player; other keys do nothing.
            if (wParam == kVkEscape) windows().postMessage(window, kWmClose, 0, 0);
            return 0;
        case kWmCommand:
            runCommand(window, wParam);
            return 0;
        case kWmLButtonDown:
            return 0;
        case kWmDropFiles:
            onDropFiles(wParam);
            return 0;
        default:
            return windows().defWindowProc(window, message, wParam, lParam);
    }
}

void createToolBar(WindowHandle parent) {
    ToolBarParams params;
    params.parent = parent;
    params.style = kWsChild | kWsVisible;
    params.id = kToolBarId;
    params.imageCount = kToolBarImages;
    params.instance = state.instance;
    params.bitmapResource = kToolBarBitmap;
    params.buttons = kToolButtons;
    params.buttonCount = static_cast<int>(std::size(kToolButtons));
    params.buttonWidth = kGlyphSize;
    params.buttonHeight = kGlyphSize;
    params.imageWidth = kGlyphSize;
    params.imageHeight = kGlyphSize;
    state.toolBar = windows().createToolBar(params);
}

void suspendPlayback() {
    MultiMediaStream* stream = state.multiMediaStream.get();
    if (!stream) return;
    stream->getTime(state.streamTime);
    stream->setState(StreamState::Stop);
    state.playing = 0;
    state.paused = 1;
}

void resumePlayback() {
    if (MultiMediaStream* stream = state.multiMediaStream.get()) {
        stream->seek(state.streamTime);
        stream->setState(StreamState::Run);
    }
    state.playing = 1;
    state.paused = 0;
}

void clearFrameLimits() {
    state.startFrame = 0;
    state.endFrame = 0;
    state.totalFrames = 0;
    state.frameCount = 0;
}

void configFilePath(char (&buffer)[260]) {
    copyText(buffer, state.exeDir);
    appendText(buffer, kConfigFileName);
}

std::int32_t playWavFile(const char* path, std::uint32_t flags) {
    if (!files().fileExists(path)) {
        setFailure(Failure::MissingItem, path);
        quitPlayer();
    }
    return sound().sndPlaySound(path, flags);
}

void acceptHandOver(const char* text) {
    // A rejected text has already said why (a missing path, a bad number).
    if (!parseCommandLine(text)) {
        quitPlayer();
        return;
    }
    if (state.audioOnly) {
        // The sound plays on its own; the video that was playing stands
        // where it is, behind a black area.
        playWavFile(state.playlist[state.currentItem], kSndAsync);
        clearVideoArea(state.primarySurface.get());
        state.playing = 0;
        state.haveInput = 0;
        state.audioOnly = 0;
        state.trackPos = 0;
        state.streamDuration = 0;
        return;
    }
    setupCurrentItem();
}

}  // namespace ostrel
