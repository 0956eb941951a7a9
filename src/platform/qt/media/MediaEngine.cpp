#include "platform/qt/media/MediaEngine.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/qt/media/AudioOutput.h"
#include "platform/qt/media/AudioTrack.h"
#include "platform/qt/media/Demuxer.h"
#include "platform/qt/media/Ffmpeg.h"
#include "platform/qt/media/MediaFile.h"
#include "platform/qt/media/VideoTrack.h"

namespace ostrel::platform::qt::media {

namespace {

using Clock = std::chrono::steady_clock;

// How long open waits for the first frame.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
// How long a frame call waits without anything moving (no packet from the
// reader, no sound heard) before it gives up on the clip. Generous: on a
// machine whose cores are all busy a worker may get no time for a while.
constexpr auto kStallLimit = std::chrono::seconds(2);
// The longest single sleep while a frame comes due (the clock runs at the
// pace of a wall clock, so one sleep mostly reaches it).
constexpr auto kLongestSleep = std::chrono::milliseconds(50);
// Seeks this close to where the clock stands are to where it stands.
constexpr Time kSameTime = kUnitsPerSecond / 1000;
// A seek whose key frame lies after its target (where a container has no
// index, seeking is a search by time stamps) tries again this much earlier,
// doubling up to the start of the file.
constexpr Time kFirstBackoff = kUnitsPerSecond;
// After a seek, pictures before the first key frame cannot be shown right;
// past this many of them the stream is taken to mark none.
constexpr int kMostPicturesBeforeAKey = 600;

Time toTime(Clock::duration elapsed) {
    return std::chrono::duration_cast<std::chrono::duration<Time, std::ratio<1, kUnitsPerSecond>>>(
               elapsed)
        .count();
}

// A clip opened up to its first frame: what a prepared open hands over.
struct Clip {
    std::unique_ptr<MediaFile> file;
    std::unique_ptr<Demuxer> demuxer;
    std::unique_ptr<VideoTrack> video;
    std::unique_ptr<AudioTrack> audio;
    Picture first;
    bool hasSound = false;
    std::string error;

    ~Clip() {
        // The workers end before what they read from.
        if (demuxer) demuxer->stop();
    }
};

std::unique_ptr<Clip> loadClip(const std::string& path) {
    auto clip = std::make_unique<Clip>();
    clip->file = MediaFile::open(path, MediaFile::Want::VideoAndSound, clip->error, clip->hasSound);
    if (!clip->file) return clip;
    clip->demuxer = std::make_unique<Demuxer>(*clip->file);
    clip->video = std::make_unique<VideoTrack>(*clip->file, *clip->demuxer);
    clip->demuxer->start();
    // The first picture proves there is a decoder for the video, and tells
    // where the clip's time starts.
    if (clip->video->next(clip->first, Clock::now() + kOpenTimeout) != VideoTrack::Next::Picture) {
        clip->error = "no picture could be decoded";
        clip->video.reset();
        clip->demuxer.reset();
        clip->file.reset();
        return clip;
    }
    if (clip->file->soundDecoder()) {
        auto audio = std::make_unique<AudioTrack>(*clip->file, *clip->demuxer);
        // Without an output stream the clip plays silently.
        if (audio->start(clip->demuxer->generation(), clip->first.time))
            clip->audio = std::move(audio);
    }
    return clip;
}

// The clip being opened ahead, at most one.
struct Prepared {
    std::mutex mutex;
    std::string path;
    std::thread worker;
    std::unique_ptr<Clip> clip;
    ~Prepared() {
        if (worker.joinable()) worker.join();
    }
};
Prepared gPrepared;

// The prepared clip when it is `path`'s (once its opening is done); any
// other is dropped.
std::unique_ptr<Clip> takePrepared(const std::string& path) {
    std::thread worker;
    {
        std::lock_guard lock(gPrepared.mutex);
        worker = std::move(gPrepared.worker);
    }
    if (worker.joinable()) worker.join();
    std::lock_guard lock(gPrepared.mutex);
    std::unique_ptr<Clip> clip = std::move(gPrepared.clip);
    const bool same = gPrepared.path == path;
    gPrepared.path.clear();
    return same ? std::move(clip) : nullptr;
}

}  // namespace

struct MediaEngine::Impl {
    std::unique_ptr<Clip> clip;
    std::string error;
    bool video = false;
    bool audio = false;
    int width = 0;
    int height = 0;
    double fps = 0;
    Time period = 0;
    // The container's time of the first frame, where the player's time 0 is.
    Time origin = 0;
    Time duration = 0;

    // The next picture to deliver, one decoded after it (past a seek), and
    // the last one delivered.
    Picture next;
    Picture pending;
    Picture last;
    std::uint64_t delivered = 0;
    bool endOfStream = false;
    std::uint32_t volumeWhenStopped = 0;
    // A seek not yet carried out: the frame covering it comes next.
    std::optional<Time> seekTarget;
    Time backoff = 0;

