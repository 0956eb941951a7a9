// The media stream of one item on Windows: the DirectShow multimedia stream,
// its video stream as a DirectDraw media stream, and a stream sample on an
// off-screen surface, each a wrapper that holds one reference.
#pragma once

#include "platform/MultiMediaStream.h"
#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

class Win32StreamSample final : public StreamSample {
public:
    explicit Win32StreamSample(IDirectDrawStreamSample* sample) : sample_(sample) {}
    Status update(std::uint32_t flags) override;

private:
    ComRef<IDirectDrawStreamSample> sample_;
};

class Win32DirectDrawMediaStream final : public DirectDrawMediaStream {
public:
    explicit Win32DirectDrawMediaStream(IDirectDrawMediaStream* stream) : stream_(stream) {}
    Status getFormat(SurfaceDesc& desc) override;
    Status createSample(DirectDrawSurface* surface, const Rect& rect, std::uint32_t flags,
                        std::unique_ptr<StreamSample>& sample) override;

private:
    ComRef<IDirectDrawMediaStream> stream_;
};

class Win32MediaStream final : public MediaStream {
public:
    explicit Win32MediaStream(IMediaStream* stream) : stream_(stream) {}
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) override;

private:
    ComRef<IMediaStream> stream_;
};

class Win32MultiMediaStream final : public MultiMediaStream {
public:
    explicit Win32MultiMediaStream(IAMMultiMediaStream* stream) : stream_(stream) {}
    Status initialize(std::uint32_t streamType, std::uint32_t flags) override;
    Status addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                          std::uint32_t flags) override;
    Status openFile(const char* path, std::uint32_t flags) override;
    Status getMediaStream(MediaPurpose purpose, std::unique_ptr<MediaStream>& stream) override;
    Status getDuration(StreamTime& duration) override;
    Status getTime(StreamTime& time) override;
    Status seek(StreamTime time) override;
    Status setState(StreamState state) override;

private:
    ComRef<IAMMultiMediaStream> stream_;
};

}  // namespace ostrel::platform::win32
