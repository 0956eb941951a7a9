// The player's sounds: a WAV file (or any sound FFmpeg reads), from a path
// or from bytes in memory, played on the player's sound output. One sound at
// a time: playing a sound stops the one before.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::platform::qt::media {

class SoundPlayer {
public:
    SoundPlayer();
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Plays the file at `path`, or the sound file held in `bytes`.
    // Synchronous: returns when the sound has ended (or the output stopped
    // playing it). Otherwise returns once it has started. False (and
    // nothing plays) when the file is missing, not a regular file or holds
    // no sound that can be decoded.
    bool play(const std::string& path, bool synchronous);
    bool playBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, bool synchronous);
    // Stops the sound that is playing, if any.
    void stopAll();
    // True while an asynchronously started sound is still playing.
    bool isPlaying();

    struct Sound;

private:
    bool start(std::unique_ptr<Sound> sound, bool synchronous);
    std::unique_ptr<Sound> sound_;
};

}  // namespace ostrel::platform::qt::media