    // The clock, on the container's time. It is the sound heard while the
    // clip has sound that has not ended, else a wall clock, which stands
    // still while stopped.
    bool running = false;
    bool soundClock = false;
    Time wallAt = 0;
    Clock::time_point wallSince;

    Time now() {
        if (soundClock) {
            if (!clip->audio->finished()) return clip->audio->heardTime();
            // The sound has ended: the wall clock runs on from its end.
            soundClock = false;
            wallAt = clip->audio->endTime().value_or(clip->audio->heardTime());
            wallSince = Clock::now();
        }
        return running ? wallAt + toTime(Clock::now() - wallSince) : wallAt;
    }

    void setWall(Time at) {
        wallAt = at;
        wallSince = Clock::now();
    }

    // Waits until the clock reaches `due`; false when it stood still too
    // long or the sound output failed.
    bool waitUntil(Time due) {
        Time seen = now();
        auto movedAt = Clock::now();
        while (seen < due) {
            if (soundClock && clip->audio->failed()) return false;
            const Time left = due - seen;
            const auto sleep = std::min<Clock::duration>(
                kLongestSleep, std::chrono::duration<Time, std::ratio<1, kUnitsPerSecond>>(left));
            std::this_thread::sleep_for(sleep);
            const Time t = now();
            if (t != seen) {
                seen = t;
                movedAt = Clock::now();
            } else if (Clock::now() - movedAt > kStallLimit) {
                return false;
            }
        }
        return true;
    }

    // Starts over at `target` (container time): the reader from the key
    // frame at or before `target - backoff`, the sound from `target`.
    void restartAt(Time target) {
        const std::uint64_t generation = clip->demuxer->generation() + 1;
        if (clip->audio) clip->audio->restart(generation, target);
        const Time from = target - backoff;
        clip->demuxer->seek(from > origin ? std::optional<Time>(from) : std::nullopt);
        clip->video->restart(generation);
        next = Picture{};
        soundClock = clip->audio != nullptr;
        setWall(target);
    }

    // Decodes on from the key frame before the seek target to the frame
    // that covers it, which becomes the next one; the one after it, when
    // decoded, is kept for the call after. False when nothing came.
    bool findSoughtFrame() {
        const Time target = *seekTarget;
        Picture candidate;
        bool sawKey = false;
        int beforeKey = 0;
        for (;;) {
            Picture picture;
            const auto result = clip->video->next(picture, Clock::now() + kStallLimit);
            if (result == VideoTrack::Next::Stalled) return false;
            const bool atEnd = result == VideoTrack::Next::End;
            if (!atEnd && !sawKey && !picture.key && ++beforeKey < kMostPicturesBeforeAKey)
                continue;
            // The reader landed after the target (or past the last key frame):
            // go back further.
            const bool late = atEnd ? !sawKey : !sawKey && picture.time > target;
            if (late && target - backoff > origin) {
                backoff = std::min(backoff ? backoff * 2 : kFirstBackoff, target - origin);
                restartAt(target);
                candidate = Picture{};
                beforeKey = 0;
                continue;
            }
            if (atEnd) break;
            sawKey = true;
            if (picture.time > target) {
                if (candidate) {
                    next = std::move(candidate);
                    pending = std::move(picture);
                } else {
                    next = std::move(picture);
                }
                break;
            }
            candidate = std::move(picture);
        }
        if (!next) next = std::move(candidate);
        seekTarget.reset();
        backoff = 0;
        return true;
    }

