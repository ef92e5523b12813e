// Videos written by VideoFileWriter (through the test video) come back through VideoDecoder pixel
// for pixel, at the stream's own pace; clips common tools wrote (of a variable frame rate, cut, with
// a track of another codec) play every frame at its own time or say what is wrong; cut, garbage and
// refused files are refused with the reason or end cleanly.

#include "platform/VideoDecoder.h"
#include "platform/VideoFileWriter.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "support/TestVideo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

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
    EXPECT_EQ(video->GetWidth(), kWidth);
    EXPECT_EQ(video->GetHeight(), kHeight);
    EXPECT_EQ(video->GetFrameCount(), kFrames);
    // Copied at a wider pitch than the picture, so rows that run together would show.
    constexpr uint32_t kPitch = (kWidth + 3) * 4;
    std::vector<uint32_t> texels(kPitch / 4 * kHeight);
    for (uint32_t frame = 0; frame < kFrames; ++frame) {
        ASSERT_EQ(video->GetCurrentFrame(), frame + 1);
        ASSERT_TRUE(video->DecodeFrame()) << "frame " << frame;
        video->CopyTo(texels.data(), kPitch, kHeight);
        for (int y = 0; y < kHeight; y += kHeight - 1) {
            const uint32_t* row = texels.data() + y * (kPitch / 4);
            EXPECT_EQ(row[0], TestVideoLeft(frame)) << "frame " << frame << " row " << y;
            EXPECT_EQ(row[kWidth / 2 - 1], TestVideoLeft(frame));
            EXPECT_EQ(row[kWidth / 2], TestVideoRight(frame));
            EXPECT_EQ(row[kWidth - 1], TestVideoRight(frame));
        }
        video->NextFrame();
    }
    EXPECT_FALSE(video->HasEnded());  // the last frame still has its time to show
    EXPECT_FALSE(video->DecodeFrame());
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
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(times[i], i < 10 ? 0.1 * double(i) : 0.9 + double(i - 9) / 30.0, 0.0011) << i;
    }
    EXPECT_NEAR(end, 1.733, 1e-9);  // the last frame shows for its own 33 ms
    EXPECT_EQ(fast->GetFrameCount(), 34u);

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
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(times[i], i <= 30 ? 0.1 * double(i) : 3.0 + 0.033 * double(i - 30), 1e-9) << i;
    }
    EXPECT_NEAR(end, 4.057, 1e-9);  // its file gives the last frame 100 ms
    EXPECT_EQ(tail->GetFrameCount(), 60u);
    EXPECT_TRUE(log.Lines().empty());
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
    EXPECT_EQ(video->GetWidth(), 64);  // the H.264 track is 96 x 64
    EXPECT_EQ(video->GetHeight(), 48);
    double end = 0.0;
    const std::vector<double> times = FrameTimes(*video, end);
    ASSERT_EQ(times.size(), 10u);
    EXPECT_EQ(times.front(), 0.0);  // counted from the first frame, at 80 ms
    EXPECT_NEAR(times.back(), 0.36, 1e-9);
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

    // A container not played.
    const std::string avi = directory.Join("Clip.avi");
    std::string riff("RIFF\x00\x10\x00\x00AVI LIST", 16);
    riff.resize(600, '\0');
    std::ofstream(avi, std::ios::binary) << riff;
    EXPECT_EQ(VideoDecoder::Open(avi.c_str()), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "\"" + avi +
                                                     "\" is refused: it is AVI (Audio Video Interleaved) (avi); the "
                                                     "videos played are"));

    // A one-frame clip cut inside its frame: its size is known, its picture is not.
    const std::string one = directory.Join("One.mkv");
    ASSERT_TRUE(WriteVideoFile(one, {kWidth, kHeight, 1, 24}, [](uint32_t, uint32_t* pixels) {
        for (uint32_t i = 0; i < kWidth * kHeight; ++i) pixels[i] = i * 2654435761u;  // noise: a large frame
    }));
    std::filesystem::resize_file(one, std::filesystem::file_size(one) * 3 / 4);
    EXPECT_EQ(VideoDecoder::Open(one.c_str()), nullptr);
    EXPECT_TRUE(log.Contains(
        LogPriority::Error, "\"" + one + "\": no picture of its ffv1 video decodes: the file is cut short or damaged"));
}

TEST_F(VideoDecoderTest, APictureOfOnePixelPlays) {
    const std::string dot = directory.Join("Dot.mkv");
    ASSERT_TRUE(
        WriteVideoFile(dot, {1, 1, 2, 24}, [](uint32_t frame, uint32_t* pixels) { pixels[0] = TestVideoLeft(frame); }));
    auto video = VideoDecoder::Open(dot.c_str());
    ASSERT_NE(video, nullptr);
    uint32_t pixel = 0;
    for (uint32_t frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(video->DecodeFrame());
        video->CopyTo(&pixel, 4, 1);
        EXPECT_EQ(pixel, TestVideoLeft(frame));
        video->NextFrame();
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
            if (garbled) {
                for (size_t i = length / 3; i < cut.size(); i += 7) cut[i] = static_cast<char>(random());
            }
            const std::string name = directory.Join("Cut.mkv");
            std::ofstream(name, std::ios::binary).write(cut.data(), static_cast<std::streamsize>(cut.size()));
            auto video = VideoDecoder::Open(name.c_str());
            if (video == nullptr) {
                continue;
            }
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
    for (const char* name : {"Missing.mkv", "Garbage.mkv"}) {
        if (std::string(name) == "Garbage.mkv") {
            std::vector<char> garbage(4096);
            for (char& c : garbage) c = static_cast<char>(random());
            std::ofstream(directory.Join(name), std::ios::binary).write(garbage.data(), 4096);
        }
        EXPECT_EQ(VideoDecoder::Open(directory.Join(name).c_str()), nullptr) << name;
    }
    EXPECT_GT(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME::test
