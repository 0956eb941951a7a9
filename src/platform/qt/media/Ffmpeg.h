// FFmpeg's libraries, loaded when the player first needs them rather than
// with the program. They bring more than a hundred libraries with them,
// which take longer to load than the toolkit: a second start, which only
// hands its command line over, never loads them, and a first start loads
// them on a worker while its window is made.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace ostrel::platform::qt::media {

// Every call the engine makes, with the library it comes from.
#define OSTREL_FFMPEG_CALLS(X)                \
    X(avutil, av_log_set_level)               \
    X(avutil, av_malloc)                      \
    X(avutil, av_free)                        \
    X(avutil, av_freep)                       \
    X(avutil, av_dict_set)                    \
    X(avutil, av_dict_free)                   \
    X(avutil, av_rescale_q_rnd)               \
    X(avutil, av_frame_alloc)                 \
    X(avutil, av_frame_free)                  \
    X(avutil, av_frame_unref)                 \
    X(avutil, av_frame_clone)                 \
    X(avutil, av_channel_layout_check)        \
    X(avutil, av_channel_layout_copy)         \
    X(avutil, av_channel_layout_default)      \
    X(avutil, av_channel_layout_uninit)       \
    X(avcodec, avcodec_find_decoder)          \
    X(avcodec, avcodec_alloc_context3)        \
    X(avcodec, avcodec_free_context)          \
    X(avcodec, avcodec_parameters_to_context) \
    X(avcodec, avcodec_open2)                 \
    X(avcodec, avcodec_send_packet)           \
    X(avcodec, avcodec_receive_frame)         \
    X(avcodec, avcodec_flush_buffers)         \
    X(avcodec, av_packet_alloc)               \
    X(avcodec, av_packet_free)                \
    X(avformat, avformat_alloc_context)       \
    X(avformat, avformat_open_input)          \
    X(avformat, avformat_find_stream_info)    \
    X(avformat, avformat_close_input)         \
    X(avformat, avformat_seek_file)           \
    X(avformat, av_seek_frame)                \
    X(avformat, av_read_frame)                \
    X(avformat, avio_alloc_context)           \
    X(avformat, avio_context_free)            \
    X(swresample, swr_alloc_set_opts2)        \
    X(swresample, swr_set_matrix)             \
    X(swresample, swr_init)                   \
    X(swresample, swr_free)                   \
    X(swresample, swr_get_out_samples)        \
    X(swresample, swr_convert)                \
    X(swscale, sws_getCachedContext)          \
    X(swscale, sws_freeContext)               \
    X(swscale, sws_getColorspaceDetails)      \
    X(swscale, sws_setColorspaceDetails)      \
    X(swscale, sws_getCoefficients)           \
    X(swscale, sws_scale)

struct Ffmpeg {
#define OSTREL_FFMPEG_FIELD(library, name) decltype(&::name) name = nullptr;
    OSTREL_FFMPEG_CALLS(OSTREL_FFMPEG_FIELD)
#undef OSTREL_FFMPEG_FIELD
};

// Starts loading the libraries on a worker, once; later calls do nothing.
void loadFfmpegSoon();
// The libraries' calls, once loaded: waits for a load under way, or loads
// them now. Null when they cannot be loaded; the first such answer also
// says why on standard error, in one line.
const Ffmpeg* loadedFfmpeg();
// The calls, for code that runs only once loadedFfmpeg() has given them.
const Ffmpeg& av();

}  // namespace ostrel::platform::qt::media
