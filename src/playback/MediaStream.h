// The stream of the current item: opening it on the shared display objects,
// binding a sample to the off-screen surface, starting it, and its release.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

// The one way an item starts: the playlist entry at currentItem replaces
// the stream, seeks to the start frame when one is given (unless
// `seekToStartFrame` is false, as for a file chosen with Open) and runs.
// 1 when it runs; 0 when it failed, the failure recorded for the caller,
// whose answer is to end the run.
int setupCurrentItem(bool seekToStartFrame = true);

platform::Status openMediaFile(const char* path);
platform::Status createStreamSample();

// Releases the current item's stream objects.
void releaseMediaStream();

// x * y / z with a 128-bit product, truncated toward zero, saturating.
std::int64_t mulDiv64(std::int64_t x, std::int64_t y, std::int64_t z);

}  // namespace ostrel
