#include "platform/qt/QtMultiMediaStream.h"

#include "platform/qt/QtDirectDraw.h"

namespace ostrel::platform::qt {

namespace {
constexpr std::uint32_t kSurfaceDescSize = 108;
// The platform's answer for a stream the file does not have.
constexpr Status kNoStream = static_cast<Status>(0x80040213u);
}  // namespace

Status QtStreamSample::update(std::uint32_t) {
    QImage& image = *image_;
    std::uint8_t* corner = image.bits() + rect_.top() * image.bytesPerLine() + rect_.left() * 4;
    return engine_->updateFrame(corner, static_cast<int>(image.bytesPerLine()), rect_.width(),
                                rect_.height());
}

Status QtDirectDrawMediaStream::getFormat(SurfaceDesc& desc) {
    if (desc.size != kSurfaceDescSize || !engine_->hasVideo()) return kFail;
    desc.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    desc.width = static_cast<std::uint32_t>(engine_->videoWidth());
    desc.height = static_cast<std::uint32_t>(engine_->videoHeight());
    desc.caps = kDdsCapsOffscreenPlain;
    desc.pixelFormat = rgb32PixelFormat();
    return kOk;
}

Status QtDirectDrawMediaStream::createSample(DirectDrawSurface* surface, const Rect& rect,
                                             std::uint32_t, std::unique_ptr<StreamSample>& sample) {
    auto* offscreen = dynamic_cast<QtOffscreenSurface*>(surface);
    if (!offscreen) return kFail;
    QRect area(QPoint(rect.left, rect.top), QSize(rect.right - rect.left, rect.bottom - rect.top));
    // The frames must fit the surface, as they must on the display.
    if (area.isEmpty() || !offscreen->cover(area)) return kFail;
    sample = std::make_unique<QtStreamSample>(engine_, offscreen->image(), area);
    return kOk;
}

Status QtMediaStream::queryDirectDrawMediaStream(std::unique_ptr<DirectDrawMediaStream>& stream) {
    // Only a video stream can be seen as a DirectDraw media stream.
    if (purpose_ != MediaPurpose::PrimaryVideo || !engine_->hasVideo()) return kFail;
    stream = std::make_unique<QtDirectDrawMediaStream>(engine_);
    return kOk;
}

Status QtMultiMediaStream::initialize(std::uint32_t streamType, std::uint32_t) {
    if (engine_ || streamType != kStreamTypeRead) return kFail;
    engine_ = std::make_shared<media::MediaEngine>();
    return kOk;
}

Status QtMultiMediaStream::addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                                          std::uint32_t flags) {
    if (!engine_) return kFail;
    if (purpose == MediaPurpose::PrimaryVideo) {
        if (!directDraw) return kFail;
        videoAdded_ = true;
    } else {
        if (directDraw || !(flags & kAddDefaultRenderer)) return kFail;
        audioAdded_ = true;
    }
    return kOk;
}

Status QtMultiMediaStream::openFile(const char* path, std::uint32_t) {
    if (!engine_ || !path || !videoAdded_) return kFail;
    return engine_->open(path) ? kOk : kFail;
}

Status QtMultiMediaStream::getMediaStream(MediaPurpose purpose,
                                          std::unique_ptr<MediaStream>& stream) {
    if (!engine_ || !engine_->isOpen()) return kFail;
    bool present = purpose == MediaPurpose::PrimaryVideo ? videoAdded_ && engine_->hasVideo()
                                                         : audioAdded_ && engine_->hasAudio();
    if (!present) return kNoStream;
    stream = std::make_unique<QtMediaStream>(engine_, purpose);
    return kOk;
}

Status QtMultiMediaStream::getDuration(StreamTime& duration) {
    if (!engine_ || !engine_->isOpen()) return kFail;
    duration = engine_->duration();
    return kOk;
}

Status QtMultiMediaStream::getTime(StreamTime& time) {
    if (!engine_ || !engine_->isOpen()) return kFail;
    time = engine_->time();
    return kOk;
}

Status QtMultiMediaStream::seek(StreamTime time) {
    if (!engine_ || !engine_->isOpen()) return kFail;
    return engine_->seek(time) ? kOk : kFail;
}

Status QtMultiMediaStream::setState(StreamState state) {
    if (!engine_ || !engine_->isOpen()) return kFail;
    bool done = state == StreamState::Run ? engine_->run() : engine_->stop();
    return done ? kOk : kFail;
}

}  // namespace ostrel::platform::qt
