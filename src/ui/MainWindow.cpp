// The main window's procedure: the end of the run, activation, hand-overs
// from a second start or a drop, keys and commands; and the tool bar.
#include "ui/MainWindow.h"

#include <array>
#include <cstring>
#include <iterator>
#include <string>

#include "config/CommandLine.h"
#include "config/Configuration.h"
#include "playback/MediaStream.h"
#include "playback/Transport.h"
#include "state/PlayerState.h"
#include "ui/CommandTable.h"
#include "ui/Commands.h"

namespace ostrel {

using namespace platform;

namespace {

// The tool bar: a separator, the nine commands in menu order, a separator.
// For a separator the image field is its width (0: the default width).
constexpr auto kToolButtons = [] {
    std::array<ToolButton, std::size(kCommandFaces) + 2> buttons{};
    buttons.front() = {0, 0, kTbStateEnabled, kTbStyleSep};
    for (std::size_t i = 0; i < std::size(kCommandFaces); ++i)
        buttons[i + 1] = {kCommandFaces[i].toolBarImage, kCommandFaces[i].id, kTbStateEnabled,
                          kTbStyleButton};
    buttons.back() = {9, 0, kTbStateEnabled, kTbStyleSep};
    return buttons;
}();

constexpr int kToolBarId = 5;
constexpr int kToolBarImages = static_cast<int>(std::size(kCommandFaces));
constexpr int kGlyphSize = 16;
constexpr std::uint32_t kDropBufferSize = 256;

// Every way out the user takes ends here: Exit sends this message, and
// Escape, the close box and Alt+F4 reach it through the window's closing.
void onDestroy() {
    char path[kPathSize];
    configFilePath(path);
    writeConfiguration(path);
    requestEnd();
}

// A command line handed over by a second start or a dropped file: parse it,
// then play what it names (a WAV as a sound beside the video, anything else
// as the item). A text that names nothing, or an item that cannot play,
// ends the run.
void acceptHandOver(const char* text) {
    bool playing = false;
    if (parseCommandLine(text))
        playing = state.audioOnly ? playSoundItem(state.playlist[state.currentItem])
                                  : setupCurrentItem() != 0;
    if (!playing) requestEnd();
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
    params.bitmapResource = IDB_TOOLBAR;
    params.buttons = kToolButtons.data();
    params.buttonCount = static_cast<int>(std::size(kToolButtons));
    params.buttonWidth = kGlyphSize;
    params.buttonHeight = kGlyphSize;
    params.imageWidth = kGlyphSize;
    params.imageHeight = kGlyphSize;
    state.toolBar = windows().createToolBar(params);
}

}  // namespace ostrel
