#include <new>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WaveOut.h"

namespace ostrel::platform::win32 {

Win32WaveOut::~Win32WaveOut() {
    waveOutClose(device_);
}

MmResult Win32WaveOut::getVolume(std::uint32_t& volume) {
    DWORD value = 0;
    MMRESULT result = waveOutGetVolume(device_, &value);
    if (result == MMSYSERR_NOERROR) volume = value;
    return result;
}

MmResult Win32WaveOut::setVolume(std::uint32_t volume) {
    return waveOutSetVolume(device_, volume);
}

MmResult openWaveOut(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) {
    WAVEFORMATEX system{};
    system.wFormatTag = format.formatTag;
    system.nChannels = format.channels;
    system.nSamplesPerSec = format.samplesPerSec;
    system.nAvgBytesPerSec = format.avgBytesPerSec;
    system.nBlockAlign = format.blockAlign;
    system.wBitsPerSample = format.bitsPerSample;
    system.cbSize = format.extraSize;
    HWAVEOUT handle = nullptr;
    MMRESULT result = waveOutOpen(&handle, WAVE_MAPPER, &system, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) return result;
    Win32WaveOut* wrapper = new (std::nothrow) Win32WaveOut(handle);
    if (!wrapper) {
        waveOutClose(handle);
        return MMSYSERR_NOMEM;
    }
    device.reset(wrapper);
    return MMSYSERR_NOERROR;
}

// Sound.

MmResult Win32Sound::waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) {
    return openWaveOut(format, device);
}

std::int32_t Win32Sound::sndPlaySound(const char* path, std::uint32_t flags) {
    return sndPlaySoundA(path, flags);
}

std::int32_t Win32Sound::playSound(const char* name, std::uint32_t flags) {
    // No module: the sound is one of the executable's own resources.
    return PlaySoundA(name, nullptr, flags);
}

}  // namespace ostrel::platform::win32
