#include "platform/qt/MpvEngine.h"

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/qt/MpvLibrary.h"

namespace ostrel::platform::qt {

namespace {

using Clock = std::chrono::steady_clock;

// libmpv's calls. Only code that holds an instance calls them, and making
// the instance has waited for the library.
const MpvApi& lib() {
    return *mpvApi();
}

constexpr double kUnitsPerSecond = 1e7;

// How long the end of a clip is confirmed before the last update answers
// "end of stream": libmpv can report the end a moment before it hands over
// the last frame.
constexpr auto kEndGrace = std::chrono::milliseconds(100);
// How often a frame update that is kept waiting checks for the end.
constexpr auto kEndCheckInterval = std::chrono::milliseconds(250);
// How long open waits for libmpv to load a file and decode its first frame.
constexpr auto kLoadTimeout = std::chrono::seconds(30);
// A seek that libmpv acknowledged but never carried out (it reports neither
// the seek nor the restart of playback) stops holding frames back after this.
constexpr auto kSeekTimeout = std::chrono::seconds(2);
// How long closing waits for libmpv to unload the file.
constexpr auto kStopTimeout = std::chrono::seconds(1);
// libmpv's exact seek keeps frames that start up to this much before the
// target.
constexpr double kSeekTolerance = 0.005;
// Frames rendered ahead of the player. The player takes each one as soon as
// it is due, so more than one waits only when the player is held up; beyond
// this the oldest is dropped rather than making libmpv's video output wait.
constexpr std::size_t kMaxQueuedFrames = 4;

// Tags of asynchronous requests, told apart in their replies.
constexpr std::uint64_t kReplyLoad = 1;
constexpr std::uint64_t kReplySeekTag = 1ull << 62;
constexpr std::uint64_t kObserveEof = 1;

double unitsToSeconds(std::int64_t units) {
    return static_cast<double>(units) / kUnitsPerSecond;
}

std::int64_t secondsToUnits(double seconds) {
    if (!std::isfinite(seconds)) return 0;
    const double units = std::round(seconds * kUnitsPerSecond);
    if (units >= 9.2e18) return INT64_MAX;
    if (units <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(units);
}

bool isRegularFile(const std::string& path, bool& exists) {
    struct stat st {};
    exists = ::stat(path.c_str(), &st) == 0;
    return exists && S_ISREG(st.st_mode);
}

// libmpv reads "-" as standard input and "name://..." as a protocol; a
// relative path is anchored to the current folder so it is always a file.
std::string fileArgument(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return "./" + path;
}

// A number as libmpv reads it, to a picosecond when it is a time.
std::string formatNumber(double value) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 12);
    return std::string(text, result.ptr);
}

// --- The output volume, shared by every libmpv instance of the process. ---

std::mutex gVolumeMutex;
std::uint32_t gOutputVolume = 0xFFFFFFFFu;
std::vector<mpv_handle*> gVolumeHandles;

void applyVolume(mpv_handle* mpv, std::uint32_t waveVolume) {
    double volume = softwareVolume(waveVolume);
    lib().set_property_async(mpv, 0, "volume", MPV_FORMAT_DOUBLE, &volume);
}

void registerVolumeHandle(mpv_handle* mpv) {
    std::lock_guard lock(gVolumeMutex);
    gVolumeHandles.push_back(mpv);
    // The volume may have changed between creating the instance and here.
    applyVolume(mpv, gOutputVolume);
}

void unregisterVolumeHandle(mpv_handle* mpv) {
    std::lock_guard lock(gVolumeMutex);
    std::erase(gVolumeHandles, mpv);
}

// --- Creating a libmpv instance with the player's settings. ---

bool setOption(mpv_handle* mpv, const char* name, const std::string& value, std::string& error) {
    if (lib().set_option_string(mpv, name, value.c_str()) >= 0) return true;
    error = std::string("libmpv refused the setting ") + name + "=" + value;
    return false;
}

enum class InstanceKind { Video, Sound };

mpv_handle* createInstance(InstanceKind kind, std::string& error) {
    // libmpv refuses to start unless numbers are formatted the C way; a Qt
    // application has set the user's locale by now.
    std::setlocale(LC_NUMERIC, "C");
    if (!mpvApi()) {
        error = mpvLoadError();
        return nullptr;
    }
    mpv_handle* mpv = lib().create();
    if (!mpv) {
        error = "libmpv could not be created";
        return nullptr;
    }
    bool ok = true;
    auto must = [&](const char* name, const std::string& value) {
        ok = setOption(mpv, name, value, error) && ok;
    };
    // Settings that only keep libmpv from doing things on its own (reading
    // the user's configuration, drawing on-screen text or subtitles into the
    // frames, running scripts); a libmpv without one of them still plays.
    std::string ignored;
    for (const auto& [name, value] : {
             std::pair{"config", "no"},
             {"terminal", "no"},
             {"input-default-bindings", "no"},
             {"input-vo-keyboard", "no"},
             {"load-scripts", "no"},
             {"ytdl", "no"},
             {"osd-level", "0"},
             {"sub-auto", "no"},
             {"sid", "no"},
             {"audio-display", "no"},
             {"resume-playback", "no"},
             {"save-position-on-quit", "no"},
             {"audio-client-name", "ostrel"},
             // libmpv's own overlays and profile switching, each a script
             // with a thread and some megabytes of its own.
             {"load-stats-overlay", "no"},
             {"load-osd-console", "no"},
             {"load-auto-profiles", "no"},
         }) {
        setOption(mpv, name, value, ignored);
    }
    must("idle", "yes");
    must("hwdec", "no");
    // Audio-only items end when their audio ends, not early.
    must("gapless-audio", "no");
    if (kind == InstanceKind::Video) {
        must("vo", "libmpv");
        // Files open stopped at their start; run() starts them.
        must("pause", "yes");
        // At the end the clip stays loaded and playing on, so the last frame
        // is handed over and the stream can still be timed and sought.
        must("keep-open", "yes");
        must("keep-open-pause", "no");
        // Exact seeks; MPEG program streams land late without the offset.
        must("hr-seek", "yes");
        must("hr-seek-demuxer-offset", "1.0");
        // Every frame is delivered: the player's pace is the pace of updates.
        must("framedrop", "no");
        // The frame fills the whole sample; the blit scales it afterwards.
        must("keepaspect", "no");
        // A third less CPU for the same pixels.
        must("sws-allow-zimg", "no");
        must("sws-fast", "yes");
        // The player's clips decode many times faster than they play on one
        // core; one decoding thread holds a third less memory than one per
        // core, for the same CPU time.
        must("vd-lavc-threads", "1");
    } else {
        must("vid", "no");
        must("vo", "null");
        must("keep-open", "no");
        // Loaded stopped, so its tracks are known before it can end.
        must("pause", "yes");
    }

    // The audio output: the default one unless the environment names one.
    if (const char* out = std::getenv("OSTREL_AUDIO_OUT"); out && *out) {
        const std::string value = out;
        if (value.rfind("pcm:", 0) == 0) {
            must("ao", "pcm");
            must("ao-pcm-file", value.substr(4));
        } else {
            must("ao", value);
        }
    }
    must("volume", formatNumber(softwareVolume(outputVolume())));

    if (ok && lib().initialize(mpv) < 0) {
        error = "libmpv could not be initialised";
        ok = false;
    }
    if (!ok) {
        lib().terminate_destroy(mpv);
        return nullptr;
    }
    registerVolumeHandle(mpv);
    return mpv;
}

void destroyInstance(mpv_handle*& mpv) {
    if (!mpv) return;
    unregisterVolumeHandle(mpv);
    lib().set_wakeup_callback(mpv, nullptr, nullptr);
    lib().terminate_destroy(mpv);
    mpv = nullptr;
}

std::string getString(mpv_handle* mpv, const char* name) {
    char* value = lib().get_property_string(mpv, name);
    if (!value) return {};
    std::string result = value;
    lib().free(value);
    return result;
}

double getDouble(mpv_handle* mpv, const char* name, double fallback) {
    double value = fallback;
    if (lib().get_property(mpv, name, MPV_FORMAT_DOUBLE, &value) < 0) return fallback;
    return value;
}

std::int64_t getInt(mpv_handle* mpv, const char* name) {
    std::int64_t value = 0;
    if (lib().get_property(mpv, name, MPV_FORMAT_INT64, &value) < 0) return 0;
    return value;
}

bool getFlag(mpv_handle* mpv, const char* name) {
    int value = 0;
    if (lib().get_property(mpv, name, MPV_FORMAT_FLAG, &value) < 0) return false;
    return value != 0;
}

// A selected track of the given kind ("video", "audio") that is not just a
// picture attached to an audio file.
bool hasTrack(mpv_handle* mpv, const char* kind) {
    const std::int64_t count = getInt(mpv, "track-list/count");
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string prefix = "track-list/" + std::to_string(i) + "/";
        if (getString(mpv, (prefix + "type").c_str()) != kind) continue;
        if (getString(mpv, (prefix + "albumart").c_str()) == "yes") continue;
        if (getString(mpv, (prefix + "selected").c_str()) == "yes") return true;
    }
    return false;
}

