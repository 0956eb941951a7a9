// The Linux build's media engine: one clip played by libmpv, its video
// rendered in software into a caller's 32-bit RGB buffer one frame per call,
// its audio on the player's output. Plain C++ and libmpv, no toolkit, so the
// Qt platform layer can wrap it in the multimedia-stream objects the player
// core asks for, and the tests can drive it without a display.
//
// Threads: every call of MpvEngine and SoundPlayer comes from one thread (the
// player's). Each engine keeps one worker thread of its own: it takes libmpv's
// events and every frame libmpv hands over, and renders the frame at its due
// time: straight into the player's buffer when the player is waiting for it,
// else into a small queue, so libmpv's video output never waits on the
// player. The player's thread never renders, so its own calls into libmpv
// cannot stall the video.
//
// Output: by default libmpv's default audio output. The environment variable
// OSTREL_AUDIO_OUT chooses another one for tests: "null" plays into nothing
// (paced in real time), "pcm:FILE" writes the audio to FILE as WAV, any other
// word is taken as a libmpv audio output name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace ostrel::platform::qt {

// The answer of a frame update on a stream that is not running (the
// platform's own value for it). The player takes it, like every answer
// other than a new frame, as the end of the item.
inline constexpr Status kNotRunning = static_cast<Status>(0x8004040Au);

// The player's output volume, as the wave output value: low 16 bits the left
// channel, high 16 bits the right channel, 0..0xFFFF each. One value for the
// whole process; setting it applies it at once to every engine and sound that
// is playing and to every one started later. Full scale at start.
void setOutputVolume(std::uint32_t waveVolume);
std::uint32_t outputVolume();

// libmpv's software volume (0..100) for a wave output value. The louder
// channel decides (libmpv has one volume for all channels, and a balance
// setting should not silence the sound). The wave value is a linear amplitude
// a = channel / 0xFFFF while libmpv's volume is cubic (amplitude =
// (volume / 100)^3), so the volume is 100 * a^(1/3).
double softwareVolume(std::uint32_t waveVolume);

class MpvEngine {
public:
    MpvEngine();
    ~MpvEngine();
    MpvEngine(const MpvEngine&) = delete;
    MpvEngine& operator=(const MpvEngine&) = delete;

    // Loads the file, stopped at its start, and blocks until it is loaded and
    // its first video frame is decoded (true) or it has failed (false). Fails
    // for a missing path, anything that is not a regular file (a folder), a
    // file libmpv cannot read as media, a file without a video track, and a
    // video track without a decoder. Opening again first closes what was open.
    bool open(const std::string& path);
    // Releases the clip and libmpv (also done by the destructor).
    void close();

    // What open found. `error` says in a few words why open failed.
    bool isOpen() const;
    bool hasVideo() const;
    bool hasAudio() const;
    const std::string& error() const;
    int videoWidth() const;
    int videoHeight() const;
    // Frames per second the container declares (0 when it declares none).
    double frameRate() const;

    // Stream times are signed counts of 100-nanosecond units, from the start
    // of the file (the earliest start of any of its streams: the first frame
    // of an MPEG program stream may start a little later).
    std::int64_t duration() const;
    // The current position: libmpv's playback position, the start of the
    // newest frame handed to its video output (up to one frame ahead of the
    // frame last delivered while running). After a seek on a stopped stream,
    // the time sought to, until the stream runs again.
    std::int64_t time() const;

    // Exact seek: the frame delivered next is the one covering `time` (the
    // last frame whose start is at or before it); times outside the clip are
    // taken to its start or its end. Frames queued before the seek are
    // dropped. Keeps the running or stopped state.
    bool seek(std::int64_t time);
    // Plays on from the current position / stops there, keeping it.
    bool run();
    bool stop();
    bool isRunning() const;

    // Synchronous frame update. While running: blocks until the next frame
    // is due (at the clip's own pace, on the audio clock) and has been
    // rendered, writes it into `pixels` as 32-bit RGB (bytes B, G, R and an
    // unused one in memory: a QImage::Format_RGB32 / X11 32-bit visual pixel;
    // 64-byte aligned rows render fastest), scaled to
    // exactly width x height without keeping the aspect ratio, and returns
    // kOk. Every frame of the clip is delivered, in order. After the last
    // frame (and the end of the sound, when that is longer) it returns
    // kEndOfStream, and keeps returning it until a seek. When stopped it
    // returns kNotRunning at once and leaves the buffer and the queued frames
    // alone (the player calls it on a stopped stream only when it has just
    // been reactivated, and takes any answer but kOk as the end of the item).
    // kFail when nothing is open, libmpv has given up on the file, or the
    // buffer is unusable (null, rows shorter than width * 4 bytes, not 4-byte
    // aligned).
    Status updateFrame(std::uint8_t* pixels, int stride, int width, int height);

    // Frames delivered by updateFrame since open (for tests and diagnostics).
    std::uint64_t framesDelivered() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The player's sounds: a WAV (or any audio file) played on the player's
// output by an audio-only libmpv instance. One sound at a time: playing a
// sound stops the one before.
class SoundPlayer {
public:
    SoundPlayer();
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Plays `path`. Synchronous: returns when the sound has ended. Otherwise
    // returns once the sound has started. False (and nothing plays) when the
    // file is missing, not a regular file or holds no playable audio.
    bool play(const std::string& path, bool synchronous);
    // Stops the sound that is playing, if any.
    void stopAll();
    // True while an asynchronously started sound is still playing.
    bool isPlaying();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace ostrel::platform::qt
