#include "platform/VideoDecoder.h"

#include "core/Log.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
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
constexpr AVCodecID kCodecsPlayed[] = {AV_CODEC_ID_FFV1, AV_CODEC_ID_MPEG4};
constexpr const char* kPlayed = "the videos played are Matroska files of FFV1 or MPEG-4 part 2 video";

// Pictures larger than this are refused (a header can claim any size).
constexpr int kMaxSide = 4096;
// Packets read for one frame before the file counts as broken: a stream that never yields a
// picture ends instead of hanging the caller.
constexpr int kMaxPacketsPerFrame = 4096;
// The bytes of a refused file's start that tell its container.
constexpr int kProbeBytes = 4096;
// A stream ends early when it stops short of the end its file declares by more than this:
// containers round their durations, and a sound track may run on a little. Compared by time
// alone, so a frame lost at a low frame rate counts.
constexpr double kEarlyEndSeconds = 0.1;

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof(text));
    return text;
}

// What the first bytes of a file that was not opened show, for the reason: the container they
// are recognised as (null when none is), and whether they begin a Matroska file (its header's
// first element), which they do even when too few to be recognised.
struct FileStart {
    const AVInputFormat* container = nullptr;
    bool matroska = false;
};

FileStart ReadFileStart(const char* fileName) {
    static constexpr uint8_t kMatroskaStart[] = {0x1A, 0x45, 0xDF, 0xA3};
    std::ifstream in(fileName, std::ios::binary);
    std::vector<uint8_t> bytes(kProbeBytes + AVPROBE_PADDING_SIZE, 0);  // the padding stays zero
    in.read(reinterpret_cast<char*>(bytes.data()), kProbeBytes);
    AVProbeData probe = {};
    probe.filename = fileName;
    probe.buf = bytes.data();
    probe.buf_size = static_cast<int>(in.gcount());
    FileStart start;
    start.container = probe.buf_size > 0 ? av_probe_input_format(&probe, 1) : nullptr;
    start.matroska =
        probe.buf_size >= 4 && std::equal(std::begin(kMatroskaStart), std::end(kMatroskaStart), bytes.begin());
    return start;
}

bool IsPlayed(AVCodecID codec) {
    return std::find(std::begin(kCodecsPlayed), std::end(kCodecsPlayed), codec) != std::end(kCodecsPlayed);
}

// The video track played: the largest picture among those in a codec played. -1 when there is
// none; found then lists the video tracks there are.
int ChooseStream(const AVFormatContext* format, std::string& found) {
    int best = -1;
    int64_t bestArea = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_VIDEO || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            continue;
        }
        found += (found.empty() ? "" : ", ") + std::string(avcodec_get_name(parameters->codec_id)) + " " +
                 std::to_string(parameters->width) + " x " + std::to_string(parameters->height);
        const int64_t area = int64_t(parameters->width) * parameters->height;
        if (IsPlayed(parameters->codec_id) && avcodec_find_decoder(parameters->codec_id) != nullptr &&
            area > bestArea) {
            best = static_cast<int>(i);
            bestArea = area;
        }
    }
    return best;
}

using Clock = std::chrono::steady_clock;

}  // namespace

struct VideoDecoder::State {
    std::string fileName;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* converted = nullptr;  // frame as 32-bit pixels, in rows padded for the scaler
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int stream = -1;
    int width = 0;
    int height = 0;
    double timeBase = 0.0;             // seconds a timestamp tick; 0 when the stream gives none
    double frameSeconds = 1.0 / 25.0;  // the average frame time
    double declaredEnd = 0.0;          // seconds from timestamp 0 to the end the file declares; 0 unknown
    uint32_t estimatedFrames = 0;      // the count the file declares, else one from its duration
    uint32_t currentFrame = 1;
    uint32_t decodedFrames = 0;
    bool drained = false;     // the decoder has been told the stream ended
    bool streamOver = false;  // no frame is left
    bool cutLogged = false;   // a read error has said the file ends early
    bool keyFrameSeen = false;
    uint32_t framesBeforeKey = 0;  // the stream's frames before its first keyframe, skipped
    bool ended = false;
    std::vector<uint32_t> pixels;  // the last decoded frame, 0xAARRGGBB, rows top first

