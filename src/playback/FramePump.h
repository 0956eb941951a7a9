// One step of playback: the next frame onto the screen, or the end of the
// item and the move to the next one.
#pragma once

#include "platform/Platform.h"

namespace ostrel {

// kOk, or kFail when the frame could not be put on the screen (the run ends).
platform::Status pumpFrame();

}  // namespace ostrel