enum class SeekPhase { None, Requested, Executed };

// A frame buffer aligned as libmpv's software renderer likes it (64 bytes).
struct FrameBuffer {
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, Free> data;
    std::size_t capacity = 0;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;

    bool reserve(int w, int h) {
        const std::size_t rowBytes = (static_cast<std::size_t>(w) * 4 + 63) / 64 * 64;
        const std::size_t bytes = rowBytes * static_cast<std::size_t>(h);
        if (bytes > capacity) {
            data.reset(static_cast<std::uint8_t*>(std::aligned_alloc(64, bytes)));
            capacity = data ? bytes : 0;
            if (!data) return false;
        }
        stride = rowBytes;
        width = w;
        height = h;
        return true;
    }
};

// Copies a queued frame into the caller's buffer, scaling by nearest
// neighbour when the caller asked for another size than it was rendered at.
void deliver(const FrameBuffer& frame, std::uint8_t* pixels, int stride, int width, int height) {
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::size_t>(y) * stride);
        const int sy = frame.height == height
                           ? y
                           : static_cast<int>(static_cast<std::int64_t>(y) * frame.height / height);
        const auto* in =
            reinterpret_cast<const std::uint32_t*>(frame.data.get() + sy * frame.stride);
        if (frame.width == width) {
            std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
        } else {
            for (int x = 0; x < width; ++x)
                out[x] = in[static_cast<std::int64_t>(x) * frame.width / width];
        }
    }
}

}  // namespace

