// The sound of a clip, or a lone sound: its packets decoded on a worker
// thread into a queue of samples (16-bit stereo at the stream's own rate,
// scaled by the output volume when the output takes them), played by one
// stream of the player's sound output. What has been heard of it tells the
// time of the sound, which is the clock a clip's video frames are timed by.
//
// Samples are placed by their time stamps: those before the time the track
// starts at are cut off, a gap in the stream is filled with silence, so the
// sound heard at any moment is the sound of the time the clock tells.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/Demuxer.h"
#include "platform/qt/media/MediaFile.h"

extern "C" {
struct SwrContext;
struct AVFrame;
}

namespace ostrel::platform::qt::media {

class AudioTrack {
public:
    // The file must have a sound decoder. Nothing runs before start().
    AudioTrack(MediaFile& file, Demuxer& demuxer);
    ~AudioTrack();
    AudioTrack(const AudioTrack&) = delete;
    AudioTrack& operator=(const AudioTrack&) = delete;

    // Starts decoding packets of `generation` on, placed from `time` (100 ns
    // units on the container's clock; none: from the first sample), and
    // opens the output stream, paused. False when no stream can be had.
    bool start(std::uint64_t generation, std::optional<Time> time);
    void play();
    void pause();
    // Starts over at `time` with the packets of `generation`: whatever was
    // queued or is being played is dropped. Keeps playing or paused.
    void restart(std::uint64_t generation, Time time);

    // The time of the sound heard now (where the track starts, until the
    // first sample is heard).
    Time heardTime();
    // Every sample up to the end of the stream has been heard.
    bool finished();
    // The time at which the sound ends, once the worker has reached it.
    std::optional<Time> endTime();
    // The output lost the stream.
    bool failed();

private:
    void run();
    bool configureResampler(const AVFrame* frame);
    void place(const std::int16_t* samples, std::size_t frames, std::optional<Time> at,
               std::uint64_t generation);
    void push(const std::int16_t* samples, std::size_t frames, std::uint64_t generation,
              std::unique_lock<std::mutex>& lock);
    AudioStream::Pulled pull(std::int16_t* out, std::size_t frames);
    Time timeOf(std::int64_t frames) const;
    bool openStream();

    MediaFile& file_;
    Demuxer& demuxer_;
    int rate_ = 0;
    SwrContext* resampler_ = nullptr;
    std::thread worker_;

    // Shared with the worker and the output's thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::uint64_t generation_ = 0;
    bool placed_ = false;  // the first sample's time is known
    Time start_ = 0;
    std::int64_t queuedFrames_ = 0;  // since the start, silence included
    bool ended_ = false;
    std::vector<std::int16_t> ring_;
    std::size_t ringRead_ = 0;
    std::size_t ringCount_ = 0;

    // The player's side.
    std::unique_ptr<AudioStream> stream_;
    bool playing_ = false;
};

}  // namespace ostrel::platform::qt::media