    void reset() {
        next = Picture{};
        pending = Picture{};
        clip.reset();
        video = audio = false;
        width = height = 0;
        fps = 0;
        period = origin = duration = 0;
        last = Picture{};
        delivered = 0;
        endOfStream = false;
        seekTarget.reset();
        backoff = 0;
        running = soundClock = false;
        wallAt = 0;
    }
};

MediaEngine::MediaEngine() : impl_(std::make_unique<Impl>()) {}

MediaEngine::~MediaEngine() {
    close();
}

void MediaEngine::prepare(const std::string& path) {
    std::lock_guard lock(gPrepared.mutex);
    if (gPrepared.worker.joinable()) return;
    gPrepared.path = path;
    gPrepared.worker = std::thread([path] {
        auto clip = loadClip(path);
        std::lock_guard done(gPrepared.mutex);
        if (gPrepared.path == path) gPrepared.clip = std::move(clip);
    });
}

bool MediaEngine::open(const std::string& path) {
    close();
    Impl& d = *impl_;
    d.error.clear();
    std::unique_ptr<Clip> clip = takePrepared(path);
    if (!clip) clip = loadClip(path);
    d.audio = clip->hasSound;
    if (!clip->file) {
        d.error = clip->error;
        return false;
    }
    d.clip = std::move(clip);
    MediaFile& file = *d.clip->file;
    d.video = true;
    d.width = d.clip->first.frame->width;
    d.height = d.clip->first.frame->height;
    d.fps = file.frameRate();
    d.period =
        d.fps > 0 ? static_cast<Time>(std::llround(kUnitsPerSecond / d.fps)) : kUnitsPerSecond / 25;
    d.origin = d.clip->first.time;
    d.duration = std::max<Time>(0, file.end() - d.origin);
    d.next = std::move(d.clip->first);
    d.soundClock = d.clip->audio != nullptr;
    d.setWall(d.origin);
    // Opening leaves much memory free in the heap; it goes back to the
    // system before the clip plays.
    ::malloc_trim(0);
    return true;
}

void MediaEngine::close() {
    impl_->reset();
}

bool MediaEngine::isOpen() const {
    return impl_->clip != nullptr;
}
bool MediaEngine::hasVideo() const {
    return impl_->video;
}
bool MediaEngine::hasAudio() const {
    return impl_->audio;
}
const std::string& MediaEngine::error() const {
    return impl_->error;
}
int MediaEngine::videoWidth() const {
    return impl_->width;
}
int MediaEngine::videoHeight() const {
    return impl_->height;
}
double MediaEngine::frameRate() const {
    return impl_->fps;
}
std::int64_t MediaEngine::duration() const {
    return impl_->duration;
}
bool MediaEngine::isRunning() const {
    return impl_->running;
}
std::uint64_t MediaEngine::framesDelivered() const {
    return impl_->delivered;
}

std::int64_t MediaEngine::time() const {
    Impl& d = *impl_;
    if (!d.clip) return 0;
    if (d.seekTarget) return *d.seekTarget - d.origin;
    return std::clamp<Time>(d.now() - d.origin, 0, d.duration);
}

bool MediaEngine::seek(std::int64_t time) {
    Impl& d = *impl_;
    if (!d.clip) return false;
    const Time target = d.origin + std::clamp<Time>(time, 0, d.duration);
    // Where a stopped clip already stands (a pause and its resume), the
    // frame on show covers the time: it comes again, and the sound and the
    // frames after it go on from where they stood. Unless the volume
    // changed meanwhile: the sound already handed to the output is then
    // played again at the new level.
    if (!d.running && !d.seekTarget && !d.endOfStream && !d.pending && d.last &&
        outputVolume() == d.volumeWhenStopped && std::llabs(target - d.now()) <= kSameTime &&
        target >= d.last.time && (!d.next || target < d.next.time)) {
        d.pending = std::move(d.next);
        d.next = copyOf(d.last);
        if (d.next) return true;
        d.next = std::move(d.pending);
    }
    d.endOfStream = false;
    d.pending = Picture{};
    d.backoff = 0;
    d.seekTarget = target;
    d.restartAt(target);
    return true;
}

bool MediaEngine::run() {
    Impl& d = *impl_;
    if (!d.clip) return false;
    if (d.running) return true;
    d.running = true;
    d.setWall(d.wallAt);
    if (d.clip->audio) d.clip->audio->play();
    return true;
}

bool MediaEngine::stop() {
    Impl& d = *impl_;
    if (!d.clip) return false;
    if (!d.running) return true;
    d.setWall(d.now());
    d.running = false;
    d.volumeWhenStopped = outputVolume();
    if (d.clip->audio) d.clip->audio->pause();
    return true;
}

Status MediaEngine::updateFrame(std::uint8_t* pixels, int stride, int width, int height) {
    Impl& d = *impl_;
    if (!d.clip || !pixels || width <= 0 || height <= 0 ||
        stride < static_cast<std::int64_t>(width) * 4 || stride % 4 != 0 ||
        reinterpret_cast<std::uintptr_t>(pixels) % 4 != 0) {
        return kFail;
    }
    if (!d.running) return kNotRunning;
    if (d.endOfStream) return kEndOfStream;
    if (d.seekTarget && !d.findSoughtFrame()) return kFail;
    if (!d.next) {
        if (d.pending) {
            d.next = std::move(d.pending);
        } else {
            const auto result = d.clip->video->next(d.next, Clock::now() + kStallLimit);
            if (result == VideoTrack::Next::Stalled) return kFail;
            if (result == VideoTrack::Next::End) {
                // The last frame has its time, and the sound plays out.
                const Time end = d.last ? d.last.time + d.period : d.now();
                if (!d.waitUntil(end)) return kFail;
                while (d.soundClock) {
                    if (!d.waitUntil(d.now() + d.period)) return kFail;
                }
                d.endOfStream = true;
                return kEndOfStream;
            }
        }
    }
    if (!d.clip->video->convert(*d.next.frame, pixels, stride, width, height)) return kFail;
    if (!d.waitUntil(d.next.time)) return kFail;
    d.last = std::move(d.next);
    ++d.delivered;
    return kOk;
}

}  // namespace ostrel::platform::qt::media
