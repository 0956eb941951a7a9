// One step of playback, run from the main loop's idle turn: the next frame
// onto the screen, or the end of the item and the move to the next entry.
// There is no timer: the pace is that of the synchronous sample update.
#include "playback/FramePump.h"

#include <cstdio>

#include "app/PlayerState.h"
#include "playback/MediaStream.h"

namespace ostrel {

namespace {

using platform::kFail;
using platform::kOk;
using platform::Point;
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
    // A next item that cannot be set up has already ended the run.
    setupCurrentItem();
    hidePointer();
    return kOk;
}

// Where the frame goes: the window's whole client area in screen
// coordinates, taken afresh for every frame so a moved or resized window
// gets the very next one.
void computeDestRect() {
    windows().getClientRect(state.mainWindow, state.destRect);
    Point topLeft{state.destRect.left, state.destRect.top};
    windows().clientToScreen(state.mainWindow, topLeft);
    Point bottomRight{state.destRect.right, state.destRect.bottom};
    windows().clientToScreen(state.mainWindow, bottomRight);
    state.destRect = platform::Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
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

    computeDestRect();
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
