#include "platform/qt/media/MediaFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/qt/media/Ffmpeg.h"

namespace ostrel::platform::qt::media {

namespace {

constexpr int kIoBufferSize = 32768;

// FFmpeg's libraries, loaded on first use; without them nothing opens.
bool librariesLoaded(std::string& error) {
    if (loadedFfmpeg()) return true;
    error = "FFmpeg's libraries cannot be loaded";
    return false;
}

bool isAttachedPicture(const AVStream* stream) {
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// The first stream of a kind, with the decoder for it (null when it has
// none). Pictures attached to a sound file are not video.
int findStream(AVFormatContext* format, AVMediaType type, const AVCodec*& decoder) {
    decoder = nullptr;
    int found = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type != type || isAttachedPicture(stream)) continue;
        if (found < 0) found = static_cast<int>(i);
        if (const AVCodec* codec = av().avcodec_find_decoder(stream->codecpar->codec_id)) {
            decoder = codec;
            return static_cast<int>(i);
        }
    }
    return found;
}

AVCodecContext* openDecoder(const AVStream* stream, const AVCodec* codec) {
    AVCodecContext* context = av().avcodec_alloc_context3(codec);
    if (!context) return nullptr;
    // One thread each: the player's clips decode many times faster than
    // they play, and every thread holds buffers of its own.
    context->thread_count = 1;
    context->pkt_timebase = stream->time_base;
    if (av().avcodec_parameters_to_context(context, stream->codecpar) < 0 ||
        av().avcodec_open2(context, codec, nullptr) < 0) {
        av().avcodec_free_context(&context);
        return nullptr;
    }
    return context;
}

}  // namespace