    // The next frame, decoded ahead into frame (to learn its time), and when it is due.
    bool pending = false;
    double pendingTime = 0.0;
    // Frames taken from the stream, in seconds from timestamp 0: when the first is shown (the
    // clock counts from it), and when the latest is and for how long. A frame without a timestamp
    // follows the latest; the last one's showing ends the video.
    bool anyFrame = false;
    double firstTime = 0.0;
    double latestTime = 0.0;
    double latestDuration = 0.0;

    // The clock: started by the first IsFrameDue, held while paused.
    bool started = false;
    bool paused = false;
    Clock::time_point start;
    Clock::time_point pausedAt;

    ~State() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&converted);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    double Seconds() const {
        const Clock::time_point now = paused ? pausedAt : Clock::now();
        return std::chrono::duration<double>(now - start).count();
    }

    // When the latest frame's showing ends, from timestamp 0.
    double LatestEnd() const { return anyFrame ? latestTime + latestDuration : 0.0; }

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
                Log(LogPriority::Error, "Video: \"%s\": frame %u cannot be decoded (%s)", fileName.c_str(),
                    decodedFrames + 1, ErrorText(result).c_str());
                cutLogged = true;
                return false;
            }
            if (drained) {
                return false;
            }
            result = av_read_frame(format, packet);
            if (result < 0) {
                if (result != AVERROR_EOF) {
                    Log(LogPriority::Warning, "Video: \"%s\" ends early, at frame %u (%s)", fileName.c_str(),
                        decodedFrames + 1, ErrorText(result).c_str());
                    cutLogged = true;
                }
                drained = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == stream && IsDecodable(*packet)) {
                result = avcodec_send_packet(codec, packet);
                if (result < 0 && result != AVERROR(EAGAIN)) {
                    // One damaged packet: its picture is lost; later ones may still decode.
                    Log(LogPriority::Warning, "Video: \"%s\": a damaged packet before frame %u (%s)", fileName.c_str(),
                        decodedFrames + 1, ErrorText(result).c_str());
                }
            }
            av_packet_unref(packet);
        }
        Log(LogPriority::Error, "Video: \"%s\": no picture in %d packets before frame %u", fileName.c_str(),
            kMaxPacketsPerFrame, decodedFrames + 1);
        return false;
    }

    // Until the stream's first keyframe its frames need pictures the file does not hold (it was cut
    // out of a longer video there): they are skipped, and said once when the keyframe comes.
    bool IsDecodable(const AVPacket& streamPacket) {
        if (keyFrameSeen) {
            return true;
        }
        if ((streamPacket.flags & AV_PKT_FLAG_KEY) == 0) {
            ++framesBeforeKey;
            return false;
        }
        keyFrameSeen = true;
        if (framesBeforeKey > 0) {
            Log(LogPriority::Warning,
                "Video: \"%s\" was cut where no keyframe begins: its first %u frames need the pictures before them "
                "and are skipped",
                fileName.c_str(), framesBeforeKey);
        }
        return true;
    }

    // Decodes the next frame ahead and times it, unless it already is. False when the stream has
    // no frame left.
    bool Peek() {
        if (pending) {
            return true;
        }
        if (streamOver) {
            return false;
        }
        if (!Receive()) {
            streamOver = true;
            OnStreamEnd();
            return false;
        }
        // Shown at its timestamp, else when the latest frame's showing ends.
        double time = LatestEnd();
        const int64_t stamp = frame->best_effort_timestamp;
        if (stamp != AV_NOPTS_VALUE && timeBase > 0.0) {
            time = static_cast<double>(stamp) * timeBase;
        }
        if (anyFrame) {
            time = std::max(time, latestTime);  // never before the latest: a damaged stream may step back
        } else {
            firstTime = time;
        }
        const double duration = static_cast<double>(frame->pkt_duration) * timeBase;
        latestTime = time;
        latestDuration = duration > 0.0 ? duration : frameSeconds;
        anyFrame = true;
        pendingTime = time - firstTime;
        pending = true;
        return true;
    }

    // The stream has ended: an end well short of the one the file declares is logged.
    void OnStreamEnd() {
        if (cutLogged) {
            return;
        }
        if (!keyFrameSeen && framesBeforeKey > 0) {
            Log(LogPriority::Warning, "Video: \"%s\" has no keyframe: none of its %u frames can be decoded",
                fileName.c_str(), framesBeforeKey);
            return;
        }
        const double end = LatestEnd();
        if (declaredEnd > 0.0 && end < declaredEnd - kEarlyEndSeconds) {
            Log(LogPriority::Warning,
                "Video: \"%s\" ends early, after %u frames and %.2f s of the %.2f s it declares: the file is cut "
                "short or damaged",
                fileName.c_str(), decodedFrames, end, declaredEnd);
        }
    }
};

