// Videos written by VideoFileWriter (through the test video) come back through VideoDecoder pixel
// for pixel, at the stream's own pace; clips common tools wrote (of a variable frame rate, cut, with
// a track of another codec) play every frame at its own time or say what is wrong; cut, garbage and
// refused files are refused with the reason or end cleanly.

#include "platform/VideoDecoder.h"
#include "platform/VideoFileWriter.h"
#include "support/FileSizeLimit.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "support/TestVideo.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace GAME::test {
namespace {

constexpr int kWidth = kTestVideoWidth;
constexpr int kHeight = kTestVideoHeight;
constexpr uint32_t kFrames = kTestVideoFrames;

class VideoDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteTestVideo(path));
    }

    std::vector<char> ReadBytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempDirectory directory;
    std::string path = directory.Join("Test.mkv");
};

TEST_F(VideoDecoderTest, FramesComeBackAsWrittenAndTheVideoEnds) {
    LogCapture log;
    auto video = VideoDecoder::Open(path.c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(std::tuple(video->GetWidth(), video->GetHeight(), video->GetFrameCount()),
              std::tuple(kWidth, kHeight, kFrames));
    // Copied at a wider pitch than the picture, so rows that run together would show.
    constexpr uint32_t kPitch = (kWidth + 3) * 4;
    std::vector<uint32_t> texels(kPitch / 4 * kHeight);
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
        ASSERT_EQ(video->GetCurrentFrame(), frame + 1);
        ASSERT_TRUE(video->DecodeFrame()) << "frame " << frame;
        video->CopyTo(texels.data(), kPitch, kHeight);
        for (int y = 0; y < kHeight; y += kHeight - 1) {
            const uint32_t* row = texels.data() + y * (kPitch / 4);
            EXPECT_EQ(
                std::vector({row[0], row[kWidth / 2 - 1], row[kWidth / 2], row[kWidth - 1]}),
                std::vector({TestVideoLeft(frame), TestVideoLeft(frame), TestVideoRight(frame), TestVideoRight(frame)}))
                << "frame " << frame << " row " << y;
        }
        video->NextFrame();
    }
    EXPECT_FALSE(video->HasEnded());  // the last frame still has its time to show
    EXPECT_FALSE(video->DecodeFrame() || video->DecodeFrame());  // and it stays so
    EXPECT_TRUE(log.Lines().empty());  // whole: nothing to say
}

