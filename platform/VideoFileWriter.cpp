#include "platform/VideoFileWriter.h"

#include "core/AtomicFile.h"
#include "core/Log.h"

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace GAME {

namespace {

// MPEG-4's finest quantiser: as near to the pictures written as that codec comes.
constexpr int kMpeg4Quantiser = 2;

AVPixelFormat StoredFormat(VideoCoding coding) {
    switch (coding) {
        case VideoCoding::Ffv1Yuv422:
            return AV_PIX_FMT_YUV422P;
        case VideoCoding::Ffv1Yuv420:
        case VideoCoding::Mpeg4:
            return AV_PIX_FMT_YUV420P;
        default:
            return AV_PIX_FMT_BGR0;  // 0xAARRGGBB in memory on this (little-endian) machine
    }
}

// A frame of its own, with the padding FFmpeg's code expects; null when it cannot be made.
AVFrame* NewFrame(AVPixelFormat format, int width, int height) {
    AVFrame* frame = av_frame_alloc();
    if (frame == nullptr) {
        return nullptr;
    }
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
    }
    return frame;
}

// The encoder, the file and the buffers of one write, released whatever happens.
struct Encoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;    // the frame encoded
    AVFrame* picture = nullptr;  // the frame as filled, when it is converted into another form
    SwsContext* converter = nullptr;
    AVPacket* packet = nullptr;
    bool fileOpen = false;

    ~Encoding() {
        sws_freeContext(converter);
        av_packet_free(&packet);
        av_frame_free(&picture);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (fileOpen) {
            avio_closep(&format->pb);
        }
        avformat_free_context(format);
    }

    // Sends a frame (null: the end) and writes every packet the encoder has ready.
    bool Encode(const AVFrame* input, const AVStream* stream) {
        if (avcodec_send_frame(codec, input) < 0) {
            return false;
        }
        for (;;) {
            const int result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return true;
            }
            if (result < 0) {
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) {
                return false;
            }
        }
    }
};

bool Write(const std::string& path, const VideoFileDescription& description, const VideoFrameFiller& fill) {
    Encoding e;
    if (avformat_alloc_output_context2(&e.format, nullptr, "matroska", path.c_str()) < 0) {
        return false;
    }
    e.format->flags |= AVFMT_FLAG_BITEXACT;  // no random identifiers: one video, one file
    const bool mpeg4 = description.coding == VideoCoding::Mpeg4;
    const AVCodec* encoder = avcodec_find_encoder(mpeg4 ? AV_CODEC_ID_MPEG4 : AV_CODEC_ID_FFV1);
    AVStream* stream = encoder != nullptr ? avformat_new_stream(e.format, nullptr) : nullptr;
    e.codec = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
    if (stream == nullptr || e.codec == nullptr) {
        return false;
    }
    e.codec->width = description.width;
    e.codec->height = description.height;
    e.codec->pix_fmt = StoredFormat(description.coding);
    e.codec->flags |= AV_CODEC_FLAG_BITEXACT;  // nor the encoder's version
    e.codec->time_base = AVRational{1, description.framesPerSecond};
    e.codec->framerate = AVRational{description.framesPerSecond, 1};
    if (mpeg4) {
        e.codec->flags |= AV_CODEC_FLAG_QSCALE;
        e.codec->global_quality = FF_QP2LAMBDA * kMpeg4Quantiser;
    }
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER) {
        e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (avcodec_open2(e.codec, encoder, nullptr) < 0 ||
        avcodec_parameters_from_context(stream->codecpar, e.codec) < 0) {
        return false;
    }
    stream->time_base = e.codec->time_base;
    stream->avg_frame_rate = e.codec->framerate;
    if (avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        return false;
    }
    e.fileOpen = true;
    if (avformat_write_header(e.format, nullptr) < 0) {
        return false;
    }
    e.frame = NewFrame(e.codec->pix_fmt, description.width, description.height);
    e.packet = av_packet_alloc();
    if (e.frame == nullptr || e.packet == nullptr) {
        return false;
    }
    if (e.codec->pix_fmt != AV_PIX_FMT_BGR0) {
        e.picture = NewFrame(AV_PIX_FMT_BGR0, description.width, description.height);
        e.converter = sws_getContext(description.width, description.height, AV_PIX_FMT_BGR0, description.width,
                                     description.height, e.codec->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
        if (e.picture == nullptr || e.converter == nullptr) {
            return false;
        }
    }
    AVFrame* const picture = e.picture != nullptr ? e.picture : e.frame;
    const size_t rowBytes = static_cast<size_t>(description.width) * 4;
    std::vector<uint32_t> pixels(static_cast<size_t>(description.width) * static_cast<size_t>(description.height));
    for (uint32_t i = 0; i < description.frameCount; ++i) {
        fill(i, pixels.data());
        if (av_frame_make_writable(e.frame) < 0) {
            return false;
        }
        for (int y = 0; y < description.height; ++y) {
            std::memcpy(picture->data[0] + static_cast<ptrdiff_t>(y) * picture->linesize[0],
                        pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(description.width), rowBytes);
        }
        if (e.converter != nullptr) {
            sws_scale(e.converter, picture->data, picture->linesize, 0, description.height, e.frame->data,
                      e.frame->linesize);
        }
        e.frame->pts = i;
        if (!e.Encode(e.frame, stream)) {
            return false;
        }
    }
    return e.Encode(nullptr, stream) && av_write_trailer(e.format) == 0;
}

}  // namespace

bool WriteVideoFile(const std::string& path, const VideoFileDescription& description, const VideoFrameFiller& fill) {
    if (description.width <= 0 || description.height <= 0 || description.framesPerSecond <= 0) {
        Log(LogPriority::Error, "Video: cannot write \"%s\": no picture size or frame rate", path.c_str());
        return false;
    }
    AtomicFile save(path);
    if (!save.IsOpen() || !Write(save.GetTemporaryPath(), description, fill) || !save.Commit()) {
        Log(LogPriority::Error, "Video: cannot write \"%s\"", path.c_str());
        return false;
    }
    return true;
}

}  // namespace GAME
