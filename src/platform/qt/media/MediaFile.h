// One media file opened with FFmpeg's libraries: its container, read from a
// path or from bytes in memory, its first video and first sound stream and
// their decoders. Reads can be cut short from another thread, so closing a
// file never waits on a slow disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
struct AVFormatContext;
struct AVIOContext;
struct AVCodecContext;
struct AVStream;
}

namespace ostrel::platform::qt::media {

// Stream times of the player: signed counts of 100-nanosecond units.
using Time = std::int64_t;
inline constexpr Time kUnitsPerSecond = 10000000;

class MediaFile {
public:
    enum class Want { VideoAndSound, SoundOnly };

    // Opens the file at `path` (a regular file; relative paths are files of
    // the current folder, never protocols) or the bytes given. Null when the
    // file cannot be read as media; `error` then says why in a few words.
    // With VideoAndSound a file without a video stream that can be decoded
    // fails (`hasSound` still tells whether it had sound).
    static std::unique_ptr<MediaFile> open(const std::string& path, Want want, std::string& error,
                                           bool& hasSound);
    static std::unique_ptr<MediaFile> openBytes(
        std::shared_ptr<const std::vector<std::uint8_t>> bytes, Want want, std::string& error);
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // Makes every read under way or to come fail at once.
    void interrupt() { interrupted_.store(true); }

    AVFormatContext* format() const { return format_; }
    // -1 when the file has no such stream (or none the player can decode).
    int videoIndex() const { return videoIndex_; }
    int soundIndex() const { return soundIndex_; }
    AVStream* videoStream() const;
    AVStream* soundStream() const;
    // Decoders opened on the streams (null when there is no such stream).
    AVCodecContext* videoDecoder() const { return videoDecoder_; }
    AVCodecContext* soundDecoder() const { return soundDecoder_; }

    // Frames per second the video stream declares (0 when none).
    double frameRate() const;
    // The end of the file's last stream, in 100 ns units of the container's
    // clock (0 when it cannot be told).
    Time end() const;

private:
    MediaFile() = default;
    bool load(Want want, std::string& error, bool& hasSound);
    static int onInterrupt(void* self);

    AVFormatContext* format_ = nullptr;
    AVIOContext* memoryIo_ = nullptr;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    std::size_t readAt_ = 0;
    int videoIndex_ = -1;
    int soundIndex_ = -1;
    AVCodecContext* videoDecoder_ = nullptr;
    AVCodecContext* soundDecoder_ = nullptr;
    std::atomic<bool> interrupted_{false};
};

// Converts a time in a stream's time base to 100 ns units (to the nearest)
// and back (rounded down: the tick at or before the time).
Time toUnits(std::int64_t value, int num, int den);
std::int64_t fromUnits(Time units, int num, int den);

}  // namespace ostrel::platform::qt::media