TEST_F(VideoDecoderTest, FramesFallDueOnTheStreamClockWhichPauseHolds) {
    auto video = VideoDecoder::Open(path.c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(video->IsFrameDue());  // the first frame is shown at once
    ASSERT_TRUE(video->DecodeFrame());
    video->NextFrame();
    EXPECT_FALSE(video->IsFrameDue());  // the second is due a sixth of a second later
    video->Pause(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(video->IsFrameDue());  // paused: the clock stood still
    video->Pause(false);
    EXPECT_FALSE(video->IsFrameDue());  // the time paused does not count
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(video->IsFrameDue());
    // Played out at its pace, the video ends after its last frame's time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    uint32_t shown = 1;
    while (!video->HasEnded() && std::chrono::steady_clock::now() < deadline) {
        if (video->IsFrameDue() && video->DecodeFrame()) {
            video->NextFrame();
            ++shown;
        }
    }
    EXPECT_TRUE(video->HasEnded());
    EXPECT_EQ(shown, kFrames);
}

std::string CorpusClip(const char* name) { return std::string(GAME_VIDEO_CORPUS_DIRECTORY "/") + name; }

// Decodes every frame, without the clock; the times each was due at, and the end.
std::vector<double> FrameTimes(VideoDecoder& video, double& end) {
    std::vector<double> times;
    while (times.size() < 1000) {
        const double time = video.GetFrameTime();
        if (!video.DecodeFrame()) break;
        times.push_back(time);
        video.NextFrame();
    }
    end = video.GetFrameTime();
    return times;
}

// Two clips whose frame rate changes mid-way: each frame is due at its own timestamp and the video
// ends with its stream, not at the count its average rate suggests.
TEST(VideoDecoderClipTest, VariableFrameRateClipsShowEveryFrameAtItsOwnTime) {
    LogCapture log;
    // 10 frames a second for ten frames, then 30 a second (timestamps in whole milliseconds).
    auto fast = VideoDecoder::Open(CorpusClip("regression-vfr-runs-fast.mkv").c_str());
    ASSERT_NE(fast, nullptr);
    double end = 0.0;
    std::vector<double> times = FrameTimes(*fast, end);
    ASSERT_EQ(times.size(), 34u);
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(times[i], i < 10 ? 0.1 * double(i) : 0.9 + double(i - 9) / 30.0, 0.0011) << i;
    EXPECT_TRUE(std::abs(end - 1.733) < 1e-9 && fast->GetFrameCount() == 34u) << end;  // the last shows 33 ms

    // 10 a second for three seconds, then 33 ms apart: all 60 frames, where the average rate
    // counts 41.
    auto tail = VideoDecoder::Open(CorpusClip("regression-vfr-tail-dropped.mkv").c_str());
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail->GetFrameCount(), 41u);  // the estimate, before the stream has ended
    for (uint32_t frame = 0; frame < 45; ++frame) {
        ASSERT_TRUE(tail->DecodeFrame());
        tail->NextFrame();
    }
    tail->GetFrameTime();  // the 46th frame is decoded ahead: there are at least 46
    EXPECT_EQ(tail->GetFrameCount(), 46u);
    tail = VideoDecoder::Open(CorpusClip("regression-vfr-tail-dropped.mkv").c_str());
    ASSERT_NE(tail, nullptr);
    times = FrameTimes(*tail, end);
    ASSERT_EQ(times.size(), 60u);
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(times[i], i <= 30 ? 0.1 * double(i) : 3.0 + 0.033 * double(i - 30), 1e-9) << i;
    EXPECT_NEAR(end, 4.057, 1e-9);  // its file gives the last frame 100 ms
    EXPECT_TRUE(tail->GetFrameCount() == 60u && log.Lines().empty());
}

// Played on its clock, the clip takes its own time, showing every frame; no frame can fall due
// early, so a slow machine only makes the play longer.
TEST(VideoDecoderClipTest, AVariableFrameRateClipPlaysOnItsOwnClock) {
    auto video = VideoDecoder::Open(CorpusClip("regression-vfr-runs-fast.mkv").c_str());
    ASSERT_NE(video, nullptr);
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(20);
    uint32_t shown = 0;
    while (!video->HasEnded() && std::chrono::steady_clock::now() < deadline) {
        if (video->IsFrameDue()) {
            ASSERT_TRUE(video->DecodeFrame()) << "a frame due after " << shown;
            video->NextFrame();
            ++shown;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(video->HasEnded());
    EXPECT_EQ(shown, 34u);
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.733);
}

// A Matroska file with an H.264 track (not played) beside an FFV1 one plays the FFV1 track.
TEST(VideoDecoderClipTest, ThePlayableTrackIsChosen) {
    LogCapture log;
    auto video = VideoDecoder::Open(CorpusClip("regression-h264-track-beside-ffv1.mkv").c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(std::pair(video->GetWidth(), video->GetHeight()), std::pair(64, 48));  // the H.264 track's is 96 x 64
    double end = 0.0;
    const std::vector<double> times = FrameTimes(*video, end);
    ASSERT_EQ(times.size(), 10u);
    EXPECT_EQ(std::pair(times.front(), times.back()), std::pair(0.0, 0.36));  // counted from the first frame, at 80 ms
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// A clip cut mid-way plays what it has and says, with its name, that it ends early.
TEST(VideoDecoderClipTest, CutClipsSayTheyEndEarly) {
    LogCapture log;
    const std::string path = CorpusClip("regression-cut-in-half.mkv");
    auto video = VideoDecoder::Open(path.c_str());
    ASSERT_NE(video, nullptr);
    double end = 0.0;
    EXPECT_EQ(FrameTimes(*video, end).size(), 14u);  // of the 30 its one second holds
    EXPECT_EQ(video->GetFrameCount(), 14u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning,
                             "\"" + path + "\" ends early, after 14 frames and 0.47 s of the 1.00 s it declares"));
}

TEST_F(VideoDecoderTest, RefusalsNameWhatTheFileHoldsAndWhatIsPlayed) {
    LogCapture log;
    // The test video with its track's codec named VP8 (its four-character code "FFV1" made
    // "VP80").
    std::vector<char> bytes = ReadBytes();
    const std::string codec = "FFV1";
    const auto at = std::search(bytes.begin(), bytes.end(), codec.begin(), codec.end());
    ASSERT_NE(at, bytes.end());
    std::copy_n("VP80", 4, at);
    const std::string vp8 = directory.Join("Vp8.mkv");
    std::ofstream(vp8, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(VideoDecoder::Open(vp8.c_str()), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "\"" + vp8 +
                                                     "\" is refused: it holds video of vp8 64 x 48; the videos played "
                                                     "are Matroska files of FFV1 or MPEG-4 part 2 video"));

    // A container not played, known by its start or, of a single byte, by its name.
    const std::string avi = directory.Join("Clip.avi");
    std::string riff("RIFF\x00\x10\x00\x00AVI LIST", 16);
    for (const size_t size : {600, 1}) {
        riff.resize(size, '\0');
        std::ofstream(avi, std::ios::binary) << riff;
        log.Clear();
        EXPECT_EQ(VideoDecoder::Open(avi.c_str()), nullptr);
        EXPECT_TRUE(log.Contains(
            LogPriority::Error,
            "\"" + avi + "\" is refused: it is AVI (Audio Video Interleaved) (avi); the videos played are"))
            << size;
    }

    // A one-frame clip cut inside its frame: its size is known, its picture is not.
    const std::string one = directory.Join("One.mkv");
    ASSERT_TRUE(WriteVideoFile(one, {kWidth, kHeight, 1, 24}, [](uint32_t, uint32_t* pixels) {
        for (uint32_t i = 0; i < kWidth * kHeight; ++i) pixels[i] = i * 2654435761u;  // noise: a large frame
    }));
    std::filesystem::resize_file(one, std::filesystem::file_size(one) * 3 / 4);
    EXPECT_EQ(VideoDecoder::Open(one.c_str()), nullptr);
    EXPECT_TRUE(log.Contains(
        LogPriority::Error, "\"" + one + "\": no picture of its ffv1 video decodes: the file is cut short or damaged"));

    // Pictures of up to 4096 pixels a side play.
    for (const auto& [width, height] :
         {std::pair(4096, 2), std::pair(4097, 2), std::pair(2, 4096), std::pair(2, 4097)}) {
        const std::string wide = directory.Join("Wide.mkv");
        ASSERT_TRUE(WriteVideoFile(wide, {width, height, 1, 24}, [](uint32_t, uint32_t*) {}));
        EXPECT_EQ(VideoDecoder::Open(wide.c_str()) != nullptr, width + height == 4098) << width << " x " << height;
    }
    EXPECT_TRUE(
        log.Contains(LogPriority::Error, "is refused: a picture of 4097 x 2 (played are 1 to 4096 either way)"));

    // Cut inside the header: too soon to read it, or even to recognise it.
    for (const std::streamsize length : {4, 20, 200}) {
        const std::string cut = directory.Join("Header.mkv");
        std::ofstream(cut, std::ios::binary).write(bytes.data(), length);
        EXPECT_EQ(VideoDecoder::Open(cut.c_str()), nullptr);
        EXPECT_TRUE(log.Contains(LogPriority::Error,
                                 "\"" + cut + "\" is cut short or damaged: its Matroska header cannot be read"))
            << length;
    }
}

TEST_F(VideoDecoderTest, APictureOfOnePixelPlays) {
    const std::string dot = directory.Join("Dot.mkv");
    LogCapture log;
    for (const VideoFileDescription& none : {VideoFileDescription{0, 1, 2, 1}, {1, 0, 2, 1}, {1, 1, 2, 0}}) {
        log.Clear();
        EXPECT_FALSE(WriteVideoFile(dot, none, [](uint32_t, uint32_t*) {}));
        EXPECT_EQ(log.Lines().at(0).text, "Video: cannot write \"" + dot + "\": no picture size or frame rate");
    }
    EXPECT_FALSE(WriteVideoFile(directory.Join("Missing/Dot.mkv"), {1, 1, 2, 1}, [](uint32_t, uint32_t*) {}));
    // A write the disk refuses part way (past a file size limit) fails, and the video there stays.
    const std::vector<char> before = ReadBytes();
    for (const size_t limit : {0, 300, 5000, 60000}) {
        log.Clear();
        FileSizeLimit full(limit);
        EXPECT_FALSE(WriteVideoFile(path, {kWidth, kHeight, 8, 24}, [](uint32_t frame, uint32_t* pixels) {
            for (uint32_t i = 0; i < kWidth * kHeight; ++i) pixels[i] = (i + frame) * 2654435761u;  // noise
        })) << limit;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "Video: cannot write \"" + path + "\"")) << limit;
    }
    EXPECT_EQ(ReadBytes(), before);
    ASSERT_TRUE(
        WriteVideoFile(dot, {1, 1, 2, 1}, [](uint32_t frame, uint32_t* pixels) { pixels[0] = TestVideoLeft(frame); }));
    auto video = VideoDecoder::Open(dot.c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->GetFrameCount(), 2u);  // two seconds at one frame a second
    uint32_t pixel = 0;
    for (uint32_t frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(video->DecodeFrame());
        video->CopyTo(&pixel, 3, 1);  // a pitch short of a row: nothing is copied
        EXPECT_EQ(pixel, frame == 0 ? 0u : TestVideoLeft(0));
        video->CopyTo(&pixel, 4, 1);
        EXPECT_EQ(pixel, TestVideoLeft(frame));
        video->NextFrame();
    }
}

// A clip's frames decoded by FFmpeg's own calls, converted by its scaler into frames it allocated
// itself: 0xAARRGGBB pixels, rows of exactly the picture's width, frames one after another.
std::vector<uint32_t> ReferenceDecode(const std::string& path) {
    std::vector<uint32_t> pixels;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return pixels;
    avformat_find_stream_info(format, nullptr);
    const AVCodec* decoder = avcodec_find_decoder(format->streams[0]->codecpar->codec_id);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[0]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    AVFrame* bgra = av_frame_alloc();
    bgra->format = AV_PIX_FMT_BGRA;
    bgra->width = codec->width;
    bgra->height = codec->height;
    av_frame_get_buffer(bgra, 0);
    SwsContext* scaler = sws_getContext(codec->width, codec->height, codec->pix_fmt, codec->width, codec->height,
                                        AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    for (bool more = true; more;) {
        more = av_read_frame(format, packet) == 0;
        avcodec_send_packet(codec, more ? packet : nullptr);
        av_packet_unref(packet);
        while (avcodec_receive_frame(codec, frame) == 0) {
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, bgra->data, bgra->linesize);
            for (int y = 0; y < frame->height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(bgra->data[0] + y * bgra->linesize[0]);
                for (int x = 0; x < frame->width; ++x) pixels.push_back(row[x] | 0xFF000000u);
            }
        }
    }
    sws_freeContext(scaler);
    av_frame_free(&bgra);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return pixels;
}

// Where each packet of a clip's one stream starts in the file.
std::vector<int64_t> PacketPositions(const std::string& path) {
    std::vector<int64_t> positions;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return positions;
    AVPacket* packet = av_packet_alloc();
    for (; av_read_frame(format, packet) == 0; av_packet_unref(packet)) positions.push_back(packet->pos);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return positions;
}

// Copies a clip's one stream from its packet first on into a new Matroska file, as a tool that
// cuts a video without decoding it does.
void CopyPacketsFrom(const std::string& from, const std::string& to, int first) {
    AVFormatContext* in = nullptr;
    AVFormatContext* out = nullptr;
    ASSERT_EQ(avformat_open_input(&in, from.c_str(), nullptr, nullptr), 0);
    const AVCodecParameters& stored = *in->streams[0]->codecpar;  // MPEG-4's headers are in the track too
    EXPECT_TRUE(stored.codec_id != AV_CODEC_ID_MPEG4 || stored.extradata_size > 0);
    ASSERT_EQ(avformat_alloc_output_context2(&out, nullptr, "matroska", to.c_str()), 0);
    AVStream* stream = avformat_new_stream(out, nullptr);
    avcodec_parameters_copy(stream->codecpar, in->streams[0]->codecpar);
    stream->time_base = in->streams[0]->time_base;
    ASSERT_EQ(avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_EQ(avformat_write_header(out, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    for (int i = 0; av_read_frame(in, packet) == 0; ++i) {
        av_packet_rescale_ts(packet, in->streams[0]->time_base, stream->time_base);
        if (i >= first) av_interleaved_write_frame(out, packet);
        av_packet_unref(packet);
    }
    av_write_trailer(out);
    av_packet_free(&packet);
    avio_closep(&out->pb);
    avformat_free_context(out);
    avformat_close_input(&in);
}

// What went wrong with a clip is said once, with its name: frames lost at its end, measured in
// time; frames that need pictures from before the place it was cut out of a longer video.
TEST_F(VideoDecoderTest, DamagedClipsSayWhatIsWrongOnce) {
    const auto fill = [](uint32_t frame, uint32_t* pixels) { std::fill_n(pixels, 16 * 8, TestVideoLeft(frame)); };
    LogCapture log;
    ASSERT_TRUE(WriteVideoFile(path, {16, 8, 10, 5}, fill));                     // two seconds
    std::filesystem::resize_file(path, uintmax_t(PacketPositions(path).at(8)));  // two frames lost
    auto video = VideoDecoder::Open(path.c_str());
    ASSERT_NE(video, nullptr);
    double end = 0.0;
    EXPECT_EQ(FrameTimes(*video, end).size(), 8u);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "\"" + path +
                                                       "\" ends early, after 8 frames and 1.60 s of the 2.00 s it "
                                                       "declares: the file is cut short or damaged"));

    // An MPEG-4 packet made garbage mid-way loses its picture, said once; the frames after it play.
    ASSERT_TRUE(WriteVideoFile(path, {16, 8, 10, 5, VideoCoding::Mpeg4}, fill));
    const std::vector<int64_t> packets = PacketPositions(path);
    std::vector<char> garbled = ReadBytes();
    std::fill(garbled.begin() + packets.at(5) + 4, garbled.begin() + packets.at(6) - 2, char(0xFF));
    std::ofstream(path, std::ios::binary).write(garbled.data(), std::streamsize(garbled.size()));
    log.Clear();
    video = VideoDecoder::Open(path.c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(FrameTimes(*video, end).size() == 9u && log.Lines().size() == 1u);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "\"" + path + "\": a damaged packet before frame 6 (Invalid data "
                                                                 "found when processing input)"));

    // A keyframe every 12 frames; cut one frame before the second, then after it (no keyframe left).
    const std::string cut = directory.Join("Cut.mkv");
    for (const VideoCoding coding : {VideoCoding::Ffv1Rgb, VideoCoding::Mpeg4}) {
        SCOPED_TRACE(int(coding));
        ASSERT_TRUE(WriteVideoFile(path, {16, 8, 24, 10, coding}, fill));
        const std::vector<char> first = ReadBytes();  // no random identifier, no encoder version
        ASSERT_TRUE(WriteVideoFile(path, {16, 8, 24, 10, coding}, fill));
        EXPECT_TRUE(ReadBytes() == first && std::string(first.begin(), first.end()).find("Lavc") == std::string::npos);
        CopyPacketsFrom(path, cut, 11);
        log.Clear();
        video = VideoDecoder::Open(cut.c_str());
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(FrameTimes(*video, end).size(), 12u);
        EXPECT_NEAR(end, 1.2, 1e-9);
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_TRUE(log.Contains(LogPriority::Warning, "\"" + cut +
                                                           "\" was cut where no keyframe begins: its first 1 frames "
                                                           "need the pictures before them and are skipped"));
        // FFV1 keeps its picture format in its keyframes: without one, it does not open.
        CopyPacketsFrom(path, cut, 13);
        log.Clear();
        video = VideoDecoder::Open(cut.c_str());
        EXPECT_FALSE(video != nullptr && video->DecodeFrame());
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0].text, "Video: \"" + cut +
                                           (coding == VideoCoding::Mpeg4
                                                ? "\" has no keyframe: none of its 11 frames can be decoded"
                                                : "\": no picture of its ffv1 video decodes: the file is cut short or "
                                                  "damaged"));
    }
}

