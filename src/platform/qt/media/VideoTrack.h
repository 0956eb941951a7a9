// The video of a clip, decoded on request on the player's thread from the
// packets the demuxer hands out, and converted to 32-bit RGB into the
// player's buffer.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/qt/media/Demuxer.h"
#include "platform/qt/media/MediaFile.h"

extern "C" {
struct AVFrame;
struct SwsContext;
}

namespace ostrel::platform::qt::media {

struct FrameFree {
    void operator()(AVFrame* frame) const;
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// A decoded picture and the time it starts at (100 ns units on the
// container's clock).
struct Picture {
    FramePtr frame;
    Time time = 0;
    bool key = false;
    explicit operator bool() const { return frame != nullptr; }
};
// Another reference to the same picture (empty when none can be had).
Picture copyOf(const Picture& picture);

class VideoTrack {
public:
    VideoTrack(MediaFile& file, Demuxer& demuxer);
    ~VideoTrack();
    VideoTrack(const VideoTrack&) = delete;
    VideoTrack& operator=(const VideoTrack&) = delete;

    enum class Next { Picture, End, Stalled };
    // Decodes the next picture of the current generation. Stalled when no
    // packet came before `deadline` (or the demuxer has stopped); End after
    // the last picture, until a restart.
    Next next(Picture& out, std::chrono::steady_clock::time_point deadline);
    // From now on decodes the packets of `generation`, from a clean decoder.
    void restart(std::uint64_t generation);

    // Writes the picture into `pixels` as 32-bit RGB (bytes B, G, R, 0xFF),
    // scaled to width x height. False when it cannot be converted.
    bool convert(const AVFrame& frame, std::uint8_t* pixels, int stride, int width, int height);

private:
    MediaFile& file_;
    Demuxer& demuxer_;
    std::uint64_t generation_ = 0;
    bool ended_ = false;
    Time next_ = 0;  // where a picture without a time stamp is placed
    Time period_ = 0;
    SwsContext* converter_ = nullptr;
    int space_ = -1;
    int full_ = -1;
};

}  // namespace ostrel::platform::qt::media
