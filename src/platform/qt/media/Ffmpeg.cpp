#include "platform/qt/media/Ffmpeg.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <thread>

namespace ostrel::platform::qt::media {

namespace {

// The libraries the player was built against, by their major versions.
std::string soname(const char* library, int major) {
    return std::string("lib") + library + ".so." + std::to_string(major);
}

struct Library {
    const char* name;
    int major;
    void* handle = nullptr;
};

std::once_flag gLoadOnce;
Ffmpeg gCalls;
bool gLoaded = false;

void load() {
    Library avutil{"avutil", LIBAVUTIL_VERSION_MAJOR};
    Library avcodec{"avcodec", LIBAVCODEC_VERSION_MAJOR};
    Library avformat{"avformat", LIBAVFORMAT_VERSION_MAJOR};
    Library swresample{"swresample", LIBSWRESAMPLE_VERSION_MAJOR};
    Library swscale{"swscale", LIBSWSCALE_VERSION_MAJOR};
    std::string missing;
    for (Library* library : {&avutil, &avcodec, &avformat, &swresample, &swscale}) {
        const std::string file = soname(library->name, library->major);
        library->handle = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!library->handle && missing.empty()) missing = file;
    }
#define OSTREL_FFMPEG_FIND(library, name)                                                  \
    if (library.handle) {                                                                  \
        gCalls.name = reinterpret_cast<decltype(&::name)>(::dlsym(library.handle, #name)); \
        if (!gCalls.name && missing.empty()) missing = #name;                              \
    }
    OSTREL_FFMPEG_CALLS(OSTREL_FFMPEG_FIND)
#undef OSTREL_FFMPEG_FIND
    if (!missing.empty()) {
        std::fprintf(stderr,
                     "ostrel: FFmpeg's libraries cannot be loaded (%s): clips do not play\n",
                     missing.c_str());
        return;
    }
    // FFmpeg's own notes about damaged or odd files are not the player's to
    // print: a file it cannot play ends its item, and a run that fails says
    // so in one line of its own.
    gCalls.av_log_set_level(AV_LOG_QUIET);
    gLoaded = true;
}

}  // namespace

void loadFfmpegSoon() {
    static std::once_flag started;
    std::call_once(started, [] { std::thread([] { loadedFfmpeg(); }).detach(); });
}

const Ffmpeg* loadedFfmpeg() {
    std::call_once(gLoadOnce, load);
    return gLoaded ? &gCalls : nullptr;
}

const Ffmpeg& av() {
    return gCalls;
}

}  // namespace ostrel::platform::qt::media
