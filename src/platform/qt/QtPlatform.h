// The player's platform on Linux desktops: Qt 6 Widgets for the window, its
// menu bar, tool bar and dialogs; FFmpeg's libraries (through the media
// engine in media/) for clips and sounds. One object of each concept of the
// seam, each in its own files:
//   WindowSystem  QtWindowSystem.h (and the files it lists)
//   QtFiles       QtFiles.cpp (the lock itself: QtHandOver.cpp)
//   QtSound       QtSound.cpp
//   QtMedia       QtMedia.cpp, QtDirectDraw.cpp, QtMultiMediaStream.cpp
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/qt/QtFiles.h"
#include "platform/qt/QtHandOver.h"
#include "platform/qt/QtMedia.h"
#include "platform/qt/QtSound.h"
#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

class QtPlatform {
public:
    QtPlatform() {
        windows_.offline = [this] { return files_.inetIsOffline() != 0; };
        windows_.openUrl = [this](const char* url) { files_.openUrl(nullptr, url); };
        files_.firstStart = [this] { QtMedia::prepare(firstClip_); };
    }
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // What the core is installed on.
    Platform seam() { return Platform{&windows_, &files_, &sound_, &media_}; }
    WindowSystem& windows() { return windows_; }
    QtFiles& files() { return files_; }
    QtSound& sound() { return sound_; }
    QtMedia& media() { return media_; }

    // The clip the command line names (empty for none), opened ahead once
    // the lock says this is the first start.
    void setFirstClip(std::string path) { firstClip_ = std::move(path); }

private:
    // The lock outlives the window system, whose end may still hand over.
    SingleInstance instance_;
    WindowSystem windows_{&instance_};
    QtFiles files_{instance_};
    QtSound sound_;
    QtMedia media_{windows_};
    std::string firstClip_;
};

}  // namespace ostrel::platform::qt
