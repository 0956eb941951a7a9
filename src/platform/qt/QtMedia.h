// Media on Linux: the display objects over the main window's client area
// and the multimedia streams over FFmpeg's libraries.
#pragma once

#include <string>

#include "platform/Media.h"

namespace ostrel::platform::qt {

class WindowSystem;

class QtMedia final : public Media {
public:
    explicit QtMedia(WindowSystem& windows) : windows_(windows) {}

    // A first start: the media libraries load, the sound output connects and
    // `firstClip` (empty for none) opens, on workers, while the window is
    // made. A second start needs none of them.
    static void prepare(const std::string& firstClip);

    // Nothing to start: no component library on this platform.
    Status coInitialize() override { return kOk; }
    void coUninitialize() override {}
    Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) override;
    Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) override;

private:
    WindowSystem& windows_;
};

}  // namespace ostrel::platform::qt
