// The display objects every frame passes through: the DirectDraw object of
// the desktop, the primary surface, the off-screen frame buffer and the
// clipper bound to the main window.
#pragma once

#include "platform/Platform.h"

namespace ostrel {

// Makes the display objects (and starts the component library). kOk, or
// kFail at the first failing step, leaving what was made for the end of the
// run to release.
platform::Status createVideoSurface();

// Paints the main window's video area black on `surface`. Returns the last
// blit's result (kFail without painting when there is no surface).
platform::Status clearVideoArea(platform::DirectDrawSurface* surface);

// The main window's whole client area in screen coordinates: where frames
// and the black fill go.
platform::Rect videoArea();

// Releases the display objects: factory, primary, off-screen, clipper,
// DirectDraw object last.
void releaseVideoSurface();

}  // namespace ostrel
