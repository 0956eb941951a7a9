#include "platform/qt/media/AudioOutput.h"

namespace ostrel::platform::qt::media {

std::unique_ptr<AudioOutput> makeServerOutput() {
    return nullptr;
}

}  // namespace ostrel::platform::qt::media
