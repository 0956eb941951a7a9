// The display objects: made once right after the main window exists, kept
// for the whole run, released only at its end.
#include "playback/VideoSurface.h"

#include "state/PlayerState.h"

namespace ostrel {

using namespace platform;

namespace {

Status surfaceFailed(const char* step) {
    return failStep(Failure::NoVideoSurface, step);
}

}  // namespace

Status createVideoSurface() {
    // The one start of the component library; quitPlayer shuts it down.
    // A library already started on this thread is as good as a new one.
    media().coInitialize();

    if (failed(media().createDirectDrawFactory(state.directDrawFactory)))
        return surfaceFailed("no DirectDraw factory");
    if (failed(state.directDrawFactory->createDirectDraw(windows().getDesktopWindow(),
                                                         platform::kDdsclNormal, state.directDraw)))
        return surfaceFailed("no DirectDraw object");

    // The player always draws into its window; a full-screen request has
    // done its work in the window style.
    state.fullScreen = 0;

    SurfaceDesc primary;
    primary.flags = platform::kDdsdCaps;
    primary.caps = platform::kDdsCapsPrimarySurface;
    if (failed(state.directDraw->createSurface(primary, state.primarySurface)))
        return surfaceFailed("no primary surface");
    if (failed(state.primarySurface->getSurfaceDesc(primary)))
        return surfaceFailed("no description of the primary surface");

    // As large as the whole display and of its pixel format, whatever the
    // size of the videos: each item uses its top-left rectangle.
    SurfaceDesc offscreen;
    offscreen.flags = platform::kDdsdCaps | platform::kDdsdHeight | platform::kDdsdWidth |
                      platform::kDdsdPixelFormat;
    offscreen.height = primary.height;
    offscreen.width = primary.width;
    offscreen.pixelFormat = primary.pixelFormat;
    offscreen.caps = platform::kDdsCapsOffscreenPlain;
    if (failed(state.directDraw->createSurface(offscreen, state.offscreenSurface)))
        return surfaceFailed("no off-screen surface");

    if (failed(state.directDraw->createClipper(0, state.clipper)))
        return surfaceFailed("no clipper");
    if (failed(state.primarySurface->setClipper(state.clipper.get())))
        return surfaceFailed("the clipper cannot be attached");
    if (failed(state.clipper->setHWnd(0, state.mainWindow)))
        return surfaceFailed("the clipper cannot be bound to the window");
    return kOk;
}

Rect videoArea() {
    Rect client;
    windows().getClientRect(state.mainWindow, client);
    Point topLeft{client.left, client.top};
    windows().clientToScreen(state.mainWindow, topLeft);
    Point bottomRight{client.right, client.bottom};
    windows().clientToScreen(state.mainWindow, bottomRight);
    return Rect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

Status clearVideoArea(DirectDrawSurface* surface) {
    // After the end of the run there is nothing left to paint on.
    if (surface == nullptr) return kFail;
    Rect area = videoArea();
    BltFx fill;
    fill.size = 100;
    fill.fillColor = 0;
    for (;;) {
        Status result = surface->blt(&area, nullptr, &area, platform::kDdbltColorFill, &fill);
        // A busy display is waited out by asking again at once; a lost
        // surface stays lost and is reported as it is.
        if (result != platform::kStillDrawing) return result;
    }
}

void releaseVideoSurface() {
    state.directDrawFactory.reset();
    state.primarySurface.reset();
    state.offscreenSurface.reset();
    state.clipper.reset();
    state.directDraw.reset();
}

}  // namespace ostrel
