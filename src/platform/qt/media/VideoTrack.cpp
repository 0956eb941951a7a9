#include "platform/qt/media/VideoTrack.h"

#include <cmath>

#include "platform/qt/media/Ffmpeg.h"

namespace ostrel::platform::qt::media {

void FrameFree::operator()(AVFrame* frame) const {
    av().av_frame_free(&frame);
}

Picture copyOf(const Picture& picture) {
    Picture copy;
    if (picture.frame) copy.frame.reset(av().av_frame_clone(picture.frame.get()));
    copy.time = picture.time;
    copy.key = picture.key;
    return copy;
}

VideoTrack::VideoTrack(MediaFile& file, Demuxer& demuxer) : file_(file), demuxer_(demuxer) {
    const double rate = file.frameRate();
    period_ =
        rate > 0 ? static_cast<Time>(std::llround(kUnitsPerSecond / rate)) : kUnitsPerSecond / 25;
}

VideoTrack::~VideoTrack() {
    av().sws_freeContext(converter_);
}

void VideoTrack::restart(std::uint64_t generation) {
    av().avcodec_flush_buffers(file_.videoDecoder());
    generation_ = generation;
    ended_ = false;
}

VideoTrack::Next VideoTrack::next(Picture& out, std::chrono::steady_clock::time_point deadline) {
    AVCodecContext* decoder = file_.videoDecoder();
    const AVStream* stream = file_.videoStream();
    if (ended_) return Next::End;
    FramePtr frame(av().av_frame_alloc());
    if (!frame) return Next::Stalled;
    for (;;) {
        const int received = av().avcodec_receive_frame(decoder, frame.get());
        if (received == 0) {
            const std::int64_t stamp = frame->best_effort_timestamp;
            out.time = stamp != AV_NOPTS_VALUE
                           ? toUnits(stamp, stream->time_base.num, stream->time_base.den)
                           : next_;
            next_ = out.time + period_;
            out.key = frame->key_frame != 0 || frame->pict_type == AV_PICTURE_TYPE_I;
            out.frame = std::move(frame);
            return Next::Picture;
        }
        if (received != AVERROR(EAGAIN)) {
            // Drained (or a decoder that gave up): the last picture was shown.
            ended_ = true;
            return Next::End;
        }
        Demuxer::Packet packet;
        const Demuxer::Taken taken = demuxer_.take(Demuxer::Kind::Video, packet, deadline);
        if (taken != Demuxer::Taken::Packet) return Next::Stalled;
        if (packet.generation != generation_) continue;
        // A damaged packet is passed over; the pictures after it still come.
        av().avcodec_send_packet(decoder, packet.packet.get());
    }
}

bool VideoTrack::convert(const AVFrame& frame, std::uint8_t* pixels, int stride, int width,
                         int height) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (frame.width <= 0 || frame.height <= 0 || format == AV_PIX_FMT_NONE) return false;
    const bool scaled = frame.width != width || frame.height != height;
    SwsContext* converter = av().sws_getCachedContext(
        converter_, frame.width, frame.height, format, width, height, AV_PIX_FMT_BGRA,
        scaled ? SWS_BILINEAR : SWS_POINT, nullptr, nullptr, nullptr);
    if (!converter) return false;
    // The picture's own colours: its matrix (HD clips are often BT.709) and
    // range, where it says which. Setting them remakes the converter's
    // tables, so only when they change.
    const int space = frame.colorspace != AVCOL_SPC_UNSPECIFIED ? frame.colorspace : SWS_CS_DEFAULT;
    const int full = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    if (converter != converter_ || space != space_ || full != full_) {
        int* inTable = nullptr;
        int* outTable = nullptr;
        int inFull = 0;
        int outFull = 0;
        int brightness = 0;
        int contrast = 0;
        int saturation = 0;
        if (av().sws_getColorspaceDetails(converter, &inTable, &inFull, &outTable, &outFull,
                                          &brightness, &contrast, &saturation) >= 0) {
            av().sws_setColorspaceDetails(converter, av().sws_getCoefficients(space),
                                          full || inFull, outTable, outFull, brightness, contrast,
                                          saturation);
        }
        space_ = space;
        full_ = full;
    }
    converter_ = converter;
    std::uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    return av().sws_scale(converter_, frame.data, frame.linesize, 0, frame.height, planes,
                          strides) > 0;
}

}  // namespace ostrel::platform::qt::media
