// Files, paths and the clock; the lock that keeps one player per user; the
// shell (the network's state and the web browser).
//
// Every call runs on the one user-interface thread.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ostrel::platform {

class Files {
public:
    virtual ~Files() = default;

    // True when a file or folder exists at `path`.
    virtual bool fileExists(const char* path) = 0;
    // Resolves `path` against the current folder without touching links.
    // When `bufferSize` is too small (0 included) returns the size needed,
    // terminator included; otherwise writes the path and returns its length
    // without the terminator. 0 on failure.
    virtual std::uint32_t getFullPathName(const char* path, std::uint32_t bufferSize,
                                          char* buffer) = 0;
    // The executable's full path; returns its length (bufferSize when cut).
    virtual std::uint32_t getModuleFileName(char* buffer, std::uint32_t bufferSize) = 0;
    // Renames `source` over `target` in one step, replacing it.
    virtual bool replaceFile(const char* source, const char* target) = 0;
    // The configuration at `path` could not be written (`error`: the errno of
    // the step that failed); the player goes on as before.
    virtual void configurationNotWritten(const char* /*path*/, int /*error*/) {}
    virtual LocalTime localTime() = 0;

    // Single instance. `alreadyExists` tells whether another player holds it.
    virtual MutexHandle createMutex(const char* name, bool& alreadyExists) = 0;
    virtual void closeHandle(MutexHandle handle) = 0;

    // Shell.
    virtual std::int32_t inetIsOffline() = 0;
    virtual void openUrl(WindowHandle owner, const char* url) = 0;
};

}  // namespace ostrel::platform
