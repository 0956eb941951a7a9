// The end of every orderly run, and how a run that failed reports itself.
#include <cstdint>

#include "app/Startup.h"
#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"
#include "playback/Volume.h"
#include "state/PlayerState.h"
#include "state/Text.h"

namespace ostrel {

namespace {

constexpr const char* kUsage = "usage: ostrel [-fs] [-s FRAME] [-e FRAME] [-t FRAMES] [media file]";

}  // namespace

// Every platform object still held is released before the component
// library goes down: nothing may touch one after it. The volume comes back
// whatever the playback did to it. The quit message was posted when the end
// was asked for.
void quitPlayer() {
    releaseMediaStream();
    releaseVideoSurface();
    restoreVolume();
    os().coUninitialize();
}

const char* failureText() {
    static char text[kPathSize + 192];
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
    if (state.commandLineRejected) {
        appendText(text, "; ");
        appendText(text, kUsage);
    }
    return text;
}

}  // namespace ostrel