// Pictures of 4:2:0 and 4:2:2 clips of widths the scaler converts in part groups (not a multiple
// of 8) come out whole: pixel for pixel as the reference decodes them, near the colours written.
TEST_F(VideoDecoderTest, PicturesOfEveryWidthComeOutWhole) {
    const auto colour = [](int x, int y, uint32_t frame) {  // one colour over each 2 x 2 block
        return 0xFF000000u | uint32_t(x / 2 * 44 + 20) % 256u << 16 |
               uint32_t(y / 2 * 50 + frame * 30 + 40) % 256u << 8 | uint32_t(220 - x / 2 * 26) % 256u;
    };
    const std::tuple<VideoCoding, int, int> clips[] = {
        {VideoCoding::Ffv1Yuv420, 2, 2},  {VideoCoding::Ffv1Yuv420, 6, 4},  {VideoCoding::Ffv1Yuv420, 10, 4},
        {VideoCoding::Ffv1Yuv422, 12, 2}, {VideoCoding::Ffv1Yuv422, 18, 6}, {VideoCoding::Ffv1Yuv420, 30, 4},
        {VideoCoding::Mpeg4, 2, 4},       {VideoCoding::Mpeg4, 6, 2},       {VideoCoding::Mpeg4, 22, 6},
        {VideoCoding::Mpeg4, 854, 480}};
    constexpr uint32_t kClipFrames = 2;
    for (const auto& [coding, width, height] : clips) {
        const int tolerance = coding == VideoCoding::Mpeg4 ? 16 : 4;  // the most a channel is off
        SCOPED_TRACE(::testing::Message() << "coding " << int(coding) << ", " << width << " x " << height);
        const std::string clip = directory.Join("Odd.mkv");
        ASSERT_TRUE(
            WriteVideoFile(clip, {width, height, kClipFrames, 10, coding}, [&](uint32_t frame, uint32_t* pixels) {
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) pixels[y * width + x] = colour(x, y, frame);
            }));
        const std::vector<uint32_t> reference = ReferenceDecode(clip);
        const size_t size = size_t(width) * size_t(height);
        ASSERT_EQ(reference.size(), kClipFrames * size);
        auto video = VideoDecoder::Open(clip.c_str());
        ASSERT_NE(video, nullptr);
        std::vector<uint32_t> pixels(size);
        for (uint32_t frame = 0; frame < kClipFrames; ++frame) {
            ASSERT_TRUE(video->DecodeFrame());
            video->CopyTo(pixels.data(), uint32_t(width) * 4, height);
            video->NextFrame();
            int worst = 0;
            for (size_t i = 0; i < size; ++i) {
                ASSERT_EQ(pixels[i], reference[frame * size + i]) << "frame " << frame << " pixel " << i;
                const uint32_t written = colour(int(i) % width, int(i) / width, frame);
                for (int shift = 0; shift < 24; shift += 8)
                    worst = std::max(worst, std::abs(int(pixels[i] >> shift & 255u) - int(written >> shift & 255u)));
            }
            EXPECT_LE(worst, tolerance) << "frame " << frame;
        }
    }
}