std::unique_ptr<VideoDecoder> VideoDecoder::Open(const char* fileName) {
    auto state = std::make_unique<State>();
    state->fileName = fileName != nullptr ? fileName : "";
    const char* name = state->fileName.c_str();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kFormatWhitelist, 0);
    av_dict_set(&options, "codec_whitelist", kCodecWhitelist, 0);
    av_dict_set(&options, "protocol_whitelist", kProtocolWhitelist, 0);
    int result = avformat_open_input(&state->format, name, nullptr, &options);
    av_dict_free(&options);
    if (result < 0) {
        // A file there that is not opened says what it is, when its container is known; a
        // Matroska file, that its header cannot be read.
        const FileStart start = result != AVERROR(ENOENT) ? ReadFileStart(name) : FileStart();
        const AVInputFormat* container = start.container;
        if (container != nullptr && std::strstr(container->name, kFormatWhitelist) == nullptr) {
            Log(LogPriority::Error, "Video: \"%s\" is refused: it is %s (%s); %s", name,
                container->long_name != nullptr ? container->long_name : container->name, container->name, kPlayed);
        } else if (start.matroska) {
            Log(LogPriority::Error, "Video: \"%s\" is cut short or damaged: its Matroska header cannot be read (%s)",
                name, ErrorText(result).c_str());
        } else if (result == AVERROR(ENOENT)) {
            Log(LogPriority::Error, "Video: \"%s\" cannot be opened (%s)", name, ErrorText(result).c_str());
        } else {
            Log(LogPriority::Error, "Video: \"%s\" cannot be opened (%s); %s", name, ErrorText(result).c_str(),
                kPlayed);
        }
        return nullptr;
    }
    result = avformat_find_stream_info(state->format, nullptr);
    if (result < 0) {
        Log(LogPriority::Error, "Video: \"%s\" cannot be read (%s)", name, ErrorText(result).c_str());
        return nullptr;
    }
    std::string found;
    state->stream = ChooseStream(state->format, found);
    if (state->stream < 0) {
        Log(LogPriority::Error, "Video: \"%s\" is refused: it holds %s; %s", name,
            found.empty() ? "no video" : ("video of " + found).c_str(), kPlayed);
        return nullptr;
    }
    const AVStream* stream = state->format->streams[state->stream];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    state->codec = avcodec_alloc_context3(decoder);
    if (state->codec == nullptr || avcodec_parameters_to_context(state->codec, stream->codecpar) < 0) {
        Log(LogPriority::Error, "Video: \"%s\": the decoder cannot be set up", name);
        return nullptr;
    }
    state->codec->thread_count = 1;
    state->codec->pkt_timebase = stream->time_base;
    AVDictionary* codecOptions = nullptr;
    av_dict_set(&codecOptions, "codec_whitelist", kCodecWhitelist, 0);
    result = avcodec_open2(state->codec, decoder, &codecOptions);
    av_dict_free(&codecOptions);
    if (result < 0) {
        Log(LogPriority::Error, "Video: \"%s\": the %s decoder cannot be opened (%s)", name, decoder->name,
            ErrorText(result).c_str());
        return nullptr;
    }
    state->width = state->codec->width;
    state->height = state->codec->height;
    if (state->width <= 0 || state->height <= 0 || state->width > kMaxSide || state->height > kMaxSide) {
        Log(LogPriority::Error, "Video: \"%s\" is refused: a picture of %d x %d (played are 1 to %d either way)", name,
            state->width, state->height, kMaxSide);
        return nullptr;
    }
    if (state->codec->pix_fmt == AV_PIX_FMT_NONE) {
        Log(LogPriority::Error, "Video: \"%s\": no picture of its %s video decodes: the file is cut short or damaged",
            name, decoder->name);
        return nullptr;
    }
    state->scaler = sws_getContext(state->width, state->height, state->codec->pix_fmt, state->width, state->height,
                                   AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    state->frame = av_frame_alloc();
    state->packet = av_packet_alloc();
    // The scaler's fast converters write each row in whole groups of pixels: into rows of exactly
    // the picture's width they run past the last row, or leave the last columns unwritten where
    // the row ends too soon. FFmpeg's own frames have the rows its code expects; the picture is
    // copied out of one.
    state->converted = av_frame_alloc();
    if (state->converted != nullptr) {
        state->converted->format = AV_PIX_FMT_BGRA;
        state->converted->width = state->width;
        state->converted->height = state->height;
    }
    if (state->scaler == nullptr || state->frame == nullptr || state->packet == nullptr ||
        state->converted == nullptr || av_frame_get_buffer(state->converted, 0) < 0) {
        Log(LogPriority::Error, "Video: \"%s\": its pictures cannot be converted", name);
        return nullptr;
    }

    if (stream->time_base.num > 0 && stream->time_base.den > 0) {
        state->timeBase = av_q2d(stream->time_base);
    }
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = stream->r_frame_rate;
    }
    if (rate.num > 0 && rate.den > 0 && av_q2d(rate) <= 1000.0) {
        state->frameSeconds = 1.0 / av_q2d(rate);
    }
    // The end the file declares (a Matroska file's duration runs from timestamp 0), and the frame
    // count: the stream's, else estimated from that duration.
    if (state->format->duration > 0) {
        state->declaredEnd = static_cast<double>(state->format->duration) / AV_TIME_BASE;
    }
    const double count =
        stream->nb_frames > 0 ? static_cast<double>(stream->nb_frames) : state->declaredEnd / state->frameSeconds + 0.5;
    state->estimatedFrames = count < 1e9 ? static_cast<uint32_t>(count) : 0;
    state->pixels.assign(static_cast<size_t>(state->width) * static_cast<size_t>(state->height), 0xFF000000u);
    return std::unique_ptr<VideoDecoder>(new VideoDecoder(std::move(state)));
}