// --- Output volume ---

double softwareVolume(std::uint32_t waveVolume) {
    const std::uint32_t left = waveVolume & 0xFFFFu;
    const std::uint32_t right = waveVolume >> 16;
    const double amplitude = static_cast<double>(std::max(left, right)) / 65535.0;
    return 100.0 * std::cbrt(amplitude);
}

void setOutputVolume(std::uint32_t waveVolume) {
    std::lock_guard lock(gVolumeMutex);
    gOutputVolume = waveVolume;
    for (mpv_handle* mpv : gVolumeHandles)
        applyVolume(mpv, waveVolume);
}

std::uint32_t outputVolume() {
    std::lock_guard lock(gVolumeMutex);
    return gOutputVolume;
}

// --- MpvEngine ---

struct MpvEngine::Impl {
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    std::thread worker;

    // Shared between the player's thread, the worker and libmpv's callbacks.
    std::mutex mutex;
    std::condition_variable workerWake;
    std::condition_variable playerWake;
    bool quit = false;
    bool eventsWaiting = false;
    bool renderWaiting = false;
    // What libmpv reported about the file.
    bool fileLoaded = false;
    bool fileEnded = false;
    bool videoConfigured = false;
    bool endOfFile = false;
    Clock::time_point endOfFileSince;
    // The seek under way. Until libmpv reports it carried out, frames it
    // hands over are from before it (one may still be on its way); after
    // that, the frame it hands over before it restarts playback is the one
    // sought to. Each seek starts a new generation of frames.
    SeekPhase seekPhase = SeekPhase::None;
    std::uint64_t seekId = 0;
    std::uint64_t seekGeneration = 0;
    bool seekReplied = false;
    Clock::time_point seekRepliedAt;
    std::int64_t seekTarget = 0;
    // Frames rendered and waiting for the player, the frame sought to while
    // the seek completes, and spare buffers.
    std::deque<FrameBuffer> ready;
    std::optional<FrameBuffer> sought;
    std::vector<FrameBuffer> spare;
    int targetWidth = 0;
    int targetHeight = 0;
    // The player's buffer while it waits in updateFrame with nothing
    // queued: the next frame is rendered straight into it, sparing a copy
    // of every frame. Busy while the worker renders into it; filled once a
    // frame is in it.
    struct Target {
        std::uint8_t* pixels = nullptr;
        std::size_t stride = 0;
        int width = 0;
        int height = 0;
    };
    std::optional<Target> target;
    bool targetBusy = false;
    bool targetFilled = false;
    // A new frame libmpv handed over before the render size was known: it
    // is libmpv's current picture and is rendered again once the size is.
    bool currentUndelivered = false;
    std::uint64_t currentGeneration = 0;
    bool redrawing = false;
    // What libmpv's video output handed over last and when it is due (the
    // worker's own).
    struct Handover {
        bool waiting = false;
        bool present = false;
        bool redraw = false;
        Clock::time_point due;
    };
    Handover handover;

