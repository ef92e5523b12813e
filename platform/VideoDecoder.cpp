#include "platform/VideoDecoder.h"

#include "core/Log.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace GAME {

namespace {

// What the engine's videos are made of; nothing else is opened.
constexpr const char* kFormatWhitelist = "matroska";
constexpr const char* kCodecWhitelist = "ffv1,mpeg4";
constexpr const char* kProtocolWhitelist = "file";

// Pictures larger than this are refused (a header can claim any size).
constexpr int kMaxSide = 4096;
// Packets read for one frame before the file counts as broken: a stream that never yields a
// picture ends instead of hanging the caller.
constexpr int kMaxPacketsPerFrame = 4096;

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof(text));
    return text;
}

using Clock = std::chrono::steady_clock;

}  // namespace

struct VideoDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int stream = -1;
    int width = 0;
    int height = 0;
    double frameSeconds = 1.0 / 25.0;
    uint32_t frameCount = 0;
    uint32_t currentFrame = 1;
    bool drained = false;  // the decoder has been told the stream ended
    bool ended = false;
    std::vector<uint32_t> pixels;  // the last decoded frame, 0xAARRGGBB, rows top first

    // The clock: started by the first IsFrameDue, held while paused.
    bool started = false;
    bool paused = false;
    Clock::time_point start;
    Clock::time_point pausedAt;

    ~State() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    double Seconds() const {
        const Clock::time_point now = paused ? pausedAt : Clock::now();
        return std::chrono::duration<double>(now - start).count();
    }

    // Ends the video at the frames decoded so far (a cut file, or an unknown count).
    void EndStream() { frameCount = currentFrame - 1; }

    // Receives the next picture, feeding packets as the codec asks. False at the end or on error.
    bool Receive() {
        for (int packets = 0; packets < kMaxPacketsPerFrame; ++packets) {
            int result = avcodec_receive_frame(codec, frame);
            if (result == 0) {
                return true;
            }
            if (result == AVERROR_EOF) {
                return false;
            }
            if (result != AVERROR(EAGAIN)) {
                Log(LogPriority::Error, "Video: cannot decode frame %u (%s)", currentFrame, ErrorText(result).c_str());
                return false;
            }
            if (drained) {
                return false;
            }
            result = av_read_frame(format, packet);
            if (result < 0) {
                if (result != AVERROR_EOF) {
                    Log(LogPriority::Warning, "Video: the file ends early at frame %u (%s)", currentFrame,
                        ErrorText(result).c_str());
                }
                drained = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == stream) {
                result = avcodec_send_packet(codec, packet);
                if (result < 0 && result != AVERROR(EAGAIN)) {
                    // One damaged packet: its picture is lost; later ones may still decode.
                    Log(LogPriority::Warning, "Video: damaged packet before frame %u (%s)", currentFrame,
                        ErrorText(result).c_str());
                }
            }
            av_packet_unref(packet);
        }
        Log(LogPriority::Error, "Video: no picture in %d packets before frame %u", kMaxPacketsPerFrame, currentFrame);
        return false;
    }
};

