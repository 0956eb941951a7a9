// Sound on Linux: the wave output of the volume, WAV files, the intro sound.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Sound.h"

namespace ostrel::platform::qt {

namespace media {
class SoundPlayer;
}

class QtSound final : public Sound {
public:
    QtSound();
    ~QtSound() override;
    QtSound(const QtSound&) = delete;
    QtSound& operator=(const QtSound&) = delete;

    MmResult waveOutOpen(const WaveFormat& format, std::unique_ptr<WaveOutDevice>& device) override;
    std::int32_t sndPlaySound(const char* path, std::uint32_t flags) override;
    std::int32_t playSound(const char* name, std::uint32_t flags) override;

private:
    media::SoundPlayer& sounds();

    std::unique_ptr<media::SoundPlayer> sounds_;
    std::shared_ptr<const std::vector<std::uint8_t>> introSound_;
};

}  // namespace ostrel::platform::qt
