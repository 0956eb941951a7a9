#include "platform/qt/QtMedia.h"

#include "platform/qt/QtDirectDraw.h"
#include "platform/qt/QtMultiMediaStream.h"
#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/Ffmpeg.h"
#include "platform/qt/media/MediaEngine.h"

namespace ostrel::platform::qt {

void QtMedia::prepare(const std::string& firstClip) {
    media::loadFfmpegSoon();
    media::AudioOutput::prepare();
    if (!firstClip.empty()) media::MediaEngine::prepare(firstClip);
}

Status QtMedia::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    factory = std::make_unique<QtDirectDrawFactory>(windows_);
    return kOk;
}

Status QtMedia::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    stream = std::make_unique<QtMultiMediaStream>();
    return kOk;
}

}  // namespace ostrel::platform::qt
