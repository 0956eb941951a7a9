#include "platform/win32/Win32Platform.h"

#include "platform/win32/Guids.h"
#include "platform/win32/Win32DirectDraw.h"
#include "platform/win32/Win32MultiMediaStream.h"
#include "platform/win32/Win32WaveOut.h"
#include "platform/win32/Win32Wrap.h"

namespace ostrel::platform::win32 {

// Component library.

Status Win32Platform::coInitialize() {
    return CoInitialize(nullptr);
}

void Win32Platform::coUninitialize() {
    CoUninitialize();
}

// Display and media objects.

Status Win32Platform::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    IDirectDrawFactory* made = nullptr;
    HRESULT result = CoCreateInstance(kClsidDirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidDirectDrawFactory, reinterpret_cast<void**>(&made));
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDrawFactory>(made, factory);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32Platform::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    IAMMultiMediaStream* made = nullptr;
    HRESULT result = CoCreateInstance(kClsidAMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidAMMultiMediaStream, reinterpret_cast<void**>(&made));
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32MultiMediaStream>(made, stream);
    return FAILED(wrapped) ? wrapped : result;
}

// Sound.

MmResult Win32Platform::waveOutOpen(const WaveFormat& format,
                                    std::unique_ptr<WaveOutDevice>& device) {
    return openWaveOut(format, device);
}

std::int32_t Win32Platform::sndPlaySound(const char* path, std::uint32_t flags) {
    return sndPlaySoundA(path, flags);
}

std::int32_t Win32Platform::playSound(const char* name, std::uint32_t flags) {
    // No module: the sound is one of the executable's own resources.
    return PlaySoundA(name, nullptr, flags);
}

// Shell.

std::int32_t Win32Platform::inetIsOffline() {
    return InetIsOffline(0);
}

void Win32Platform::openUrl(WindowHandle owner, const char* url) {
    ShellExecuteA(toHwnd(owner), "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Platform::messageBox(WindowHandle owner, const char* text, const char* caption,
                               std::uint32_t style) {
    MessageBoxA(toHwnd(owner), text, caption, style);
}

// Files and paths.

bool Win32Platform::fileExists(const char* path) {
    // Anything whose attributes can be read exists, a folder too.
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::uint32_t Win32Platform::getFullPathName(const char* path, std::uint32_t bufferSize,
                                             char* buffer) {
    return GetFullPathNameA(path, bufferSize, buffer, nullptr);
}

std::uint32_t Win32Platform::getModuleFileName(char* buffer, std::uint32_t bufferSize) {
    return GetModuleFileNameA(nullptr, buffer, bufferSize);
}

bool Win32Platform::replaceFile(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0;
}

LocalTime Win32Platform::localTime() {
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

MutexHandle Win32Platform::createMutex(const char* name, bool& alreadyExists) {
    // A fresh mutex need not clear an older error, so start from none; and
    // read it at once, before another call changes it.
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<MutexHandle>(mutex);
}

void Win32Platform::closeHandle(MutexHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

}  // namespace ostrel::platform::win32