Time toUnits(std::int64_t value, int num, int den) {
    return av().av_rescale_q_rnd(value, AVRational{num, den}, AVRational{1, kUnitsPerSecond},
                                 static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

std::int64_t fromUnits(Time units, int num, int den) {
    return av().av_rescale_q_rnd(units, AVRational{1, kUnitsPerSecond}, AVRational{num, den},
                                 static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
}

std::unique_ptr<MediaFile> MediaFile::open(const std::string& path, Want want, std::string& error,
                                           bool& hasSound) {
    hasSound = false;
    if (!librariesLoaded(error)) return nullptr;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = "no such file";
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "not a file";
        return nullptr;
    }
    std::unique_ptr<MediaFile> file(new MediaFile);
    file->format_ = av().avformat_alloc_context();
    if (!file->format_) {
        error = "out of memory";
        return nullptr;
    }
    file->format_->interrupt_callback = {&MediaFile::onInterrupt, file.get()};
    // Always a file: a name like "-" or "name:rest" is not standard input or
    // a protocol, and nothing the file names is fetched from anywhere else.
    const std::string url = "file:" + (path[0] == '/' ? path : "./" + path);
    AVDictionary* options = nullptr;
    av().av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = av().avformat_open_input(&file->format_, url.c_str(), nullptr, &options);
    av().av_dict_free(&options);
    if (opened < 0) {
        error = "not a media file";
        return nullptr;
    }
    if (!file->load(want, error, hasSound)) return nullptr;
    return file;
}

std::unique_ptr<MediaFile> MediaFile::openBytes(
    std::shared_ptr<const std::vector<std::uint8_t>> bytes, Want want, std::string& error) {
    if (!librariesLoaded(error)) return nullptr;
    if (!bytes || bytes->empty()) {
        error = "no data";
        return nullptr;
    }
    std::unique_ptr<MediaFile> file(new MediaFile);
    file->bytes_ = std::move(bytes);
    auto* buffer = static_cast<unsigned char*>(av().av_malloc(kIoBufferSize));
    if (buffer) {
        auto read = [](void* opaque, std::uint8_t* to, int size) -> int {
            auto* self = static_cast<MediaFile*>(opaque);
            const std::size_t left = self->bytes_->size() - self->readAt_;
            const std::size_t count = std::min(left, static_cast<std::size_t>(size));
            if (count == 0) return AVERROR_EOF;
            std::memcpy(to, self->bytes_->data() + self->readAt_, count);
            self->readAt_ += count;
            return static_cast<int>(count);
        };
        auto seek = [](void* opaque, std::int64_t offset, int whence) -> std::int64_t {
            auto* self = static_cast<MediaFile*>(opaque);
            const auto size = static_cast<std::int64_t>(self->bytes_->size());
            if (whence & AVSEEK_SIZE) return size;
            std::int64_t to = offset;
            if ((whence & 3) == SEEK_CUR) to += static_cast<std::int64_t>(self->readAt_);
            if ((whence & 3) == SEEK_END) to += size;
            if (to < 0 || to > size) return -1;
            self->readAt_ = static_cast<std::size_t>(to);
            return to;
        };
        file->memoryIo_ =
            av().avio_alloc_context(buffer, kIoBufferSize, 0, file.get(), read, nullptr, seek);
        if (!file->memoryIo_) av().av_free(buffer);
    }
    file->format_ = file->memoryIo_ ? av().avformat_alloc_context() : nullptr;
    if (!file->format_) {
        error = "out of memory";
        return nullptr;
    }
    file->format_->pb = file->memoryIo_;
    file->format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (av().avformat_open_input(&file->format_, nullptr, nullptr, nullptr) < 0) {
        error = "not a media file";
        return nullptr;
    }
    bool hasSound = false;
    if (!file->load(want, error, hasSound)) return nullptr;
    return file;
}

bool MediaFile::load(Want want, std::string& error, bool& hasSound) {
    if (av().avformat_find_stream_info(format_, nullptr) < 0) {
        error = "not a media file";
        return false;
    }
    const AVCodec* soundCodec = nullptr;
    soundIndex_ = findStream(format_, AVMEDIA_TYPE_AUDIO, soundCodec);
    hasSound = soundIndex_ >= 0;
    if (want == Want::VideoAndSound) {
        const AVCodec* videoCodec = nullptr;
        videoIndex_ = findStream(format_, AVMEDIA_TYPE_VIDEO, videoCodec);
        if (videoIndex_ < 0) {
            error = "no video stream";
            return false;
        }
        const AVCodecParameters* video = videoStream()->codecpar;
        if (video->width <= 0 || video->height <= 0) {
            error = "the video has no size";
            return false;
        }
        if (!videoCodec || !(videoDecoder_ = openDecoder(videoStream(), videoCodec))) {
            error = "no decoder for the video";
            return false;
        }
    }
    // Sound that cannot be decoded is left out: the clip plays silently.
    if (soundIndex_ >= 0 &&
        (!soundCodec || !(soundDecoder_ = openDecoder(soundStream(), soundCodec)))) {
        soundIndex_ = -1;
    }
    if (want == Want::SoundOnly && soundIndex_ < 0) {
        error = "no sound";
        return false;
    }
    // Only the streams played are read further.
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        const int index = static_cast<int>(i);
        if (index != videoIndex_ && index != soundIndex_)
            format_->streams[i]->discard = AVDISCARD_ALL;
    }
    return true;
}

MediaFile::~MediaFile() {
    av().avcodec_free_context(&videoDecoder_);
    av().avcodec_free_context(&soundDecoder_);
    av().avformat_close_input(&format_);
    if (memoryIo_) {
        av().av_freep(&memoryIo_->buffer);
        av().avio_context_free(&memoryIo_);
    }
}

int MediaFile::onInterrupt(void* self) {
    return static_cast<MediaFile*>(self)->interrupted_.load() ? 1 : 0;
}

AVStream* MediaFile::videoStream() const {
    return videoIndex_ >= 0 ? format_->streams[videoIndex_] : nullptr;
}

AVStream* MediaFile::soundStream() const {
    return soundIndex_ >= 0 ? format_->streams[soundIndex_] : nullptr;
}

double MediaFile::frameRate() const {
    const AVStream* stream = videoStream();
    if (!stream) return 0;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return av_q2d(rate);
}

Time MediaFile::end() const {
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
        const std::int64_t start = format_->start_time != AV_NOPTS_VALUE ? format_->start_time : 0;
        return toUnits(start + format_->duration, 1, AV_TIME_BASE);
    }
    Time end = 0;
    for (const AVStream* stream : {videoStream(), soundStream()}) {
        if (!stream || stream->duration == AV_NOPTS_VALUE) continue;
        const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        end = std::max(
            end, toUnits(start + stream->duration, stream->time_base.num, stream->time_base.den));
    }
    return end;
}

}  // namespace ostrel::platform::qt::media
