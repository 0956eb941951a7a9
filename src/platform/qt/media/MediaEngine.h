// The Linux build's media engine: one clip read with FFmpeg's libraries,
// pulled by the player one video frame per call. Plain C++ and FFmpeg, no
// toolkit, so the Qt platform layer can wrap it in the multimedia-stream
// objects the player core asks for, and tests can drive it without a display.
//
// Timing: the clip's sound plays on the player's sound output, and what has
// been heard of it is the clock; a clip without sound (or whose sound has
// ended) runs on a wall clock. A frame call returns when its frame is due on
// that clock; a frame that is late is returned at once, never dropped, so
// the player shows every frame of the file.
//
// Threads: every call comes from one thread (the player's). An open clip has
// two workers, one reading the file and one decoding its sound; the video is
// decoded on the player's thread, on request. Every wait has a deadline: when
// a worker or the sound output stops answering, the frame call fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace ostrel::platform::qt::media {

// The answer of a frame update on a stream that is not running (the
// platform's own value for it). The player takes it, like every answer
// other than a new frame, as the end of the item.
inline constexpr Status kNotRunning = static_cast<Status>(0x8004040Au);

class MediaEngine {
public:
    MediaEngine();
    ~MediaEngine();
    MediaEngine(const MediaEngine&) = delete;
    MediaEngine& operator=(const MediaEngine&) = delete;

    // Starts opening `path` on a worker, so that a later open of the same
    // path finds it opened and its first frame decoded. For the first item
    // of a run, while the window is being made.
    static void prepare(const std::string& path);

    // Opens the file, stopped at its first frame, and blocks until that
    // frame is decoded (true) or the file has failed (false). Fails for a
    // missing path, anything that is not a regular file (a folder), a file
    // that is not media, a file without a video stream and a video stream
    // without a decoder. Opening again first closes what was open.
    bool open(const std::string& path);
    void close();

    // What open found. `error` says in a few words why open failed.
    bool isOpen() const;
    bool hasVideo() const;
    bool hasAudio() const;
    const std::string& error() const;
    int videoWidth() const;
    int videoHeight() const;
    // Frames per second the file declares (0 when it declares none).
    double frameRate() const;

    // Stream times are signed counts of 100-nanosecond units from the first
    // video frame, which starts at 0 (sound from before it is not played).
    std::int64_t duration() const;
    // The clock: the time of the sound heard now, or of the wall clock.
    std::int64_t time() const;

    // Exact seek: the frame delivered next is the one covering `time` (the
    // last frame that starts at or before it), found by decoding on from
    // the key frame before it; times outside the clip are taken to its
    // start or its end. A seek to where a stopped clip stands keeps it as it
    // is, so pausing and resuming loses nothing. Keeps the running state.
    bool seek(std::int64_t time);
    // Plays on from the current position / stops there, keeping it.
    bool run();
    bool stop();
    bool isRunning() const;

    // Synchronous frame update. While running: decodes the next frame,
    // writes it into `pixels` as 32-bit RGB (bytes B, G, R, 0xFF in memory:
    // a QImage::Format_RGB32 pixel) scaled to exactly width x height, waits
    // until it is due and returns kOk. After the last frame, once it has had
    // its time and the sound has ended too, kEndOfStream, until a seek. When
    // stopped, kNotRunning at once, the buffer untouched. kFail when nothing
    // is open, the buffer is unusable (null, rows shorter than width * 4
    // bytes, not 4-byte aligned), or nothing came for a while: the file's
    // reader or the sound output stopped answering.
    Status updateFrame(std::uint8_t* pixels, int stride, int width, int height);

    // Frames delivered by updateFrame since open (for tests and diagnostics).
    std::uint64_t framesDelivered() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace ostrel::platform::qt::media
