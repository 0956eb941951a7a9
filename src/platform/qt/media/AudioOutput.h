// The player's sound output: one connection to the sound system for the
// whole run, and one stream on it per sound or clip that plays. A stream
// pulls its samples from its owner and tells how many of them have been
// heard; that count is the clock the video frames of a clip are timed by.
//
// Samples are 16-bit, two channels interleaved (left first), at the rate the
// stream is opened with. The process-wide output volume (the wave output's
// 32-bit value) is applied by the owners to the samples they hand over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace ostrel::platform::qt::media {

// The player's output volume, as the wave output value: low 16 bits the left
// channel, high 16 bits the right channel, 0..0xFFFF each. One value for the
// whole process; the last one set is the one read back. Full scale at start.
void setOutputVolume(std::uint32_t waveVolume);
std::uint32_t outputVolume();
// Scales `count` stereo frames by the output volume, channel by channel, as
// a linear amplitude (channel / 0xFFFF).
void applyOutputVolume(std::int16_t* frames, std::size_t count);

class AudioStream {
public:
    // What a source handed over: `frames` frames, and whether its sound has
    // ended (nothing more will come).
    struct Pulled {
        std::size_t frames = 0;
        bool ended = false;
    };
    // Fills up to `count` frames at `frames`. Fewer than asked means no more
    // for now (the output waits for more, or plays silence meanwhile); after
    // the end, the output plays silence. Called on the output's thread: it
    // must not block.
    using Source = std::function<Pulled(std::int16_t* frames, std::size_t count)>;

    virtual ~AudioStream() = default;
    // Plays (from where it stood) or pauses, keeping what is queued.
    virtual void play() = 0;
    virtual void pause() = 0;
    // Frames the source handed over that have been heard so far; the
    // silence played when the source had nothing does not count. Starts at
    // 0, never goes back.
    virtual std::int64_t heardFrames() = 0;
    // The output gave up on the stream (the sound system went away).
    virtual bool failed() = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // A new stream at `rate` frames per second, paused; null when none can be
    // had (the caller then plays without sound).
    virtual std::unique_ptr<AudioStream> openStream(int rate, AudioStream::Source source) = 0;

    // The process's output, made on first use and kept for the run. Chosen
    // by OSTREL_AUDIO_OUT: "null" plays into nothing at real-time pace,
    // "pcm:FILE" also writes what it plays to FILE as a WAV (for tests);
    // otherwise the desktop's sound server, and the null output when there
    // is none (a clip then plays silently, at its pace).
    static AudioOutput& instance();
    // Starts connecting on a worker, so the first stream need not wait.
    static void prepare();
};

// What a stream has heard, from what its output has played. An output tells
// how far it has played in its own frames, silence included; this keeps the
// runs of source frames and of silence it wrote, and turns the one count
// into the other. Thread-safe.
class HeardFrames {
public:
    // The output wrote `count` frames, the first `fromSource` of them the
    // source's and the rest silence.
    void wrote(std::size_t fromSource, std::size_t count);
    // Source frames heard once the output has played `played` frames.
    std::int64_t heard(std::int64_t played);

private:
    struct Run {
        std::int64_t outputStart;
        std::int64_t length;
        std::int64_t sourceStart;
        bool silence;
    };
    std::mutex mutex_;
    std::deque<Run> runs_;
    std::int64_t written_ = 0;
    std::int64_t sourceWritten_ = 0;
    std::int64_t heard_ = 0;
};

// Makes the output streams that play into nothing (or into a WAV file) at
// real-time pace, on a thread of their own.
std::unique_ptr<AudioOutput> makeNullOutput(const char* wavPath);
// The desktop's PulseAudio server (or a server that speaks its protocol);
// null when none can be reached.
std::unique_ptr<AudioOutput> makePulseOutput();

}  // namespace ostrel::platform::qt::media
