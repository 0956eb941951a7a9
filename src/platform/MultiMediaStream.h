// The media stream of one item: a multimedia stream opened on a file, its
// primary video stream seen as a DirectDraw media stream, and a stream sample
// bound to a rectangle of the off-screen surface. Audio plays on the default
// output by itself; the player only starts, stops, seeks and times the stream.
//
// Objects are owned through std::unique_ptr (destroying one releases the
// player's reference). Objects obtained from a stream keep what they need of
// it alive, so they may be released in any order.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/DirectDraw.h"
#include "platform/Types.h"

namespace ostrel::platform {

// Stream times are signed counts of 100-nanosecond units.
using StreamTime = std::int64_t;

enum class StreamState : std::uint32_t { Stop = 0, Run = 1 };
enum class MediaPurpose { PrimaryVideo, PrimaryAudio };

inline constexpr std::uint32_t kStreamTypeRead = 0;
inline constexpr std::uint32_t kAddDefaultRenderer = 1;

class StreamSample {
public:
    virtual ~StreamSample() = default;
    // Synchronous update: returns once the sample's rectangle of the surface
    // holds the next frame (kOk), or the stream cannot deliver one (after the
    // last frame kEndOfStream; any other value is possible too).
    virtual Status update(std::uint32_t flags) = 0;
};

class DirectDrawMediaStream {
public:
    virtual ~DirectDrawMediaStream() = default;
    // Fills `desc` (size 108) with the video's width and height.
    virtual Status getFormat(SurfaceDesc& desc) = 0;
    virtual Status createSample(DirectDrawSurface* surface, const Rect& rect, std::uint32_t flags,
                                std::unique_ptr<StreamSample>& sample) = 0;
};

class MediaStream {
public:
    virtual ~MediaStream() = default;
    // The same stream seen as a DirectDraw media stream (a failure when the
    // stream carries no video the display objects can take).
    virtual Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) = 0;
};

class MultiMediaStream {
public:
    virtual ~MultiMediaStream() = default;
    virtual Status initialize(std::uint32_t streamType, std::uint32_t flags) = 0;
    // Adds the video stream bound to `directDraw`, or (directDraw null,
    // kAddDefaultRenderer) the audio stream on the default output.
    virtual Status addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                                  std::uint32_t flags) = 0;
    // Opens a file given as an ANSI (on Linux: UTF-8) path of at most 259
    // characters; the platform converts it as it needs. Blocks until the file
    // is open or has failed.
    virtual Status openFile(const char* path, std::uint32_t flags) = 0;
    virtual Status getMediaStream(MediaPurpose purpose, std::unique_ptr<MediaStream>& stream) = 0;
    virtual Status getDuration(StreamTime& duration) = 0;
    virtual Status getTime(StreamTime& time) = 0;
    virtual Status seek(StreamTime time) = 0;
    // Stop keeps the position; Run plays on from it.
    virtual Status setState(StreamState state) = 0;
};

}  // namespace ostrel::platform
