// The handlers of the nine commands, in the order of their table, and the
// dispatch the table drives.
#include "ui/Commands.h"

#include <cstring>

#include "config/Configuration.h"
#include "playback/MediaStream.h"
#include "playback/Transport.h"
#include "playback/VideoSurface.h"
#include "state/PlayerState.h"
#include "state/Text.h"
#include "ui/CommandTable.h"
#include "ui/Dialogs.h"

namespace ostrel {

using namespace platform;

namespace {

// The media filter first (selected), then every file.
constexpr char kOpenFilter[] =
    "Media files (*.avi;*.mpg;*.dat;*.wav)\0*.avi;*.mpg;*.dat;*.wav\0All Files (*.*)\0*.*\0";
constexpr std::uint32_t kOpenFlags =
    kOfnPathMustExist | kOfnFileMustExist | kOfnHideReadOnly | kOfnNoChangeDir;
constexpr StreamTime kPositionScale = 10000;

MultiMediaStream* stream() {
    return state.multiMediaStream.get();
}

void stopStream() {
    if (MultiMediaStream* s = stream()) s->setState(StreamState::Stop);
}

void seekStream(StreamTime time) {
    if (MultiMediaStream* s = stream()) s->seek(time);
}

void openCommand(WindowHandle) {
    if (state.playing != 0 && state.haveInput != 0) {
        stopStream();
        state.streamTime = 0;
        seekStream(0);
        state.trackPos = 0;
        state.playing = 0;
        releaseMediaStream();
    }
    // The dialog writes into a buffer of its own, so that a cancelled choice
    // leaves the first item as it was.
    char chosen[260];
    if (!chooseMediaFile(chosen)) {
        state.playing = 0;
        clearVideoArea(state.primarySurface.get());
        return;
    }
    char* slot = state.playlist[0];
    copyText(state.playlist[0], chosen);
    state.currentItem = 0;
    state.itemCount = 0;
    if (isWavPath(slot)) {
        // A sound plays beside the video; the frame limits go.
        if (playSoundItem(slot))
            clearFrameLimits();
        else
            requestEnd();
        return;
    }
    // The chosen file becomes the only item; a video runs at once, without
    // the frame limits of the command line being applied or cleared.
    if (!setupCurrentItem(false)) requestEnd();
}

void startCommand(WindowHandle) {
    if (state.playing != 0 && state.haveInput != 0) return;
    if (state.paused != 0) {
        resumePlayback();
        clearFrameLimits();
    } else if (state.haveInput == 0) {
        clearFrameLimits();
    } else if (setupCurrentItem()) {
        clearFrameLimits();
    } else {
        requestEnd();
    }
}

void pauseCommand(WindowHandle) {
    if (state.paused == 0 && state.haveInput != 0) suspendPlayback();
}

void stopCommand(WindowHandle) {
    sound().sndPlaySound(nullptr, 0);
    if (state.haveInput != 0) {
        state.currentItem = 0;
        state.itemCount = 0;
        state.streamTime = 0;
        seekStream(0);
        stopStream();
        state.trackPos = 0;
    }
    state.playing = 0;
    clearFrameLimits();
}

void streamCommand(WindowHandle window) {
    if (state.paused == 0) {
        if (state.haveInput == 0) return;
        if (MultiMediaStream* s = stream()) s->getTime(state.streamTime);
        stopStream();
        // The position bar takes the low half of the conversion, as it comes.
        state.trackPos = static_cast<std::int32_t>(static_cast<std::uint32_t>(
            mulDiv64(state.streamTime, kPositionScale, state.streamDuration)));
        state.playing = 0;
        state.paused = 1;
    }
    windows().dialogBox(state.instance, "SET_DLG", window, settingsDialogProc);
    // A hand-over rejected while the dialog was open has ended the run.
    if (state.endRequested) return;
    // Item number 0 names no item (the list may be empty after an Open);
    // it changes nothing.
    bool otherItem = state.selectedItem != state.currentItem + 1 && state.selectedItem >= 1 &&
                     state.selectedItem <= kPlaylistSlots;
    bool running = true;
    if (otherItem) {
        state.currentItem = state.selectedItem - 1;
        state.selectedItem = 0;
        running = setupCurrentItem();
    } else if (state.trackPos == 0 || !stream()) {
        // Without a stream (released by an Open that was cancelled) there is
        // nothing to seek in: the item starts again.
        running = setupCurrentItem();
    } else {
        state.streamTime = mulDiv64(state.trackPos, state.streamDuration, kPositionScale);
        stream()->seek(state.streamTime);
        stream()->setState(StreamState::Run);
    }
    if (!running) {
        requestEnd();
        return;
    }
    state.playing = 1;
    state.paused = 0;
    clearFrameLimits();
}

void saveCommand(WindowHandle) {
    char path[kPathSize];
    configFilePath(path);
    writeConfiguration(path);
}

void aboutCommand(WindowHandle window) {
    if (state.paused == 0 && state.haveInput != 0) suspendPlayback();
    windows().dialogBox(state.instance, "ABOUT_DLG", window, aboutDialogProc);
    // A hand-over rejected while the dialog was open has ended the run.
    if (state.endRequested) return;
    if (state.paused != 0)
        resumePlayback();
    else
        clearVideoArea(state.primarySurface.get());
}

void siteCommand(WindowHandle) {
    if (files().inetIsOffline() != 0) return;
    if (std::strcmp(state.authorSite, "none") == 0) return;
    WindowHandle owner = windows().getParent(state.mainWindow);
    if (!owner) owner = state.mainWindow;
    // An address that does not fit behind the prefix is not opened cut short.
    char url[sizeof state.urlBuffer];
    copyText(url, "http://");
    if (!appendText(url, state.authorSite)) return;
    copyText(state.urlBuffer, url);
    files().openUrl(owner, state.urlBuffer);
}

void exitCommand(WindowHandle) {
    windows().sendMessage(state.mainWindow, kWmDestroy, 0, 0);
}

}  // namespace

std::int32_t chooseMediaFile(char (&buffer)[260]) {
    buffer[0] = '\0';
    OpenFileRequest request;
    request.owner = state.mainWindow;
    request.filter = kOpenFilter;
    request.filterIndex = 1;
    request.file = buffer;
    request.maxFile = sizeof buffer;
    request.flags = kOpenFlags;
    std::int32_t chosen = windows().getOpenFileName(request);
    buffer[sizeof buffer - 1] = '\0';
    return chosen;
}

void runCommand(WindowHandle window, WParam id) {
    // The whole word is compared: a notification in the high half is no command.
#define OSTREL_RUN_COMMAND(commandId, handler, menuText, image, altLetter) \
    if (id == commandId) return handler(window);
    OSTREL_COMMANDS(OSTREL_RUN_COMMAND)
#undef OSTREL_RUN_COMMAND
}

}  // namespace ostrel
