// Files, paths, the clock, the single-instance lock and the shell on Linux.
#pragma once

#include <functional>

#include "platform/Files.h"

namespace ostrel::platform::qt {

class SingleInstance;

class QtFiles final : public Files {
public:
    explicit QtFiles(SingleInstance& instance) : instance_(instance) {}

    // Runs when the lock says this is the first start.
    std::function<void()> firstStart;

    bool fileExists(const char* path) override;
    std::uint32_t getFullPathName(const char* path, std::uint32_t bufferSize,
                                  char* buffer) override;
    std::uint32_t getModuleFileName(char* buffer, std::uint32_t bufferSize) override;
    bool replaceFile(const char* source, const char* target) override;
    void configurationNotWritten(const char* path, int error) override;
    LocalTime localTime() override;
    MutexHandle createMutex(const char* name, bool& alreadyExists) override;
    void closeHandle(MutexHandle handle) override;
    std::int32_t inetIsOffline() override;
    void openUrl(WindowHandle owner, const char* url) override;

private:
    SingleInstance& instance_;
};

}  // namespace ostrel::platform::qt
