// Videos written by VideoFileWriter (through the test video) come back through VideoDecoder pixel for pixel, at the stream's
// own pace; cut and garbage files are refused or end cleanly.

#include "platform/VideoDecoder.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "support/TestVideo.h"

#include <gtest/gtest.h>

#include <chrono>
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
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
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