    // The player's side (only its thread touches these).
    bool isOpen = false;
    bool video = false;
    bool audio = false;
    bool running = false;
    // After a seek on a stopped stream its time is the time sought to,
    // until it runs again.
    bool holdTime = false;
    std::int64_t heldTime = 0;
    int width = 0;
    int height = 0;
    double fps = 0;
    std::int64_t duration = 0;
    std::uint64_t delivered = 0;
    std::string error;

    static void onWakeup(void* data) {
        auto* self = static_cast<Impl*>(data);
        {
            std::lock_guard lock(self->mutex);
            self->eventsWaiting = true;
        }
        self->workerWake.notify_one();
    }

    static void onRenderUpdate(void* data) {
        auto* self = static_cast<Impl*>(data);
        {
            std::lock_guard lock(self->mutex);
            self->renderWaiting = true;
        }
        self->workerWake.notify_one();
    }

    void workerLoop() {
        std::unique_lock lock(mutex);
        for (;;) {
            auto woken = [&] { return quit || eventsWaiting || renderWaiting; };
            if (handover.waiting) {
                workerWake.wait_until(lock, handover.due, woken);
            } else {
                workerWake.wait(lock, woken);
            }
            if (quit) return;
            eventsWaiting = false;
            const bool updated = renderWaiting;
            renderWaiting = false;
            lock.unlock();
            // Events first: a seek libmpv has carried out must be known
            // before the frames that follow it are taken.
            drainEvents();
            if (updated) takeUpdate();
            if (handover.waiting && Clock::now() >= handover.due) serviceRender();
            lock.lock();
        }
    }

    // Notes what libmpv's video output has handed over. A new frame waits
    // for its due time; anything else is dealt with at once.
    void takeUpdate() {
        const std::uint64_t flags = lib().render_context_update(render);
        mpv_render_frame_info info{};
        if (flags & MPV_RENDER_UPDATE_FRAME) {
            lib().render_context_get_info(render, {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info});
        }
        const bool present = info.flags & MPV_RENDER_FRAME_INFO_PRESENT;
        // An update without a frame does not displace a frame that waits.
        if (handover.waiting && handover.present && !present) return;
        handover.waiting = true;
        handover.present = present;
        handover.redraw = info.flags & MPV_RENDER_FRAME_INFO_REDRAW;
        handover.due = Clock::now();
        if (present && !handover.redraw && info.target_time > 0) {
            handover.due += std::chrono::microseconds(info.target_time - lib().get_time_us(mpv));
        }
    }

    void drainEvents() {
        for (;;) {
            mpv_event* event = lib().wait_event(mpv, 0);
            if (event->event_id == MPV_EVENT_NONE) return;
            {
                std::lock_guard lock(mutex);
                handleEvent(*event);
            }
            playerWake.notify_all();
        }
    }

    void handleEvent(const mpv_event& event) {
        switch (event.event_id) {
            case MPV_EVENT_FILE_LOADED:
                fileLoaded = true;
                break;
            case MPV_EVENT_END_FILE:
                fileEnded = true;
                break;
            case MPV_EVENT_SHUTDOWN:
                fileEnded = true;
                break;
            case MPV_EVENT_VIDEO_RECONFIG:
                videoConfigured = true;
                break;
            case MPV_EVENT_COMMAND_REPLY:
                if (seekPhase == SeekPhase::Requested &&
                    event.reply_userdata == (kReplySeekTag | seekId)) {
                    if (event.error < 0) {
                        seekPhase = SeekPhase::None;
                    } else {
                        seekReplied = true;
                        seekRepliedAt = Clock::now();
                    }
                }
                break;
            case MPV_EVENT_SEEK:
                if (seekPhase == SeekPhase::Requested && seekReplied) {
                    seekPhase = SeekPhase::Executed;
                    dropSought();
                }
                break;
            case MPV_EVENT_PLAYBACK_RESTART:
                // Only after the seek itself: a restart reported between
                // the request and its execution belongs to an earlier one.
                if (seekPhase == SeekPhase::Executed) finishSeek();
                break;
            case MPV_EVENT_PROPERTY_CHANGE:
                if (event.reply_userdata == kObserveEof) {
                    const auto* property = static_cast<const mpv_event_property*>(event.data);
                    const bool atEnd = property->format == MPV_FORMAT_FLAG &&
                                       *static_cast<const int*>(property->data) != 0;
                    // A report from before a seek says nothing about after it.
                    if (atEnd && seekPhase == SeekPhase::None) {
                        if (!endOfFile) endOfFileSince = Clock::now();
                        endOfFile = true;
                    } else if (!atEnd) {
                        endOfFile = false;
                    }
                }
                break;
            default:
                break;
        }
    }

    void dropSought() {
        if (!sought) return;
        spare.push_back(std::move(*sought));
        sought.reset();
    }

