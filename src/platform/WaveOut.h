// The wave output device, opened only to read or write the output volume.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ostrel::platform {

// The PCM format record the wave output is opened with.
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// An open wave output handle; destroying it closes the device.
class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;
    // Volume: low 16 bits the left channel, high 16 bits the right channel.
    virtual MmResult getVolume(std::uint32_t& volume) = 0;
    virtual MmResult setVolume(std::uint32_t volume) = 0;
};

// Sound playing flags.
inline constexpr std::uint32_t kSndSync = 0;
inline constexpr std::uint32_t kSndAsync = 1;
inline constexpr std::uint32_t kSndResource = 0x40004;

}  // namespace ostrel::platform