std::unique_ptr<VideoDecoder> VideoDecoder::Open(const char* fileName) {
    auto state = std::make_unique<State>();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kFormatWhitelist, 0);
    av_dict_set(&options, "codec_whitelist", kCodecWhitelist, 0);
    av_dict_set(&options, "protocol_whitelist", kProtocolWhitelist, 0);
    int result = avformat_open_input(&state->format, fileName, nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        Log(LogPriority::Error, "Video: cannot open \"%s\" (%s)", fileName, ErrorText(result).c_str());
        return nullptr;
    }
    result = avformat_find_stream_info(state->format, nullptr);
    if (result < 0) {
        Log(LogPriority::Error, "Video: cannot read \"%s\" (%s)", fileName, ErrorText(result).c_str());
        return nullptr;
    }
    const AVCodec* decoder = nullptr;
    state->stream = av_find_best_stream(state->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (state->stream < 0 || decoder == nullptr) {
        Log(LogPriority::Error, "Video: \"%s\" has no picture of a kind the engine plays", fileName);
        return nullptr;
    }
    const AVStream* stream = state->format->streams[state->stream];
    state->codec = avcodec_alloc_context3(decoder);
    if (state->codec == nullptr || avcodec_parameters_to_context(state->codec, stream->codecpar) < 0) {
        Log(LogPriority::Error, "Video: cannot set up the decoder for \"%s\"", fileName);
        return nullptr;
    }
    state->codec->thread_count = 1;
    AVDictionary* codecOptions = nullptr;
    av_dict_set(&codecOptions, "codec_whitelist", kCodecWhitelist, 0);
    result = avcodec_open2(state->codec, decoder, &codecOptions);
    av_dict_free(&codecOptions);
    if (result < 0) {
        Log(LogPriority::Error, "Video: cannot open the decoder for \"%s\" (%s)", fileName, ErrorText(result).c_str());
        return nullptr;
    }
    state->width = state->codec->width;
    state->height = state->codec->height;
    if (state->width <= 0 || state->height <= 0 || state->width > kMaxSide || state->height > kMaxSide ||
        state->codec->pix_fmt == AV_PIX_FMT_NONE) {
        Log(LogPriority::Error, "Video: \"%s\" has an unusable picture size %d x %d", fileName, state->width,
            state->height);
        return nullptr;
    }
    state->scaler = sws_getContext(state->width, state->height, state->codec->pix_fmt, state->width, state->height,
                                   AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    state->frame = av_frame_alloc();
    state->packet = av_packet_alloc();
    if (state->scaler == nullptr || state->frame == nullptr || state->packet == nullptr) {
        Log(LogPriority::Error, "Video: cannot convert the pictures of \"%s\"", fileName);
        return nullptr;
    }

    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = stream->r_frame_rate;
    }
    if (rate.num > 0 && rate.den > 0 && av_q2d(rate) <= 1000.0) {
        state->frameSeconds = 1.0 / av_q2d(rate);
    }
    // The count from the header, else from the duration; unknown plays until the stream ends.
    double count = 0.0;
    if (stream->nb_frames > 0) {
        count = static_cast<double>(stream->nb_frames);
    } else if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE) {
        count = static_cast<double>(stream->duration) * av_q2d(stream->time_base) / state->frameSeconds;
    } else if (state->format->duration > 0) {
        count = static_cast<double>(state->format->duration) / AV_TIME_BASE / state->frameSeconds;
    }
    constexpr double kUnknown = static_cast<double>(std::numeric_limits<uint32_t>::max() - 1);
    state->frameCount = count >= 1.0 && count < kUnknown ? static_cast<uint32_t>(count + 0.5) : uint32_t(kUnknown);
    state->pixels.assign(static_cast<size_t>(state->width) * static_cast<size_t>(state->height), 0xFF000000u);
    return std::unique_ptr<VideoDecoder>(new VideoDecoder(std::move(state)));
}

VideoDecoder::VideoDecoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::GetWidth() const { return state_->width; }
int VideoDecoder::GetHeight() const { return state_->height; }
uint32_t VideoDecoder::GetFrameCount() const { return state_->frameCount; }
uint32_t VideoDecoder::GetCurrentFrame() const { return state_->currentFrame; }
bool VideoDecoder::HasEnded() const { return state_->ended; }

bool VideoDecoder::IsFrameDue() {
    State& s = *state_;
    if (s.ended) {
        return false;
    }
    if (!s.started) {
        s.started = true;
        s.start = Clock::now();
        s.pausedAt = s.start;
    }
    const bool due = s.Seconds() >= static_cast<double>(s.currentFrame - 1) * s.frameSeconds;
    if (due && s.currentFrame > s.frameCount) {
        s.ended = true;  // the last frame has had its time
    }
    return due && !s.ended;
}

bool VideoDecoder::DecodeFrame() {
    State& s = *state_;
    if (s.ended || s.currentFrame > s.frameCount) {
        return false;
    }
    if (!s.Receive()) {
        // The current frame's time has come and there is none: the last one has had its time.
        s.EndStream();
        s.ended = true;
        return false;
    }
    // A stream may change its picture mid-way; only pictures of the opened size are shown.
    if (s.frame->width == s.width && s.frame->height == s.height && s.frame->format == s.codec->pix_fmt) {
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(s.pixels.data()), nullptr, nullptr, nullptr};
        const int strides[4] = {s.width * 4, 0, 0, 0};
        sws_scale(s.scaler, s.frame->data, s.frame->linesize, 0, s.height, planes, strides);
        for (uint32_t& pixel : s.pixels) {
            pixel |= 0xFF000000u;  // pictures without alpha convert with an undefined fourth byte
        }
    } else {
        Log(LogPriority::Warning, "Video: frame %u changes the picture format; it is skipped", s.currentFrame);
    }
    av_frame_unref(s.frame);
    return true;
}

void VideoDecoder::CopyTo(void* destination, uint32_t pitch, int height) const {
    const State& s = *state_;
    const size_t rowBytes = static_cast<size_t>(s.width) * 4;
    if (destination == nullptr || pitch < rowBytes) {
        return;
    }
    const int rows = std::min(height, s.height);
    auto* out = static_cast<uint8_t*>(destination);
    for (int y = 0; y < rows; ++y) {
        std::memcpy(out + static_cast<size_t>(y) * pitch, s.pixels.data() + static_cast<size_t>(y) * s.width,
                    rowBytes);
    }
}

void VideoDecoder::NextFrame() {
    ++state_->currentFrame;
}

void VideoDecoder::Pause(bool pause) {
    State& s = *state_;
    if (pause == s.paused) {
        return;
    }
    if (pause) {
        s.pausedAt = Clock::now();
    } else if (s.started) {
        s.start += Clock::now() - s.pausedAt;
    }
    s.paused = pause;
}

}  // namespace GAME