TEST_F(VideoDecoderTest, CutAndGarbageFilesAreRefusedOrEndCleanly) {
    const std::vector<char> bytes = ReadBytes();
    ASSERT_GT(bytes.size(), 200u);
    std::mt19937 random(7);
    LogCapture log;
    for (size_t length = 0; length < bytes.size(); length += 1 + length / 8) {
        for (const bool garbled : {false, true}) {
            std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
            if (garbled) for (size_t i = length / 3; i < cut.size(); i += 7) cut[i] = static_cast<char>(random());
            const std::string name = directory.Join("Cut.mkv");
            std::ofstream(name, std::ios::binary).write(cut.data(), static_cast<std::streamsize>(cut.size()));
            auto video = VideoDecoder::Open(name.c_str());
            if (video == nullptr) continue;
            uint32_t decoded = 0;
            while (decoded <= kFrames && video->DecodeFrame()) {
                video->NextFrame();
                ++decoded;
            }
            EXPECT_LE(decoded, kFrames) << "length " << length;
            EXPECT_TRUE(video->HasEnded()) << "length " << length;
            EXPECT_EQ(video->GetFrameCount(), decoded) << "length " << length;
        }
    }
    // A missing file says only that; a file of no kind known also names what is played.
    const std::pair<const char*, const char*> refusals[] = {
        {"Missing.mkv", "cannot be opened (No such file or directory)"},
        {"Garbage.mkv",
         "cannot be opened (Invalid data found when processing input); the videos played are Matroska "
         "files of FFV1 or MPEG-4 part 2 video"}};
    for (const auto& [name, reason] : refusals) {
        if (std::string(name) == "Garbage.mkv") {
            std::vector<char> garbage(4096);
            for (char& c : garbage) c = static_cast<char>(random());
            std::ofstream(directory.Join(name), std::ios::binary).write(garbage.data(), 4096);
        }
        log.Clear();
        EXPECT_EQ(VideoDecoder::Open(directory.Join(name).c_str()), nullptr) << name;
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0].text, "Video: \"" + directory.Join(name) + "\" " + reason);
    }
}

// Clips written, opened (or not) and decoded again and again leave the heap as it was; each round
// runs on a thread of its own, whose ending returns the blocks its allocator cache keeps.
TEST_F(VideoDecoderTest, WritingAndPlayingHoldNoMemoryAfterwards) {
    const auto round = [&] {
        const LogCapture log;  // of the missing file
        ASSERT_EQ(VideoDecoder::Open(directory.Join("Missing.mkv").c_str()), nullptr);
        for (const VideoCoding coding : {VideoCoding::Ffv1Rgb, VideoCoding::Mpeg4}) {
            ASSERT_TRUE(WriteVideoFile(path, {16, 8, 2, 5, coding}, [](uint32_t, uint32_t*) {}));
            auto video = VideoDecoder::Open(path.c_str());
            ASSERT_NE(video, nullptr);
            ASSERT_TRUE(video->DecodeFrame());
        }
    };
    const auto held = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    std::thread(round).join();
    const size_t before = held();
    for (int i = 0; i < 8; ++i) std::thread(round).join();
    EXPECT_LE(held(), before + 512);
}

}  // namespace
}  // namespace GAME::test
