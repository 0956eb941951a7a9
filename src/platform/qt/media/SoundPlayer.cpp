#include "platform/qt/media/SoundPlayer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/qt/media/AudioTrack.h"
#include "platform/qt/media/Demuxer.h"
#include "platform/qt/media/MediaFile.h"

namespace ostrel::platform::qt::media {

namespace {

using Clock = std::chrono::steady_clock;
// A sound whose output stops moving for this long is given up on.
constexpr auto kStallLimit = std::chrono::seconds(2);
constexpr auto kLook = std::chrono::milliseconds(10);

}  // namespace

struct SoundPlayer::Sound {
    std::unique_ptr<MediaFile> file;
    std::unique_ptr<Demuxer> demuxer;
    std::unique_ptr<AudioTrack> track;
    // Watches an asynchronous sound to its end, then lets its output rest.
    std::thread watcher;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool over = false;

    explicit Sound(std::unique_ptr<MediaFile> opened) : file(std::move(opened)) {
        demuxer = std::make_unique<Demuxer>(*file);
        track = std::make_unique<AudioTrack>(*file, *demuxer);
    }
    ~Sound() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        if (watcher.joinable()) watcher.join();
        demuxer->stop();
    }

    bool start() {
        demuxer->start();
        if (!track->start(demuxer->generation(), std::nullopt)) return false;
        track->play();
        return true;
    }

    // Waits for the end of the sound; true when it played to its end.
    bool waitForEnd() {
        Time seen = track->heardTime();
        auto movedAt = Clock::now();
        std::unique_lock lock(mutex);
        while (!stopping) {
            lock.unlock();
            const bool finished = track->finished();
            const bool failed = track->failed();
            const Time heard = track->heardTime();
            lock.lock();
            if (finished || failed) return finished;
            if (heard != seen) {
                seen = heard;
                movedAt = Clock::now();
            } else if (Clock::now() - movedAt > kStallLimit) {
                return false;
            }
            wake.wait_for(lock, kLook);
        }
        return false;
    }

    void finish() {
        track->pause();
        std::lock_guard lock(mutex);
        over = true;
    }
};

SoundPlayer::SoundPlayer() = default;

SoundPlayer::~SoundPlayer() {
    stopAll();
}

bool SoundPlayer::play(const std::string& path, bool synchronous) {
    stopAll();
    std::string error;
    bool hasSound = false;
    auto file = MediaFile::open(path, MediaFile::Want::SoundOnly, error, hasSound);
    if (!file) return false;
    return start(std::make_unique<Sound>(std::move(file)), synchronous);
}

bool SoundPlayer::playBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                            bool synchronous) {
    stopAll();
    std::string error;
    auto file = MediaFile::openBytes(std::move(bytes), MediaFile::Want::SoundOnly, error);
    if (!file) return false;
    return start(std::make_unique<Sound>(std::move(file)), synchronous);
}

bool SoundPlayer::start(std::unique_ptr<Sound> sound, bool synchronous) {
    if (!sound->start()) return false;
    if (synchronous) {
        const bool played = sound->waitForEnd();
        return played;
    }
    Sound* watched = sound.get();
    sound->watcher = std::thread([watched] {
        watched->waitForEnd();
        watched->finish();
    });
    sound_ = std::move(sound);
    return true;
}

void SoundPlayer::stopAll() {
    sound_.reset();
}

bool SoundPlayer::isPlaying() {
    if (!sound_) return false;
    std::lock_guard lock(sound_->mutex);
    return !sound_->over;
}

}  // namespace ostrel::platform::qt::media
