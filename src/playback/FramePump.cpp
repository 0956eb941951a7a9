// One step of playback, run from the main loop's idle turn: the next frame
// onto the screen, or the end of the item and the move to the next entry.
// There is no timer: the pace is that of the synchronous sample update.
#include "playback/FramePump.h"

#include <cstdio>

#include "playback/MediaStream.h"
#include "playback/VideoSurface.h"
#include "state/PlayerState.h"

namespace ostrel {

namespace {

using platform::kFail;
using platform::kOk;
using platform::Status;
using platform::StreamState;

void hidePointer() {
    windows().setCursor(nullptr);
}

void stopStream() {
    state.playing = 0;
    if (state.multiMediaStream) state.multiMediaStream->setState(StreamState::Stop);
}

// The item is over (its last frame, or a sample that cannot be updated):
// stop it and go on to the next entry, or stand at the first one when the
// list is done.
Status advanceItem() {
    stopStream();
    int next = state.currentItem + 1;
    if (next >= kPlaylistSlots) {
        // The last slot of a full list: stay on it.
        hidePointer();
        return kOk;
    }
    state.currentItem = next;
    if (next >= state.itemCount) {
        state.currentItem = 0;
        state.selectedItem = 0;
        state.trackPos = 0;
        state.haveInput = 1;
        hidePointer();
        return kOk;
    }
    // A next item that cannot be set up ends the run.
    if (!setupCurrentItem()) requestEnd();
    hidePointer();
    return kOk;
}

}  // namespace

Status pumpFrame() {
    // The limit is tested before the update, so endFrame + 1 frames are
    // shown before the stop.
    if (state.endFrame != 0 && state.frameCount > state.endFrame) {
        stopStream();
        return kOk;
    }

    Status updated = state.streamSample ? state.streamSample->update(0) : kFail;
    // Anything but a new frame ends the item: the end of the file, other
    // success values and every error alike.
    if (updated != kOk) return advanceItem();

    // The frame goes to the window's whole client area, taken afresh for
    // every frame so a moved or resized window gets the very next one.
    state.destRect = videoArea();
    Status blitted = state.primarySurface ? state.primarySurface->blt(
                                                &state.destRect, state.offscreenSurface.get(),
                                                &state.sampleRect, platform::kDdbltWait, nullptr)
                                          : kFail;
    if (platform::failed(blitted)) {
        // A lost screen is not restored: the run ends here.
        char detail[32];
        std::snprintf(detail, sizeof detail, "status 0x%08X", static_cast<unsigned>(blitted));
        setFailure(Failure::BlitFailed, detail);
        return kFail;
    }
    ++state.frameCount;
    hidePointer();
    return kOk;
}

}  // namespace ostrel
