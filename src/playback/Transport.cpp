#include "playback/Transport.h"

#include "playback/VideoSurface.h"
#include "state/PlayerState.h"

namespace ostrel {

using namespace platform;

void suspendPlayback() {
    MultiMediaStream* stream = state.multiMediaStream.get();
    if (!stream) return;
    stream->getTime(state.streamTime);
    stream->setState(StreamState::Stop);
    state.playing = 0;
    state.paused = 1;
}

void resumePlayback() {
    if (MultiMediaStream* stream = state.multiMediaStream.get()) {
        stream->seek(state.streamTime);
        stream->setState(StreamState::Run);
    }
    state.playing = 1;
    state.paused = 0;
}

void clearFrameLimits() {
    state.startFrame = 0;
    state.endFrame = 0;
    state.totalFrames = 0;
    state.frameCount = 0;
}

namespace {

// The sound call, after the test that the file exists: a missing file is
// recorded as the failure and the call still follows, as it always has.
// False when the file was missing; `result` is the sound call's.
bool playFile(const char* path, std::uint32_t flags, std::int32_t& result) {
    bool present = files().fileExists(path);
    if (!present) setFailure(Failure::MissingItem, path);
    result = sound().sndPlaySound(path, flags);
    return present;
}

}  // namespace

std::int32_t playWavFile(const char* path, std::uint32_t flags) {
    std::int32_t result{};
    playFile(path, flags, result);
    return result;
}

bool playSoundItem(const char* path) {
    std::int32_t result{};
    if (!playFile(path, kSndAsync, result)) return false;
    clearVideoArea(state.primarySurface.get());
    state.playing = 0;
    state.haveInput = 0;
    state.audioOnly = 0;
    state.trackPos = 0;
    state.streamDuration = 0;
    return true;
}

}  // namespace ostrel
