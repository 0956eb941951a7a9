#include "platform/qt/media/AudioTrack.h"

#include <algorithm>
#include <cstring>

#include "platform/qt/media/Ffmpeg.h"

namespace ostrel::platform::qt::media {

namespace {

// Decoded sound kept ahead of the output: enough to ride out a worker that
// gets no CPU for a while on a busy machine.
constexpr int kQueueSeconds = 1;
// Time stamps this close to where the sound stands are taken as exact.
constexpr Time kTolerance = kUnitsPerSecond / 500;
// A jump in the time stamps larger than this is a damaged stream, not a
// pause in the sound: it is not filled with silence.
constexpr Time kLargestGap = 5 * kUnitsPerSecond;
// How long the worker waits for a packet before it looks whether it is
// still wanted.
constexpr auto kTakeWait = std::chrono::seconds(1);
constexpr std::size_t kSilenceChunk = 4096;

}  // namespace

AudioTrack::AudioTrack(MediaFile& file, Demuxer& demuxer) : file_(file), demuxer_(demuxer) {
    rate_ = std::clamp(file.soundDecoder()->sample_rate, 8000, 192000);
    ring_.resize(static_cast<std::size_t>(rate_) * kQueueSeconds * 2);
}

AudioTrack::~AudioTrack() {
    stream_.reset();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    av().swr_free(&resampler_);
}

bool AudioTrack::openStream() {
    stream_ = AudioOutput::instance().openStream(
        rate_, [this](std::int16_t* out, std::size_t frames) { return pull(out, frames); });
    return stream_ != nullptr;
}

bool AudioTrack::start(std::uint64_t generation, std::optional<Time> time) {
    {
        std::lock_guard lock(mutex_);
        generation_ = generation;
        placed_ = time.has_value();
        start_ = time.value_or(0);
    }
    if (!openStream()) return false;
    worker_ = std::thread([this] { run(); });
    return true;
}

void AudioTrack::play() {
    playing_ = true;
    if (stream_) stream_->play();
}

void AudioTrack::pause() {
    playing_ = false;
    if (stream_) stream_->pause();
}

void AudioTrack::restart(std::uint64_t generation, Time time) {
    // The old stream goes first: nothing pulls from the queue meanwhile.
    stream_.reset();
    {
        std::lock_guard lock(mutex_);
        generation_ = generation;
        placed_ = true;
        start_ = time;
        queuedFrames_ = 0;
        ended_ = false;
        ringRead_ = ringCount_ = 0;
    }
    wake_.notify_all();
    if (openStream() && playing_) stream_->play();
}

Time AudioTrack::timeOf(std::int64_t frames) const {
    return start_ + frames * kUnitsPerSecond / rate_;
}

Time AudioTrack::heardTime() {
    const std::int64_t heard = stream_ ? stream_->heardFrames() : 0;
    std::lock_guard lock(mutex_);
    return timeOf(std::min(heard, queuedFrames_));
}

bool AudioTrack::finished() {
    const std::int64_t heard = stream_ ? stream_->heardFrames() : 0;
    std::lock_guard lock(mutex_);
    return ended_ && heard >= queuedFrames_;
}

std::optional<Time> AudioTrack::endTime() {
    std::lock_guard lock(mutex_);
    if (!ended_) return std::nullopt;
    return timeOf(queuedFrames_);
}

bool AudioTrack::failed() {
    return !stream_ || stream_->failed();
}

AudioStream::Pulled AudioTrack::pull(std::int16_t* out, std::size_t frames) {
    std::size_t count;
    bool ended;
    bool refill;
    {
        std::lock_guard lock(mutex_);
        const std::size_t capacity = ring_.size() / 2;
        count = std::min(frames, ringCount_);
        // The worker refills the queue once half of it has been played.
        refill = ringCount_ > capacity / 2 && ringCount_ - count <= capacity / 2;
        const std::size_t first = std::min(count, capacity - ringRead_);
        std::memcpy(out, ring_.data() + ringRead_ * 2, first * 4);
        std::memcpy(out + first * 2, ring_.data(), (count - first) * 4);
        ringRead_ = (ringRead_ + count) % capacity;
        ringCount_ -= count;
        ended = ended_ && ringCount_ == 0;
    }
    if (refill) wake_.notify_all();
    applyOutputVolume(out, count);
    return {count, ended};
}

void AudioTrack::push(const std::int16_t* samples, std::size_t frames, std::uint64_t generation,
                      std::unique_lock<std::mutex>& lock) {
    const std::size_t capacity = ring_.size() / 2;
    while (frames > 0) {
        // The output's pulls, a restart and the end all wake it.
        wake_.wait(lock,
                   [&] { return quit_ || generation_ != generation || ringCount_ < capacity; });
        if (quit_ || generation_ != generation) return;
        if (ringCount_ == capacity) continue;
        const std::size_t write = (ringRead_ + ringCount_) % capacity;
        const std::size_t count = std::min({frames, capacity - ringCount_, capacity - write});
        if (samples) {
            std::memcpy(ring_.data() + write * 2, samples, count * 4);
            samples += count * 2;
        } else {
            std::memset(ring_.data() + write * 2, 0, count * 4);
        }
        ringCount_ += count;
        queuedFrames_ += static_cast<std::int64_t>(count);
        frames -= count;
    }
}

void AudioTrack::place(const std::int16_t* samples, std::size_t frames, std::optional<Time> at,
                       std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    if (generation != generation_) return;
    if (!placed_) {
        start_ = at.value_or(0);
        placed_ = true;
    }
    if (at) {
        const Time off = *at - timeOf(queuedFrames_);
        if (off > kTolerance && off < kLargestGap) {
            push(nullptr, static_cast<std::size_t>(off * rate_ / kUnitsPerSecond), generation,
                 lock);
        } else if (off < -kTolerance) {
            // Sound from before the start (or overlapping what was placed).
            const auto late = static_cast<std::size_t>(-off * rate_ / kUnitsPerSecond);
            const std::size_t cut = std::min(frames, late);
            samples += cut * 2;
            frames -= cut;
        }
    }
    push(samples, frames, generation, lock);
}

bool AudioTrack::configureResampler(const AVFrame* frame) {
    if (resampler_) return true;
    AVChannelLayout in{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        av().av_channel_layout_check(&frame->ch_layout) == 0) {
        av().av_channel_layout_default(&in, std::max(1, frame->ch_layout.nb_channels));
    } else if (av().av_channel_layout_copy(&in, &frame->ch_layout) < 0) {
        return false;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    const int made = av().swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_S16, rate_, &in,
                                              static_cast<AVSampleFormat>(frame->format),
                                              frame->sample_rate, 0, nullptr);
    // A mono sound plays at full level on both channels, as the system's
    // wave output plays it.
    static const double kMonoOnBoth[2] = {1.0, 1.0};
    if (made >= 0 && in.nb_channels == 1) av().swr_set_matrix(resampler_, kMonoOnBoth, 1);
    av().av_channel_layout_uninit(&in);
    if (made < 0 || av().swr_init(resampler_) < 0) {
        av().swr_free(&resampler_);
        return false;
    }
    return true;
}

void AudioTrack::run() {
    AVCodecContext* decoder = file_.soundDecoder();
    const AVStream* stream = file_.soundStream();
    AVFrame* frame = av().av_frame_alloc();
    std::vector<std::int16_t> converted;
    std::uint64_t decoding;
    {
        std::lock_guard lock(mutex_);
        decoding = generation_;
    }
    int lastFormat = -1;
    int lastRate = -1;
    int lastChannels = -1;
    while (frame) {
        {
            // At the end of the stream the worker waits for a restart.
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || !ended_ || generation_ != decoding; });
            if (quit_) break;
        }
        Demuxer::Packet packet;
        const auto taken = demuxer_.take(Demuxer::Kind::Sound, packet,
                                         std::chrono::steady_clock::now() + kTakeWait);
        if (taken == Demuxer::Taken::Stopped) break;
        if (taken == Demuxer::Taken::TimedOut) continue;
        {
            std::lock_guard lock(mutex_);
            if (packet.generation != generation_) continue;
        }
        if (packet.generation != decoding) {
            av().avcodec_flush_buffers(decoder);
            av().swr_free(&resampler_);
            decoding = packet.generation;
        }
        if (av().avcodec_send_packet(decoder, packet.packet.get()) < 0 && packet.packet) continue;
        while (av().avcodec_receive_frame(decoder, frame) == 0) {
            if (frame->format != lastFormat || frame->sample_rate != lastRate ||
                frame->ch_layout.nb_channels != lastChannels) {
                av().swr_free(&resampler_);
                lastFormat = frame->format;
                lastRate = frame->sample_rate;
                lastChannels = frame->ch_layout.nb_channels;
            }
            if (!configureResampler(frame)) {
                av().av_frame_unref(frame);
                continue;
            }
            const int room = av().swr_get_out_samples(resampler_, frame->nb_samples);
            converted.resize(static_cast<std::size_t>(std::max(room, 0)) * 2);
            auto* out = reinterpret_cast<std::uint8_t*>(converted.data());
            const int made = av().swr_convert(
                resampler_, &out, room, const_cast<const std::uint8_t**>(frame->extended_data),
                frame->nb_samples);
            std::optional<Time> at;
            if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                at = toUnits(frame->best_effort_timestamp, stream->time_base.num,
                             stream->time_base.den);
            }
            if (made > 0) place(converted.data(), static_cast<std::size_t>(made), at, decoding);
            av().av_frame_unref(frame);
        }
        if (!packet.packet) {
            // Drained: the decoder takes packets again only after a flush.
            av().avcodec_flush_buffers(decoder);
            std::lock_guard lock(mutex_);
            if (generation_ == decoding) ended_ = true;
        }
    }
    av().av_frame_free(&frame);
}

}  // namespace ostrel::platform::qt::media
