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

// What each cause of a failed run is called in the line that reports it.
struct FailureText {
    Failure failure;
    const char* what;
};
constexpr FailureText kFailureTexts[] = {
    {Failure::ConfigUnreadable, "cannot read the configuration"},
    {Failure::ConfigMissingItem, "the configuration names a missing item"},
    {Failure::BadCommandLine, "bad command line"},
    {Failure::MissingItem, "item not found"},
    {Failure::NoWindow, "cannot create the main window"},
    {Failure::NoVideoSurface, "cannot set up the video surfaces"},
    {Failure::NoWaveDevice, "no usable wave output device"},
    {Failure::ItemSetupFailed, "cannot play item"},
    {Failure::BlitFailed, "cannot put a video frame on the screen"},
    {Failure::HandOverRejected, "handed-over command line rejected"},
};

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
    media().coUninitialize();
}

const char* failureText() {
    static char text[kPathSize + 192];
    text[0] = '\0';
    if (state.failure == Failure::None) return text;
    const char* what = "";
    for (const FailureText& entry : kFailureTexts)
        if (entry.failure == state.failure) what = entry.what;
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