    // The seek is complete: the frame sought to leads the queue.
    void finishSeek() {
        seekPhase = SeekPhase::None;
        if (sought) {
            ready.push_back(std::move(*sought));
            sought.reset();
        }
    }

    // Takes what libmpv's video output handed over, once it is due. A new
    // frame is rendered straight into the player's buffer when the player
    // waits for it, else into a buffer that joins the queue. Redraws and
    // frames from before a seek are taken without rendering, so the video
    // output never waits for us.
    void serviceRender() {
        const bool present = handover.present;
        const bool redraw = handover.redraw;
        handover.waiting = false;

        std::unique_lock lock(mutex);
        const std::uint64_t generation = seekGeneration;
        const bool sizeKnown = targetWidth > 0 && targetHeight > 0;
        const bool redrawWanted = currentUndelivered && sizeKnown &&
                                  currentGeneration == generation && seekPhase == SeekPhase::None;
        bool renderIt = false;
        if (present && !redraw) {
            if (seekPhase == SeekPhase::Requested) {
                // Left over from before the seek.
            } else if (!sizeKnown) {
                currentUndelivered = true;
                currentGeneration = generation;
            } else {
                currentUndelivered = false;
                renderIt = true;
            }
        } else if (redrawWanted) {
            // A redraw, or nothing waiting at all: rendering draws libmpv's
            // current picture, the frame that arrived before the size was
            // known.
            currentUndelivered = false;
            redrawing = true;
            renderIt = true;
        }
        if (!renderIt) {
            lock.unlock();
            if (present) skipFrame();
            return;
        }
        if (target && ready.empty() && seekPhase == SeekPhase::None &&
            target->width == targetWidth && target->height == targetHeight) {
            const Target into = *target;
            target.reset();
            targetBusy = true;
            lock.unlock();
            renderInto(into.pixels, into.stride, into.width, into.height);
            lock.lock();
            targetBusy = false;
            targetFilled = generation == seekGeneration;
            redrawing = false;
            lock.unlock();
            playerWake.notify_all();
            return;
        }
        FrameBuffer buffer;
        if (!spare.empty()) {
            buffer = std::move(spare.back());
            spare.pop_back();
        }
        const int w = targetWidth;
        const int h = targetHeight;
        lock.unlock();
        if (!buffer.reserve(w, h)) {
            lock.lock();
            redrawing = false;
            lock.unlock();
            playerWake.notify_all();
            skipFrame();
            return;
        }
        renderInto(buffer.data.get(), buffer.stride, buffer.width, buffer.height);
        lock.lock();
        redrawing = false;
        if (generation != seekGeneration) {
            spare.push_back(std::move(buffer));
        } else if (seekPhase == SeekPhase::Executed) {
            // The newest frame since the seek was carried out; libmpv hands
            // over no other before it restarts playback.
            dropSought();
            sought = std::move(buffer);
        } else {
            ready.push_back(std::move(buffer));
            if (ready.size() > kMaxQueuedFrames) {
                spare.push_back(std::move(ready.front()));
                ready.pop_front();
            }
        }
        lock.unlock();
        playerWake.notify_all();
    }

