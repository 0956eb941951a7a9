// The media stream objects of the Linux build, over one MediaEngine per
// multimedia stream. The objects obtained from a stream share its engine, so
// the player may release them in any order.
#pragma once

#include <QImage>
#include <memory>

#include "platform/MultiMediaStream.h"
#include "platform/qt/media/MediaEngine.h"

namespace ostrel::platform::qt {

// A sample: the rectangle of the off-screen image that each update fills
// with the next frame, scaled to the rectangle's size.
class QtStreamSample final : public StreamSample {
public:
    QtStreamSample(std::shared_ptr<media::MediaEngine> engine, std::shared_ptr<QImage> image,
                   const QRect& rect)
        : engine_(std::move(engine)), image_(std::move(image)), rect_(rect) {}
    Status update(std::uint32_t flags) override;

private:
    std::shared_ptr<media::MediaEngine> engine_;
    std::shared_ptr<QImage> image_;
    QRect rect_;
};

class QtDirectDrawMediaStream final : public DirectDrawMediaStream {
public:
    explicit QtDirectDrawMediaStream(std::shared_ptr<media::MediaEngine> engine)
        : engine_(std::move(engine)) {}
    Status getFormat(SurfaceDesc& desc) override;
    Status createSample(DirectDrawSurface* surface, const Rect& rect, std::uint32_t flags,
                        std::unique_ptr<StreamSample>& sample) override;

private:
    std::shared_ptr<media::MediaEngine> engine_;
};

class QtMediaStream final : public MediaStream {
public:
    QtMediaStream(std::shared_ptr<media::MediaEngine> engine, MediaPurpose purpose)
        : engine_(std::move(engine)), purpose_(purpose) {}
    Status queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) override;

private:
    std::shared_ptr<media::MediaEngine> engine_;
    MediaPurpose purpose_;
};

class QtMultiMediaStream final : public MultiMediaStream {
public:
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
    std::shared_ptr<media::MediaEngine> engine_;
    bool videoAdded_ = false;
    bool audioAdded_ = false;
};

}  // namespace ostrel::platform::qt
