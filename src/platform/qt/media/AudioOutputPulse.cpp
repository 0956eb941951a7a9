// The output on the desktop's PulseAudio server (or one that speaks its
// protocol): one connection for the whole run, on the client library's own
// thread, and one stream per sound or clip. Nothing waits without a limit:
// a server that does not answer makes the call fail, and the player goes on
// without sound.
//
// What the server does that shapes this: an idle server renders well ahead
// of time (up to 2 s), and takes a new stream in at once only when the
// stream holds at least that much when it starts; otherwise the stream may
// wait up to that long before it is heard. So a stream asks for 2 s ahead,
// and the server starts it once it holds that much (a short sound is padded
// with silence).
#include <pulse/pulseaudio.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "platform/qt/media/AudioOutput.h"

namespace ostrel::platform::qt::media {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kConnectWait = std::chrono::seconds(2);
constexpr auto kStreamWait = std::chrono::seconds(2);
constexpr pa_usec_t kAhead = 2000000;
// A stream with nothing to write looks again this often.
constexpr pa_usec_t kRetry = 10000;
// The server's timing is asked for this often while the position is read.
constexpr double kTimingInterval = 0.010;
// The position runs on from the last timing report for at most this long
// (a server that stopped answering stops the clock soon).
constexpr double kLongestExtrapolation = 0.2;
// A single timing report can be well ahead of what is heard; the position
// moves no faster than the wall clock (plus this), unless the reports stay
// ahead for longer than that.
constexpr double kSlack = 0.002;
constexpr double kAheadTrusted = 0.3;

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

double wallSeconds() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 1e-6;
}

class Lock {
public:
    explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

// Waits for a condition that the library's thread makes true.
class Waiter {
public:
    template <typename Done>
    bool waitFor(Clock::duration limit, Done done) {
        std::unique_lock lock(mutex_);
        return wake_.wait_for(lock, limit, done);
    }
    void wake() {
        std::lock_guard lock(mutex_);
        wake_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
};

void forget(pa_operation* operation) {
    if (operation) pa_operation_unref(operation);
}

class PulseStream;

class PulseOutput final : public AudioOutput {
public:
    ~PulseOutput() override {
        if (loop_) pa_threaded_mainloop_stop(loop_);
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_) pa_threaded_mainloop_free(loop_);
    }

    bool connect() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return false;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "ostrel");
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "video");
        context_ =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "ostrel", properties);
        pa_proplist_free(properties);
        if (!context_) return false;
        pa_context_set_state_callback(context_, &PulseOutput::onState, this);
        // A server is used where one runs; none is ever started for the player.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(loop_) < 0) return false;
        waiter_.waitFor(kConnectWait, [&] {
            const auto state = static_cast<pa_context_state_t>(state_.load());
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        return state_.load() == PA_CONTEXT_READY;
    }

    std::unique_ptr<AudioStream> openStream(int rate, AudioStream::Source source) override;

    bool good() const { return PA_CONTEXT_IS_GOOD(static_cast<pa_context_state_t>(state_.load())); }
    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

private:
    static void onState(pa_context* context, void* self) {
        auto* output = static_cast<PulseOutput*>(self);
        output->state_.store(pa_context_get_state(context));
        output->waiter_.wake();
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<int> state_{PA_CONTEXT_UNCONNECTED};
    Waiter waiter_;
};

class PulseStream final : public AudioStream {
public:
    PulseStream(PulseOutput& output, int rate, Source source)
        : output_(output), source_(std::move(source)) {
        spec_.format = PA_SAMPLE_S16NE;
        spec_.rate = static_cast<std::uint32_t>(rate);
        spec_.channels = 2;
    }

    ~PulseStream() override {
        Lock lock(output_.loop());
        if (retry_) {
            pa_threaded_mainloop_get_api(output_.loop())->time_free(retry_);
            retry_ = nullptr;
        }
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
    }

    bool connect() {
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kAhead, &spec_));
        // The server's own start level: lower ones make it skip sound.
        attributes.prebuf = static_cast<std::uint32_t>(-1);
        attributes.minreq = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(-1);
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        {
            Lock lock(output_.loop());
            stream_ = pa_stream_new(output_.context(), "ostrel", &spec_, &map);
            if (!stream_) return false;
            pa_stream_set_state_callback(stream_, &PulseStream::onState, this);
            pa_stream_set_write_callback(stream_, &PulseStream::onWritable, this);
            // The position is worked out here from the server's reports
            // (its own interpolation runs ahead while a stream waits).
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED |
                                                              PA_STREAM_AUTO_TIMING_UPDATE);
            if (pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr) <
                0) {
                return false;
            }
        }
        waiter_.waitFor(kStreamWait, [&] {
            const auto state = static_cast<pa_stream_state_t>(state_.load());
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        });
        return state_.load() == PA_STREAM_READY;
    }

    void play() override {
        Lock lock(output_.loop());
        forget(pa_stream_cork(stream_, 0, nullptr, nullptr));
        std::lock_guard guard(positionMutex_);
        paused_ = false;
        // Reports from before this moment describe a stream that stood still.
        resumedAt_ = wallSeconds();
        heldAt_ = seconds(Clock::now());
        aheadSince_ = -1;
    }

    void pause() override {
        const double at = position();
        Lock lock(output_.loop());
        forget(pa_stream_cork(stream_, 1, nullptr, nullptr));
        std::lock_guard guard(positionMutex_);
        paused_ = true;
        held_ = at;
    }

    std::int64_t heardFrames() override {
        return heard_.heard(static_cast<std::int64_t>(position() * spec_.rate));
    }

    bool failed() override {
        return !output_.good() || !PA_STREAM_IS_GOOD(static_cast<pa_stream_state_t>(state_.load()));
    }