    // Renders libmpv's newest frame (the caller waited until it is due). The fourth
    // byte of each pixel is the converter's (libswscale writes 0xFF); RGB32
    // pictures are opaque whatever it holds.
    void renderInto(std::uint8_t* pixels, std::size_t stride, int width, int height) {
        int size[2] = {width, height};
        char format[] = "bgr0";
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, size},
            {MPV_RENDER_PARAM_SW_FORMAT, format},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},
            {MPV_RENDER_PARAM_SW_POINTER, pixels},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        lib().render_context_render(render, params);
    }

    void skipFrame() {
        int skip = 1;
        int block = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
            {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        lib().render_context_render(render, params);
    }

    // Waits on the player's thread until `done` holds or the deadline
    // passes; true when it holds.
    template <typename Predicate>
    bool waitFor(Clock::duration timeout, Predicate done) {
        std::unique_lock lock(mutex);
        return playerWake.wait_for(lock, timeout, done);
    }

    bool start(const std::string& path) {
        mpv = createInstance(InstanceKind::Video, error);
        if (!mpv) return false;
        char apiType[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, apiType},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (lib().render_context_create(&render, mpv, params) < 0) {
            render = nullptr;
            error = "libmpv has no software renderer";
            return false;
        }
        lib().render_context_set_update_callback(render, &Impl::onRenderUpdate, this);
        lib().set_wakeup_callback(mpv, &Impl::onWakeup, this);
        lib().observe_property(mpv, kObserveEof, "eof-reached", MPV_FORMAT_FLAG);
        worker = std::thread([this] { workerLoop(); });

        const std::string file = fileArgument(path);
        const char* command[] = {"loadfile", file.c_str(), "replace", nullptr};
        if (lib().command_async(mpv, kReplyLoad, command) < 0) {
            error = "libmpv refused to load the file";
            return false;
        }
        if (!waitFor(kLoadTimeout, [&] { return fileLoaded || fileEnded; }) || !fileLoaded) {
            error = "not a media file libmpv can read";
            return false;
        }
        video = hasTrack(mpv, "video");
        audio = hasTrack(mpv, "audio");
        if (!video) {
            error = "no video track";
            return false;
        }
        // The first frame decoded proves there is a decoder for the video.
        if (!waitFor(kLoadTimeout, [&] { return videoConfigured || fileEnded; }) ||
            !videoConfigured || !hasTrack(mpv, "video")) {
            video = false;
            error = "no decoder for the video";
            return false;
        }
        width = static_cast<int>(getInt(mpv, "width"));
        height = static_cast<int>(getInt(mpv, "height"));
        if (width <= 0 || height <= 0) {
            error = "the video has no size";
            return false;
        }
        duration = std::max<std::int64_t>(0, secondsToUnits(getDouble(mpv, "duration", 0)));
        fps = getDouble(mpv, "container-fps", 0);
        if (!std::isfinite(fps) || fps < 0) fps = 0;
        {
            std::lock_guard lock(mutex);
            targetWidth = width;
            targetHeight = height;
            renderWaiting = true;
        }
        workerWake.notify_one();
        // The first frame may have come before its size was known; it is
        // rendered now, while the clip is stopped and nothing newer can
        // take its place.
        waitFor(kStopTimeout, [&] { return !currentUndelivered && !redrawing; });
        return true;
    }

    void stopWorker() {
        if (!worker.joinable()) return;
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        workerWake.notify_all();
        worker.join();
    }

    void shutdown() {
        // Unload the file while the worker still takes frames: libmpv's
        // video output otherwise waits up to 200 ms for a frame nobody takes.
        if (mpv && worker.joinable()) {
            const char* command[] = {"stop", nullptr};
            if (lib().command_async(mpv, 0, command) >= 0) {
                waitFor(kStopTimeout, [&] { return fileEnded; });
            }
        }
        stopWorker();
        if (render) {
            lib().render_context_set_update_callback(render, nullptr, nullptr);
            lib().render_context_free(render);
            render = nullptr;
        }
        destroyInstance(mpv);
        std::lock_guard lock(mutex);
        quit = eventsWaiting = renderWaiting = false;
        fileLoaded = fileEnded = videoConfigured = endOfFile = false;
        seekPhase = SeekPhase::None;
        seekReplied = false;
        seekTarget = 0;
        ready.clear();
        sought.reset();
        spare.clear();
        targetWidth = targetHeight = 0;
        currentUndelivered = redrawing = false;
        target.reset();
        targetBusy = targetFilled = false;
        handover = Handover{};
        isOpen = running = holdTime = false;
        video = audio = false;
        heldTime = 0;
        width = height = 0;
        fps = 0;
        duration = 0;
        delivered = 0;
    }
};

MpvEngine::MpvEngine() : impl_(std::make_unique<Impl>()) {}

MpvEngine::~MpvEngine() {
    close();
}

bool MpvEngine::open(const std::string& path) {
    close();
    Impl& d = *impl_;
    d.error.clear();
    d.video = d.audio = false;
    bool exists = false;
    if (!isRegularFile(path, exists)) {
        d.error = exists ? "not a file" : "no such file";
        return false;
    }
    if (!d.start(path)) {
        // Keep what was learnt about the file; drop everything else.
        const std::string error = d.error;
        const bool video = d.video;
        const bool audio = d.audio;
        d.shutdown();
        d.error = error;
        d.video = video;
        d.audio = audio;
        return false;
    }
    d.isOpen = true;
    // Start-up and probing the file leave much memory free in the heap;
    // it goes back to the system before the clip plays.
    ::malloc_trim(0);
    return true;
}

void MpvEngine::close() {
    impl_->shutdown();
}

bool MpvEngine::isOpen() const {
    return impl_->isOpen;
}
bool MpvEngine::hasVideo() const {
    return impl_->video;
}
bool MpvEngine::hasAudio() const {
    return impl_->audio;
}
const std::string& MpvEngine::error() const {
    return impl_->error;
}
int MpvEngine::videoWidth() const {
    return impl_->width;
}
int MpvEngine::videoHeight() const {
    return impl_->height;
}
double MpvEngine::frameRate() const {
    return impl_->fps;
}
std::int64_t MpvEngine::duration() const {
    return impl_->duration;
}
bool MpvEngine::isRunning() const {
    return impl_->running;
}
std::uint64_t MpvEngine::framesDelivered() const {
    return impl_->delivered;
}

