// The end of every orderly run, and how a run that failed reports itself.
#include <cstdint>

#include "app/PlayerState.h"
#include "app/Startup.h"
#include "app/Text.h"
#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"

namespace ostrel {

// Restores the volume found at start, posts the quit message and shuts the
// component library down. Several ends can meet in one run (a missing item
// quits inside openMediaFile, and the caller's shutdownPlayback quits
// again), so the steps run once. Whatever platform objects are still held
// are released before the library goes down: nothing may touch them after.
void quitPlayer() {
    if (state.quitDone) return;
    state.quitDone = true;
    restoreVolume();
    windows().postQuitMessage(exitCodeFor(0));
    releaseMediaStream();
    releaseVideoSurface();
    media().coUninitialize();
}

int exitCodeFor(int loopResult) {
    return state.failure != Failure::None ? 1 : loopResult;
}

const char* failureText() {
    static char text[kPathSize + 128];
    const char* what = "";
    switch (state.failure) {
        case Failure::None:
            text[0] = '\0';
            return text;
        case Failure::ConfigUnreadable:
            what = "cannot read the configuration";
            break;
        case Failure::ConfigMissingItem:
            what = "the configuration names a missing item";
            break;
        case Failure::BadCommandLine:
            what = "bad command line";
            break;
        case Failure::MissingItem:
            what = "item not found";
            break;
        case Failure::NoWindow:
            what = "cannot create the main window";
            break;
        case Failure::NoVideoSurface:
            what = "cannot set up the video surfaces";
            break;
        case Failure::NoWaveDevice:
            what = "no usable wave output device";
            break;
        case Failure::ItemSetupFailed:
            what = "cannot play item";
            break;
        case Failure::BlitFailed:
            what = "cannot put a video frame on the screen";
            break;
        case Failure::HandOverRejected:
            what = "handed-over command line rejected";
            break;
    }
    copyText(text, "ostrel: ");
    appendText(text, what);
    if (state.failureDetail[0] != '\0') {
        appendText(text, ": ");
        appendText(text, state.failureDetail);
    }
    return text;
}

}  // namespace ostrel
