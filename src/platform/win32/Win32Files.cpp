// Files and paths, the clock, the single-instance mutex and the shell on
// Windows.
#include "platform/win32/Win32Platform.h"

namespace ostrel::platform::win32 {

// Files and paths.

bool Win32Files::fileExists(const char* path) {
    // Anything whose attributes can be read exists, a folder too.
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::uint32_t Win32Files::getFullPathName(const char* path, std::uint32_t bufferSize,
                                          char* buffer) {
    return GetFullPathNameA(path, bufferSize, buffer, nullptr);
}

std::uint32_t Win32Files::getModuleFileName(char* buffer, std::uint32_t bufferSize) {
    return GetModuleFileNameA(nullptr, buffer, bufferSize);
}

bool Win32Files::replaceFile(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0;
}

LocalTime Win32Files::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth - 1;
    time.day = now.wDay;
    time.weekday = now.wDayOfWeek;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    return time;
}

// Single instance.

MutexHandle Win32Files::createMutex(const char* name, bool& alreadyExists) {
    // A fresh mutex need not clear an older error, so start from none; and
    // read it at once, before another call changes it.
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<MutexHandle>(mutex);
}

void Win32Files::closeHandle(MutexHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// Shell.

std::int32_t Win32Files::inetIsOffline() {
    return InetIsOffline(0);
}

void Win32Files::openUrl(WindowHandle owner, const char* url) {
    ShellExecuteA(toHwnd(owner), "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace ostrel::platform::win32