private:
    // The position of what is heard now, in seconds of the stream: what the
    // server has read of it, less what still waits in the server, run on
    // from the time of the report. Never goes back; stands still while
    // paused.
    double position() {
        Lock lock(output_.loop());
        const double now = seconds(Clock::now());
        if (!timingAsked_ && now - timingAt_ >= kTimingInterval) {
            timingAt_ = now;
            timingAsked_ = true;
            pa_operation* asked =
                pa_stream_update_timing_info(stream_, &PulseStream::onTiming, this);
            if (asked) {
                pa_operation_unref(asked);
            } else {
                timingAsked_ = false;
            }
        }
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        std::lock_guard guard(positionMutex_);
        if (paused_ || !timing || timing->read_index_corrupt) return held_;
        const double reported = static_cast<double>(timing->timestamp.tv_sec) +
                                static_cast<double>(timing->timestamp.tv_usec) * 1e-6;
        if (reported <= resumedAt_) return held_;
        double at =
            static_cast<double>(timing->read_index) / pa_bytes_per_second(&spec_) +
            (static_cast<double>(timing->transport_usec) - static_cast<double>(timing->sink_usec)) /
                1e6;
        if (at <= 0) return held_;
        if (timing->playing) at += std::clamp(wallSeconds() - reported, 0.0, kLongestExtrapolation);
        double limit = held_ + (now - heldAt_) + kSlack;
        if (at > limit) {
            if (aheadSince_ < 0) aheadSince_ = now;
            if (now - aheadSince_ > kAheadTrusted) limit = at;
        } else {
            aheadSince_ = -1;
        }
        at = std::min(at, limit);
        if (at > held_) {
            held_ = at;
            heldAt_ = now;
        }
        return held_;
    }

    // On the library's thread: hands the server what it asks for, as far
    // as the source has it.
    void write(std::size_t bytes) {
        while (bytes >= kFrameBytes) {
            void* data = nullptr;
            std::size_t size = bytes;
            if (pa_stream_begin_write(stream_, &data, &size) < 0 || size < kFrameBytes) return;
            size -= size % kFrameBytes;
            const std::size_t asked = size / kFrameBytes;
            const Pulled pulled = source_(static_cast<std::int16_t*>(data), asked);
            std::size_t frames = std::min(pulled.frames, asked);
            if (pulled.ended) {
                // After its end a stream plays silence: the server's start
                // level is reached and nothing needs draining.
                std::memset(static_cast<std::uint8_t*>(data) + frames * kFrameBytes, 0,
                            (asked - frames) * kFrameBytes);
                heard_.wrote(frames, asked);
                frames = asked;
            } else {
                heard_.wrote(frames, frames);
            }
            if (frames == 0) {
                pa_stream_cancel_write(stream_);
                retryLater();
                return;
            }
            pa_stream_write(stream_, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
            bytes -= frames * kFrameBytes;
            if (frames < asked) {
                retryLater();
                break;
            }
        }
        waiter_.wake();
    }

    void retryLater() {
        if (retry_) return;
        retry_ = pa_context_rttime_new(output_.context(), pa_rtclock_now() + kRetry,
                                       &PulseStream::onRetry, this);
    }

    static void onRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                        void* self) {
        auto* stream = static_cast<PulseStream*>(self);
        api->time_free(event);
        stream->retry_ = nullptr;
        const std::size_t writable = pa_stream_writable_size(stream->stream_);
        if (writable != static_cast<std::size_t>(-1) && writable > 0) stream->write(writable);
    }

    static void onState(pa_stream* stream, void* self) {
        auto* s = static_cast<PulseStream*>(self);
        s->state_.store(pa_stream_get_state(stream));
        s->waiter_.wake();
    }

    static void onWritable(pa_stream*, std::size_t bytes, void* self) {
        static_cast<PulseStream*>(self)->write(bytes);
    }

    static void onTiming(pa_stream*, int, void* self) {
        static_cast<PulseStream*>(self)->timingAsked_ = false;
    }

    static constexpr std::size_t kFrameBytes = 4;

    PulseOutput& output_;
    Source source_;
    pa_sample_spec spec_{};
    pa_stream* stream_ = nullptr;
    std::atomic<int> state_{PA_STREAM_UNCONNECTED};
    Waiter waiter_;
    HeardFrames heard_;
    // The library's thread and the position (under the main loop's lock).
    pa_time_event* retry_ = nullptr;
    bool timingAsked_ = false;
    double timingAt_ = 0;
    // The position, also read by pause().
    std::mutex positionMutex_;
    bool paused_ = true;
    double held_ = 0;
    double heldAt_ = 0;
    double resumedAt_ = 0;
    double aheadSince_ = -1;
};

std::unique_ptr<AudioStream> PulseOutput::openStream(int rate, AudioStream::Source source) {
    if (rate <= 0 || !source || !good()) return nullptr;
    auto stream = std::make_unique<PulseStream>(*this, rate, std::move(source));
    if (!stream->connect()) return nullptr;
    return stream;
}

}  // namespace

std::unique_ptr<AudioOutput> makePulseOutput() {
    auto output = std::make_unique<PulseOutput>();
    if (!output->connect()) return nullptr;
    return output;
}

}  // namespace ostrel::platform::qt::media