std::int64_t MpvEngine::time() const {
    Impl& d = *impl_;
    if (!d.isOpen) return 0;
    if (d.holdTime) return d.heldTime;
    {
        std::lock_guard lock(d.mutex);
        if (d.seekPhase != SeekPhase::None) return d.seekTarget;
    }
    double seconds = 0;
    if (lib().get_property(d.mpv, "time-pos", MPV_FORMAT_DOUBLE, &seconds) < 0) return 0;
    return std::max<std::int64_t>(0, secondsToUnits(seconds));
}

bool MpvEngine::seek(std::int64_t time) {
    Impl& d = *impl_;
    if (!d.isOpen) return false;
    // libmpv shows the first frame that starts no earlier than 5 ms before
    // the target. The frame covering `time` is the first one that starts
    // after `time` less one frame, so aim one frame (of the container's rate)
    // early, plus those 5 ms and a nanosecond (so a frame starting exactly a
    // frame before `time` is passed over).
    double seconds = unitsToSeconds(time);
    if (d.fps > 0) seconds -= 1.0 / d.fps - kSeekTolerance - 1e-9;
    seconds = std::clamp(seconds, 0.0, 1e12);
    const std::int64_t reachable = std::clamp<std::int64_t>(time, 0, d.duration);
    if (!d.running) {
        d.holdTime = true;
        d.heldTime = reachable;
    }
    std::uint64_t id;
    {
        std::lock_guard lock(d.mutex);
        id = ++d.seekId;
        ++d.seekGeneration;
        d.seekPhase = SeekPhase::Requested;
        d.seekReplied = false;
        d.seekTarget = reachable;
        d.endOfFile = false;
        d.currentUndelivered = false;
        d.dropSought();
        while (!d.ready.empty()) {
            d.spare.push_back(std::move(d.ready.front()));
            d.ready.pop_front();
        }
    }
    const std::string target = formatNumber(seconds);
    const char* command[] = {"seek", target.c_str(), "absolute+exact", nullptr};
    if (lib().command_async(d.mpv, kReplySeekTag | id, command) < 0) {
        std::lock_guard lock(d.mutex);
        d.seekPhase = SeekPhase::None;
        return false;
    }
    return true;
}

bool MpvEngine::run() {
    Impl& d = *impl_;
    if (!d.isOpen) return false;
    int pause = 0;
    if (lib().set_property_async(d.mpv, 0, "pause", MPV_FORMAT_FLAG, &pause) < 0) return false;
    d.running = true;
    d.holdTime = false;
    return true;
}

bool MpvEngine::stop() {
    Impl& d = *impl_;
    if (!d.isOpen) return false;
    int pause = 1;
    if (lib().set_property_async(d.mpv, 0, "pause", MPV_FORMAT_FLAG, &pause) < 0) return false;
    d.running = false;
    return true;
}

