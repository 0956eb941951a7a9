// Reads a media file's packets on a worker thread and hands out the video
// and the sound packets in a queue each. The worker reads ahead until each
// queue holds a few packets (and never past a limit of memory), so neither
// side starves the other, whatever the interleaving of the file.
//
// Seeks are carried out by the worker. Each seek starts a new generation:
// the queues are emptied at once, and packets of an older generation are
// never handed out again. Every wait has a deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/qt/media/MediaFile.h"

extern "C" {
struct AVPacket;
}

namespace ostrel::platform::qt::media {

struct PacketFree {
    void operator()(AVPacket* packet) const;
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

class Demuxer {
public:
    enum class Kind { Video, Sound };
    struct Packet {
        // Null at the end of the stream (and after a read error).
        PacketPtr packet;
        std::uint64_t generation = 0;
    };
    enum class Taken { Packet, TimedOut, Stopped };

    explicit Demuxer(MediaFile& file);
    ~Demuxer();
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    void start();
    // Ends the worker; takes answer Stopped from then on.
    void stop();

    // Asks for a seek to the key frame at or before `time` (100 ns units on
    // the container's clock; none: the start of the file) and returns the
    // generation it starts.
    std::uint64_t seek(std::optional<Time> time);
    std::uint64_t generation();

    // The next packet of a queue, waiting until `deadline` at the latest. At
    // the end of the stream every take gives a null packet, until a seek.
    Taken take(Kind kind, Packet& out, std::chrono::steady_clock::time_point deadline);

private:
    struct Queue {
        std::deque<PacketPtr> packets;
        bool ended = false;
        bool wanted = false;
    };
    Queue& queue(Kind kind) { return kind == Kind::Video ? video_ : sound_; }
    bool wantsMore() const;
    void clearQueues();
    void run();
    void carryOutSeek(std::optional<Time> time);

    MediaFile& file_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable readerWake_;
    std::condition_variable takerWake_;
    Queue video_;
    Queue sound_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t generation_ = 0;
    bool seekPending_ = false;
    std::optional<Time> seekTime_;
    bool quit_ = false;
    bool stopped_ = false;
};

}  // namespace ostrel::platform::qt::media
