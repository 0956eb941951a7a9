#include "platform/qt/media/Demuxer.h"

#include "platform/qt/media/Ffmpeg.h"

namespace ostrel::platform::qt::media {

namespace {

// Packets each queue is kept at, read ahead of its decoder.
constexpr std::size_t kPacketsAhead = 16;
// Whatever the file, the queues never hold more than this.
constexpr std::size_t kMaxQueuedBytes = 64u << 20;

}  // namespace

void PacketFree::operator()(AVPacket* packet) const {
    av().av_packet_free(&packet);
}

Demuxer::Demuxer(MediaFile& file) : file_(file) {
    video_.wanted = file.videoIndex() >= 0;
    sound_.wanted = file.soundIndex() >= 0;
}

Demuxer::~Demuxer() {
    stop();
}

void Demuxer::start() {
    if (!worker_.joinable() && !stopped_) worker_ = std::thread([this] { run(); });
}

void Demuxer::stop() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        stopped_ = true;
    }
    file_.interrupt();
    readerWake_.notify_all();
    takerWake_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::lock_guard lock(mutex_);
    clearQueues();
}

std::uint64_t Demuxer::seek(std::optional<Time> time) {
    std::lock_guard lock(mutex_);
    ++generation_;
    seekPending_ = true;
    seekTime_ = time;
    clearQueues();
    readerWake_.notify_all();
    return generation_;
}

std::uint64_t Demuxer::generation() {
    std::lock_guard lock(mutex_);
    return generation_;
}

Demuxer::Taken Demuxer::take(Kind kind, Packet& out,
                             std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    Queue& q = queue(kind);
    takerWake_.wait_until(lock, deadline,
                          [&] { return stopped_ || !q.packets.empty() || q.ended; });
    if (stopped_) return Taken::Stopped;
    out.generation = generation_;
    if (!q.packets.empty()) {
        out.packet = std::move(q.packets.front());
        q.packets.pop_front();
        queuedBytes_ -= static_cast<std::size_t>(out.packet->size);
        // The reader tops the queue up in batches, not packet by packet.
        if (q.packets.size() <= kPacketsAhead / 2) readerWake_.notify_all();
        return Taken::Packet;
    }
    if (q.ended) {
        out.packet.reset();
        return Taken::Packet;
    }
    return Taken::TimedOut;
}

bool Demuxer::wantsMore() const {
    if (queuedBytes_ >= kMaxQueuedBytes) return false;
    auto short_ = [](const Queue& q) {
        return q.wanted && !q.ended && q.packets.size() < kPacketsAhead;
    };
    return short_(video_) || short_(sound_);
}

void Demuxer::clearQueues() {
    for (Queue* q : {&video_, &sound_}) {
        q->packets.clear();
        q->ended = false;
    }
    queuedBytes_ = 0;
}

void Demuxer::run() {
    AVFormatContext* format = file_.format();
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (seekPending_) {
            seekPending_ = false;
            const std::optional<Time> time = seekTime_;
            lock.unlock();
            carryOutSeek(time);
            lock.lock();
            continue;
        }
        if (!wantsMore()) {
            // Every take, seek and stop wakes the worker.
            readerWake_.wait(lock);
            continue;
        }
        const std::uint64_t generation = generation_;
        lock.unlock();
        PacketPtr packet(av().av_packet_alloc());
        const int read = packet ? av().av_read_frame(format, packet.get()) : AVERROR(ENOMEM);
        lock.lock();
        if (generation != generation_ || seekPending_) continue;
        if (read == AVERROR(EAGAIN)) {
            readerWake_.wait_for(lock, std::chrono::milliseconds(5));
            continue;
        }
        if (read < 0) {
            // The end of the file, or as far as it can be read.
            video_.ended = sound_.ended = true;
        } else if (packet->stream_index == file_.videoIndex() && video_.wanted) {
            queuedBytes_ += static_cast<std::size_t>(packet->size);
            video_.packets.push_back(std::move(packet));
        } else if (packet->stream_index == file_.soundIndex() && sound_.wanted) {
            queuedBytes_ += static_cast<std::size_t>(packet->size);
            sound_.packets.push_back(std::move(packet));
        }
        takerWake_.notify_all();
    }
}

void Demuxer::carryOutSeek(std::optional<Time> time) {
    AVFormatContext* format = file_.format();
    const AVStream* stream = file_.videoIndex() >= 0 ? file_.videoStream() : file_.soundStream();
    if (!time) {
        // The earliest time there is: a search for the first frame's own time
        // stamp may land after it where the container keeps no index.
        if (av().avformat_seek_file(format, -1, INT64_MIN, INT64_MIN, INT64_MIN, 0) >= 0) return;
        const std::int64_t first = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        av().av_seek_frame(format, stream->index, first, 0);
        return;
    }
    const std::int64_t target = fromUnits(*time, stream->time_base.num, stream->time_base.den);
    if (av().av_seek_frame(format, stream->index, target, AVSEEK_FLAG_BACKWARD) >= 0) return;
    const std::int64_t any = fromUnits(*time, 1, AV_TIME_BASE);
    // Where the stream cannot be sought on its own, the container may be; a
    // file that cannot be sought at all reads on from where it stood.
    av().avformat_seek_file(format, -1, INT64_MIN, any, any, 0);
}
}  // namespace ostrel::platform::qt::media
