// The wave output on Windows: a handle of the wave mapper, opened only to
// read or write the output volume, closed when the wrapper goes.
#pragma once

#include <memory>

#include "platform/WaveOut.h"
#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

class Win32WaveOut final : public WaveOutDevice {
public:
    explicit Win32WaveOut(HWAVEOUT device) : device_(device) {}
    ~Win32WaveOut() override;
    Win32WaveOut(const Win32WaveOut&) = delete;
    Win32WaveOut& operator=(const Win32WaveOut&) = delete;

    MmResult getVolume(std::uint32_t& volume) override;
    MmResult setVolume(std::uint32_t volume) override;

private:
    HWAVEOUT device_;
};

// Opens the wave mapper with `format`, no callback (CALLBACK_NULL).
MmResult openWaveOut(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device);

}  // namespace ostrel::platform::win32