Status MpvEngine::updateFrame(std::uint8_t* pixels, int stride, int width, int height) {
    Impl& d = *impl_;
    if (!d.isOpen || !pixels || width <= 0 || height <= 0 ||
        stride < static_cast<std::int64_t>(width) * 4 || stride % 4 != 0 ||
        reinterpret_cast<std::uintptr_t>(pixels) % 4 != 0) {
        return kFail;
    }
    std::unique_lock lock(d.mutex);
    if (d.targetWidth != width || d.targetHeight != height) {
        d.targetWidth = width;
        d.targetHeight = height;
    }
    if (!d.running) return kNotRunning;
    d.targetFilled = false;
    // Every way out takes the buffer back from the worker first; a frame
    // it finished rendering into the buffer meanwhile is the answer.
    auto answer = [&](Status status) {
        d.target.reset();
        d.playerWake.wait(lock, [&] { return !d.targetBusy; });
        if (d.targetFilled) {
            d.targetFilled = false;
            ++d.delivered;
            return kOk;
        }
        return status;
    };
    // Frames come at the clip's rate; a wait longer than this may be the end.
    auto nextEndCheck = Clock::now() + kEndCheckInterval;
    for (;;) {
        if (d.targetFilled) return answer(kOk);
        const bool seeking = d.seekPhase != SeekPhase::None;
        if (seeking && d.seekReplied && Clock::now() - d.seekRepliedAt > kSeekTimeout) {
            d.finishSeek();
            continue;
        }
        if (!seeking && !d.ready.empty() && !d.targetBusy) {
            d.target.reset();
            FrameBuffer frame = std::move(d.ready.front());
            d.ready.pop_front();
            lock.unlock();
            deliver(frame, pixels, stride, width, height);
            lock.lock();
            // Frames are queued only now and then (the player usually waits
            // for them): the queue's buffers are given back once it drains.
            if (d.ready.empty()) {
                d.spare.clear();
            } else {
                d.spare.push_back(std::move(frame));
            }
            ++d.delivered;
            return kOk;
        }
        if (!d.target && !d.targetBusy) {
            d.target = Impl::Target{pixels, static_cast<std::size_t>(stride), width, height};
        }
        if (d.fileEnded) return answer(kFail);
        const auto now = Clock::now();
        if (!seeking && d.endOfFile) {
            const auto due = d.endOfFileSince + kEndGrace;
            if (now >= due) {
                // Ask libmpv itself: the report may predate the last command.
                lock.unlock();
                const bool atEnd = getFlag(d.mpv, "eof-reached");
                lock.lock();
                if (d.targetFilled || !d.ready.empty() || d.seekPhase != SeekPhase::None) continue;
                if (atEnd) return answer(kEndOfStream);
                d.endOfFile = false;
                continue;
            }
            d.playerWake.wait_until(lock, due);
            continue;
        }
        if (!seeking && now >= nextEndCheck) {
            // libmpv reports the end when it changes; one that did not
            // change over a seek is not reported again, so look now and then.
            nextEndCheck = now + kEndCheckInterval;
            lock.unlock();
            const bool atEnd = getFlag(d.mpv, "eof-reached");
            lock.lock();
            if (atEnd && !d.endOfFile && d.seekPhase == SeekPhase::None) {
                d.endOfFile = true;
                d.endOfFileSince = Clock::now();
            }
            continue;
        }
        d.playerWake.wait_until(lock, seeking ? now + kEndCheckInterval : nextEndCheck);
    }
}

// --- SoundPlayer ---

struct SoundPlayer::Impl {
    mpv_handle* mpv = nullptr;
    bool ended = false;

    // Waits for the end of the sound; true when it played to its end.
    bool waitForEnd() {
        for (;;) {
            mpv_event* event = lib().wait_event(mpv, -1);
            if (event->event_id == MPV_EVENT_SHUTDOWN) return false;
            if (event->event_id == MPV_EVENT_END_FILE) {
                const auto* end = static_cast<const mpv_event_end_file*>(event->data);
                ended = true;
                return end->reason == MPV_END_FILE_REASON_EOF;
            }
        }
    }

    bool start(const std::string& file, bool synchronous) {
        std::string error;
        mpv = createInstance(InstanceKind::Sound, error);
        if (!mpv) return false;
        ended = false;
        const char* command[] = {"loadfile", file.c_str(), "replace", nullptr};
        if (lib().command(mpv, command) < 0) return false;
        for (;;) {
            mpv_event* event =
                lib().wait_event(mpv, std::chrono::duration<double>(kLoadTimeout).count());
            if (event->event_id == MPV_EVENT_NONE || event->event_id == MPV_EVENT_SHUTDOWN) {
                return false;
            }
            if (event->event_id == MPV_EVENT_END_FILE) {
                ended = true;
                return false;
            }
            if (event->event_id == MPV_EVENT_FILE_LOADED) break;
        }
        if (!hasTrack(mpv, "audio")) return false;
        int pause = 0;
        if (lib().set_property(mpv, "pause", MPV_FORMAT_FLAG, &pause) < 0) return false;
        if (synchronous) return waitForEnd();
        return true;
    }
};

SoundPlayer::SoundPlayer() : impl_(std::make_unique<Impl>()) {}

SoundPlayer::~SoundPlayer() {
    stopAll();
}

bool SoundPlayer::play(const std::string& path, bool synchronous) {
    stopAll();
    bool exists = false;
    if (!isRegularFile(path, exists)) return false;
    const bool played = impl_->start(fileArgument(path), synchronous);
    if (!played || synchronous) stopAll();
    return played;
}

void SoundPlayer::stopAll() {
    destroyInstance(impl_->mpv);
    impl_->ended = false;
}

bool SoundPlayer::isPlaying() {
    Impl& d = *impl_;
    if (!d.mpv) return false;
    while (!d.ended) {
        mpv_event* event = lib().wait_event(d.mpv, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN) {
            d.ended = true;
        }
    }
    return !d.ended;
}

}  // namespace ostrel::platform::qt
