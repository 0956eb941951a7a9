// The seam between the player core and the system it runs on. The core calls
// nothing else: every platform service it needs is a call of one of four
// concepts, or of the objects their calls make:
//   windows()  the window system: main window, messages and the loop,
//              tool bar, dialogs, drops, the hand-over (Windowing.h)
//   files()    files, paths, the clock, the single-instance lock, the
//              shell (Files.h)
//   sound()    the wave output of the volume, WAV files (Sound.h)
//   media()    the component library, display objects, multimedia
//              streams (Media.h)
// Each build supplies the four (Win32 + DirectShow, Qt + FFmpeg); the tests
// supply a scripted fake.
#pragma once

#include "platform/Files.h"
#include "platform/Media.h"
#include "platform/Sound.h"
#include "platform/Windowing.h"

namespace ostrel {

namespace platform {

// What the player runs on: one implementation of each concept.
struct Platform {
    Windowing* windows = nullptr;
    Files* files = nullptr;
    Sound* sound = nullptr;
    Media* media = nullptr;
};

// The platform installed now.
inline Platform installed;

}  // namespace platform

// Installed by the entry point (or a test) before anything else runs.
inline void installPlatform(const platform::Platform& platform) {
    platform::installed = platform;
}

inline platform::Windowing& windows() {
    return *platform::installed.windows;
}
inline platform::Files& files() {
    return *platform::installed.files;
}
inline platform::Sound& sound() {
    return *platform::installed.sound;
}
inline platform::Media& media() {
    return *platform::installed.media;
}

}  // namespace ostrel
