// The current item's stream: opened on the shared DirectDraw object, its
// video bound through a sample to the off-screen surface, its audio on the
// default output; and the releases every end of the run goes through.
#include "playback/MediaStream.h"

#include <cstdint>
#include <memory>

#include "state/PlayerState.h"

namespace ostrel {

using namespace platform;

namespace {

Status itemFailed(const char* path) {
    return failStep(Failure::ItemSetupFailed, path);
}

const char* currentPath() {
    if (state.currentItem < 0 || state.currentItem >= kPlaylistSlots) return "";
    return state.playlist[state.currentItem];
}

int setupFailed() {
    setFailure(Failure::ItemSetupFailed, currentPath());
    return 0;
}

}  // namespace

Status openMediaFile(const char* path) {
    if (!files().fileExists(path)) {
        setFailure(Failure::MissingItem, path);
        return kFail;
    }

    // Until the file is open the stream is only this call's; on any failure
    // it is released here.
    std::unique_ptr<platform::MultiMediaStream> stream;
    if (failed(media().createMultiMediaStream(stream))) return itemFailed(path);
    if (failed(stream->initialize(platform::kStreamTypeRead, 0))) return itemFailed(path);
    if (failed(stream->addMediaStream(state.directDraw.get(), MediaPurpose::PrimaryVideo, 0)))
        return itemFailed(path);
    if (failed(stream->addMediaStream(nullptr, MediaPurpose::PrimaryAudio,
                                      platform::kAddDefaultRenderer)))
        return itemFailed(path);
    if (failed(stream->openFile(path, 0))) {
        // The one message the player ever shows: the file exists but
        // nothing on this machine can decode it.
        windows().messageBox(nullptr, "Codec is not available ...", "Codec problem",
                             platform::kMbOkIconExclamation);
        return itemFailed(path);
    }
    state.multiMediaStream = std::move(stream);
    return kOk;
}

Status createStreamSample() {
    if (!state.multiMediaStream || !state.offscreenSurface) return itemFailed(currentPath());
    if (failed(
            state.multiMediaStream->getMediaStream(MediaPurpose::PrimaryVideo, state.videoStream)))
        return itemFailed(currentPath());
    if (failed(state.videoStream->queryDirectDrawMediaStream(state.ddStream)))
        return itemFailed(currentPath());
    platform::SurfaceDesc format;
    format.size = 108;
    if (failed(state.ddStream->getFormat(format))) return itemFailed(currentPath());
    // Frames land in the top-left corner of the off-screen surface, at the
    // video's own size; the blit scales them to the window.
    state.sampleRect = platform::Rect{0, 0, static_cast<std::int32_t>(format.width),
                                      static_cast<std::int32_t>(format.height)};
    if (failed(state.ddStream->createSample(state.offscreenSurface.get(), state.sampleRect, 0,
                                            state.streamSample)))
        return itemFailed(currentPath());
    return kOk;
}

int setupCurrentItem(bool seekToStartFrame) {
    releaseMediaStream();
    if (state.currentItem < 0 || state.currentItem >= kPlaylistSlots) return setupFailed();
    if (failed(openMediaFile(state.playlist[state.currentItem]))) return setupFailed();
    if (failed(createStreamSample())) return setupFailed();

    state.haveInput = 1;
    state.playing = 1;
    state.paused = 0;
    state.trackPos = 0;
    // frameCount runs on: an end-frame limit counts over every item played.

    if (failed(state.multiMediaStream->getDuration(state.streamDuration))) return setupFailed();
    if (seekToStartFrame && state.startFrame != 0) {
        // Every item set up while a start frame is given starts there; if
        // the seek fails the item plays from where the stream stands.
        state.seekTime = mulDiv64(state.startFrame, state.streamDuration, state.totalFrames);
        state.multiMediaStream->seek(state.seekTime);
    }
    if (failed(state.multiMediaStream->setState(StreamState::Run))) return setupFailed();
    return 1;
}

void releaseMediaStream() {
    state.multiMediaStream.reset();
    state.streamSample.reset();
    state.ddStream.reset();
    state.videoStream.reset();
}

std::int64_t mulDiv64(std::int64_t x, std::int64_t y, std::int64_t z) {
    auto magnitude = [](std::int64_t v) {
        return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    };
    // The sign comes from the operands' signs alone, so 0 times -5 is a
    // negative zero and saturates negative when divided by 0.
    bool negative = (x < 0) != (y < 0);
    if (z < 0) negative = !negative;
    std::uint64_t a = magnitude(x);
    std::uint64_t b = magnitude(y);
    std::uint64_t divisor = magnitude(z);

    // The full 128-bit product from four 32-bit partial products.
    constexpr std::uint64_t kLow32 = 0xFFFFFFFFu;
    std::uint64_t aLow = a & kLow32, aHigh = a >> 32;
    std::uint64_t bLow = b & kLow32, bHigh = b >> 32;
    std::uint64_t lowLow = aLow * bLow;
    std::uint64_t highLow = aHigh * bLow;
    std::uint64_t lowHigh = aLow * bHigh;
    std::uint64_t highHigh = aHigh * bHigh;
    std::uint64_t middle = (lowLow >> 32) + (highLow & kLow32) + (lowHigh & kLow32);
    std::uint64_t productLow = (middle << 32) | (lowLow & kLow32);
    std::uint64_t productHigh = highHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32);

    // A quotient that needs more than 64 bits (division by 0 included)
    // saturates.
    if (divisor <= productHigh) return negative ? INT64_MIN : INT64_MAX;

    std::uint64_t quotient;
    if (productHigh == 0) {
        quotient = productLow / divisor;
    } else {
        // Shift-and-subtract long division; the remainder stays below the
        // divisor, its 65th bit is the carry out of the shift.
        std::uint64_t remainder = productHigh;
        quotient = 0;
        for (int bit = 63; bit >= 0; --bit) {
            bool carry = (remainder >> 63) != 0;
            remainder = (remainder << 1) | ((productLow >> bit) & 1u);
            quotient <<= 1;
            if (carry || remainder >= divisor) {
                remainder -= divisor;
                quotient |= 1u;
            }
        }
    }
    // A quotient from 2^63 up is returned as its 64-bit pattern.
    return static_cast<std::int64_t>(negative ? 0 - quotient : quotient);
}

}  // namespace ostrel
