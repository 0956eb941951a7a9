// The stream of the current item: opening it on the shared display objects,
// binding a sample to the off-screen surface, starting it, and the releases
// and shutdown every end of the run goes through.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace ostrel {

// 1 when the playlist entry at currentItem runs; 0 when it failed, in which
// case the run is already being ended through shutdownPlayback.
int setupCurrentItem();

platform::Status openMediaFile(const char* path);
platform::Status createStreamSample();

// Releases the current item's stream objects.
void releaseMediaStream();

// Releases everything and ends the run (quitPlayer).
void shutdownPlayback();

// x * y / z with a 128-bit product, truncated toward zero, saturating.
std::int64_t mulDiv64(std::int64_t x, std::int64_t y, std::int64_t z);

}  // namespace ostrel