VideoDecoder::VideoDecoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::GetWidth() const { return state_->width; }
int VideoDecoder::GetHeight() const { return state_->height; }
uint32_t VideoDecoder::GetCurrentFrame() const { return state_->currentFrame; }
bool VideoDecoder::HasEnded() const { return state_->ended; }

uint32_t VideoDecoder::GetFrameCount() const {
    const State& s = *state_;
    return s.streamOver ? s.decodedFrames : std::max(s.estimatedFrames, s.decodedFrames + (s.pending ? 1u : 0u));
}

double VideoDecoder::GetFrameTime() {
    State& s = *state_;
    return s.Peek() ? s.pendingTime : s.LatestEnd() - s.firstTime;
}

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
    const double due = GetFrameTime();
    if (s.Seconds() < due) {
        return false;
    }
    if (s.pending) {
        return true;
    }
    s.ended = true;  // no frame is left, and the last one has had its time
    return false;
}

bool VideoDecoder::DecodeFrame() {
    State& s = *state_;
    if (s.ended) {
        return false;
    }
    if (!s.Peek()) {
        s.ended = true;  // a frame was asked for and there is none
        return false;
    }
    // A stream may change its picture mid-way; only pictures of the opened size are shown.
    if (s.frame->width == s.width && s.frame->height == s.height && s.frame->format == s.codec->pix_fmt) {
        sws_scale(s.scaler, s.frame->data, s.frame->linesize, 0, s.height, s.converted->data, s.converted->linesize);
        for (int y = 0; y < s.height; ++y) {
            const auto* row =
                reinterpret_cast<const uint32_t*>(s.converted->data[0] + ptrdiff_t(y) * s.converted->linesize[0]);
            // Pictures without alpha convert with an undefined fourth byte.
            std::transform(row, row + s.width, s.pixels.begin() + ptrdiff_t(y) * s.width,
                           [](uint32_t pixel) { return pixel | 0xFF000000u; });
        }
    } else {
        Log(LogPriority::Warning, "Video: \"%s\": frame %u changes the picture format; it is skipped",
            s.fileName.c_str(), s.decodedFrames + 1);
    }
    av_frame_unref(s.frame);
    s.pending = false;
    ++s.decodedFrames;
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
