// The steps of playback that the commands, the window and start-up share:
// hold and resume the stream, drop the frame limits, play a sound.
#pragma once

#include <cstdint>

namespace ostrel {

// Stops the stream and keeps its time in streamTime (playing 0, paused 1).
// Without a stream object there is nothing to hold, and nothing changes.
void suspendPlayback();

// Seeks to streamTime and runs the stream (playing 1, paused 0).
void resumePlayback();

void clearFrameLimits();

// Plays a WAV file and returns the sound call's result (0 when it did not
// play). A missing file is recorded as the failure; the sound call still
// follows, as it always has.
std::int32_t playWavFile(const char* path, std::uint32_t flags);

// A WAV item played beside the video: the sound runs on its own, the video
// area goes black and the stream that was playing, if any, stands where it
// is. False when the file is missing (the failure is recorded, nothing
// else is done).
bool playSoundItem(const char* path);

}  // namespace ostrel
