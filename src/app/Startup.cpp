// The process entry's work: one player per user, the settings, then either a
// lone sound played without a window, or the window, the display objects,
// the first item and the main loop.
#include "app/Startup.h"

#include <cstdio>
#include <cstring>

#include "config/CommandLine.h"
#include "config/Configuration.h"
#include "playback/MediaStream.h"
#include "playback/Transport.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"
#include "resource_ids.h"
#include "state/PlayerState.h"
#include "state/Text.h"
#include "ui/MainWindow.h"

namespace ostrel {

namespace {

using namespace platform;

constexpr const char* kMutexName = "OSTREL";
// The exit status of a run that failed; the failure record says why.
constexpr int kRunFailed = 1;

// A second start: bring the running player to the front and hand it the
// command line, text and terminator. Without its window (it is still
// starting, or plays a lone sound) there is no one to tell.
void handOver(MutexHandle mutex, const char* commandLine) {
    if (mutex) files().closeHandle(mutex);
    WindowHandle running = windows().findWindow(kWindowClassName, kWindowTitle);
    if (!running) return;
    windows().setForegroundWindow(running);
    if (commandLine[0] == '\0') return;
    CopyData data;
    data.tag = 0;
    data.size = static_cast<std::uint32_t>(std::strlen(commandLine) + 1);
    data.data = commandLine;
    windows().sendCopyData(running, data);
}

// exeDir is the executable's folder with its separator. A path that does
// not fit its field is refused rather than cut: a cut path would name
// another folder and another configuration file.
bool findExeDir(char (&configPath)[kPathSize]) {
    char modulePath[kPathSize] = {};
    std::uint32_t length = files().getModuleFileName(modulePath, kPathSize);
    if (length >= kPathSize) {
        setFailure(Failure::ConfigUnreadable, "the player's own path is too long");
        return false;
    }
    std::size_t folderLength = 0;
    for (std::size_t i = 0; i < length && modulePath[i] != '\0'; ++i)
        if (modulePath[i] == '\\' || modulePath[i] == '/') folderLength = i + 1;
    modulePath[folderLength] = '\0';
    copyText(state.exeDir, modulePath);
    bool fits = copyText(configPath, state.exeDir) && appendText(configPath, kConfigFileName);
    if (!fits) {
        setFailure(Failure::ConfigUnreadable, "the player's own path is too long");
        return false;
    }
    return true;
}

// A failure once the display objects exist: the run ends as every run
// that was asked to end does.
int endRun() {
    requestEnd();
    quitPlayer();
    return kRunFailed;
}

// A lone sound, played to its end without any window; a sound that does
// not play (a broken file) fails the run, and nothing is saved.
int playLoneSound(const char* path, const char* configPath) {
    if (playWavFile(path, kSndSync) == 0) setFailure(Failure::ItemSetupFailed, path);
    if (state.failure == Failure::None) writeConfiguration(configPath);
    return exitCodeFor(0);
}

void setDefaultTexts() {
    copyText(state.authorId, "none");
    copyText(state.discTitle, "none");
    copyText(state.authorSite, kMakerSite);
    copyText(state.authorNet, kMakerHost);
    char version[16];
    std::snprintf(version, sizeof version, "%.2f", kVersion);
    copyText(state.versionText, version);
}

}  // namespace

int runPlayer(InstanceHandle instance, const char* commandLine) {
    if (commandLine == nullptr) commandLine = "";

    state.instance = instance;
    WindowClass windowClass;
    windowClass.style = kCsHRedraw | kCsVRedraw;
    windowClass.windowProc = mainWindowProc;
    windowClass.instance = instance;
    windowClass.icon = windows().loadIcon(instance, IDI_OSTREL);
    windowClass.smallIcon = windows().loadIcon(instance, IDI_OSTREL);
    state.arrowCursor = windows().loadArrowCursor();
    windowClass.cursor = state.arrowCursor;
    windowClass.blackBackground = true;
    windowClass.className = kWindowClassName;

    // The first player keeps the mutex for as long as its process lives.
    bool alreadyRunning = false;
    MutexHandle mutex = files().createMutex(kMutexName, alreadyRunning);
    if (alreadyRunning) {
        handOver(mutex, commandLine);
        return 0;
    }

    char configPath[kPathSize] = {};
    if (!findExeDir(configPath)) return kRunFailed;
    setDefaultTexts();

    if (files().fileExists(configPath) && readConfiguration(configPath) == 0) {
        setFailure(Failure::ConfigUnreadable, configPath);
        return kRunFailed;
    }

    windowClass.menuResource = IDM_MAIN;
    windows().registerClass(windowClass);

    if (parseCommandLine(commandLine) == 0) {
        setFailure(Failure::BadCommandLine, commandLine);
        state.commandLineRejected = true;
        return kRunFailed;
    }

    if (state.audioOnly) return playLoneSound(state.playlist[state.currentItem], configPath);

    // Only a window without a menu bar may go without its frame.
    bool borderless = state.menuBarMode == kMenuNone && state.fullScreen != 0;
    std::uint32_t exStyle =
        borderless ? kWsExAcceptFiles : kWsExAcceptFiles | kWsExWindowEdge | kWsExClientEdge;
    std::uint32_t style =
        borderless ? kWsPopup | kWsVisible : kWsPopup | kWsVisible | kWsOverlappedWindow;
    // The window is shown and sized while it is made; that size message
    // makes the tool bar while menuBarMode still holds the configured mode.
    state.mainWindow =
        windows().createWindow(exStyle, kWindowClassName, kWindowTitle, style, state.windowX,
                               state.windowY, state.windowWidth, state.windowHeight, instance);
    if (!state.mainWindow) {
        setFailure(Failure::NoWindow, "");
        return kRunFailed;
    }

    if (failed(createVideoSurface())) return endRun();

    // From here on the menu bar reads as text for the rest of the run.
    state.menuBarMode = kMenuText;
    windows().showWindow(state.mainWindow, kSwShowNormal);
    windows().updateWindow(state.mainWindow);

    // Without a volume to give back the run cannot end in order; the process
    // end reclaims what was made.
    if (!probeVolume()) return kRunFailed;
    if (state.haveInput && setupCurrentItem() == 0) return endRun();
    clearVideoArea(state.primarySurface.get());

    // The loop returns at the quit message. A run asked to end is ended
    // here, once; a run whose frame could not be shown is left to the
    // process end, as is one told to quit from outside.
    int loopResult = runMainLoop();
    if (state.endRequested) quitPlayer();
    return exitCodeFor(loopResult);
}

}  // namespace ostrel
