// Sound: the wave output that carries the player's volume, and WAV files and
// the player's own sounds played whole.
//
// Every call runs on the one user-interface thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/WaveOut.h"

namespace ostrel::platform {

class Sound {
public:
    virtual ~Sound() = default;

    // Wave output for the volume; nothing is ever played through it.
    virtual MmResult waveOutOpen(const WaveFormat& format,
                                 std::unique_ptr<WaveOutDevice>& device) = 0;
    // Plays a WAV file (`path` null stops any sound). With kSndSync the call
    // returns when the sound has ended. Non-zero on success.
    virtual std::int32_t sndPlaySound(const char* path, std::uint32_t flags) = 0;
    // Plays a sound of the player's own resources ("#129": the intro sound);
    // with kSndResource | kSndAsync it returns at once.
    virtual std::int32_t playSound(const char* name, std::uint32_t flags) = 0;
};

}  // namespace ostrel::platform
