// The video player on the GL device, read back: letterboxed frames in the video's own colours,
// playback to the end, skipping on a press, a device reset mid-video.

#include "render/VideoPlayer.h"

#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/RenderDevice.h"
#include "support/GLEngineBed.h"
#include "support/InputEvents.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "support/TempDirectory.h"
#include "support/TestVideo.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace GAME::test {
namespace {

constexpr int kWidth = GLEngineBed::kWidth;  // 2:1, wider than the 4:3 video
constexpr int kHeight = GLEngineBed::kHeight;

// The video's 0xAARRGGBB as the bed reads pixels back (bytes R, G, B, A).
uint32_t AsRead(uint32_t argb) { return Rgba(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF); }

class VideoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        ASSERT_TRUE(WriteTestVideo(path));
        bed.Canvas().EndFrame();  // the player draws whole frames of its own
    }
    void TearDown() override {
        player.Close();
        bed.Canvas().BeginFrame();
    }

    // One frame of the host's loop: input, the player's update and its frame.
    void Frame() {
        bed.GetEngine().Update(WorldFrustum(), true);
        player.Update();
        player.Render();
    }

    // Runs frames until the player stops or the time is up; the number of frames run.
    int PlayOut(bool pressEachFrame) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int frames = 0;
        while (player.GetIsPlaying() && std::chrono::steady_clock::now() < deadline) {
            if (pressEachFrame) PushKey(bed.Window(), ScancodeOf("Space"), true);
            Frame();
            ++frames;
        }
        return frames;
    }

    GLEngineBed bed{true};
    TempDirectory directory;
    std::string path = directory.Join("Test.mkv");
    VideoPlayer player;
};

TEST_F(VideoPlayerTest, TheFirstFrameIsDrawnFullHeightAndCentred) {
    LogCapture log;
    ASSERT_TRUE(player.Open(path.c_str(), false, true));
    EXPECT_TRUE(player.GetIsPlaying());
    ASSERT_NE(player.GetTexture(), nullptr);
    const Rect corner(0, 0, 4, 4);
    bed.Device().SetScissorRect(&corner);  // left by another user: the player draws the whole frame
    Frame();
    const std::vector<uint32_t> pixels = bed.ReadPixels();
    // 64 x 48 in a 128 x 64 target: 85.3 wide and 64 high, from x = 21.3 to 106.7.
    const int middle = kHeight / 2;
    for (const int y : {0, middle, kHeight - 1}) {
        EXPECT_EQ(pixels[y * kWidth + 20], Rgba(0, 0, 0)) << y;  // the black bars
        EXPECT_EQ(pixels[y * kWidth + 107], Rgba(0, 0, 0)) << y;
        EXPECT_EQ(pixels[y * kWidth + 21], AsRead(TestVideoLeft(0))) << y;
        EXPECT_EQ(pixels[y * kWidth + 62], AsRead(TestVideoLeft(0))) << y;
        EXPECT_EQ(pixels[y * kWidth + 66], AsRead(TestVideoRight(0))) << y;
        EXPECT_EQ(pixels[y * kWidth + 106], AsRead(TestVideoRight(0))) << y;
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(VideoPlayerTest, AVideoPlaysToItsLastFrameThenClosesAndPressesDoNotSkipIt) {
    ASSERT_TRUE(player.Open(path.c_str(), false, false));
    const int frames = PlayOut(true);
    EXPECT_FALSE(player.GetIsPlaying());
    EXPECT_EQ(player.GetTexture(), nullptr);
    EXPECT_GE(frames, int(kTestVideoFrames));  // every frame had its turn
    // Closed: the player clears to black.
    player.Render();
    EXPECT_EQ(bed.FindDrawn(Rgba(0, 0, 0)), std::vector<int>(4, 0));
}

TEST_F(VideoPlayerTest, ASkippableVideoClosesOnTheFirstPress) {
    ASSERT_TRUE(player.Open(path.c_str(), true, false));
    Frame();
    Frame();
    EXPECT_TRUE(player.GetIsPlaying());
    PushButton(bed.Window(), 1, true, 10, 10);
    Frame();
    EXPECT_FALSE(player.GetIsPlaying());
    EXPECT_EQ(player.GetTexture(), nullptr);
    // A key press skips too.
    ASSERT_TRUE(player.Open(path.c_str(), true, false));
    Frame();
    PushKey(bed.Window(), ScancodeOf("Return"), true);
    Frame();
    EXPECT_FALSE(player.GetIsPlaying());
}

TEST_F(VideoPlayerTest, ADeviceResetMidVideoKeepsItPlaying) {
    LogCapture log;
    // A reset without a video first, so that the engine's own device objects are as they will be
    // after the one with it: then the video memory shows what the player holds.
    bed.GetEngine().PreDeviceReset();
    bed.GetEngine().PostDeviceReset();
    const size_t available = bed.Device().GetAvailableVideoMemory();
    ASSERT_TRUE(player.Open(path.c_str(), false, false));
    Frame();
    EXPECT_LT(bed.Device().GetAvailableVideoMemory(), available);
    bed.GetEngine().PreDeviceReset();
    EXPECT_EQ(player.GetTexture(), nullptr);
    player.Update();  // decodes without a texture
    bed.GetEngine().PostDeviceReset();
    ASSERT_NE(player.GetTexture(), nullptr);
    EXPECT_TRUE(player.GetIsPlaying());
    PlayOut(false);
    EXPECT_FALSE(player.GetIsPlaying());
    // Closed at its end: no texture is left behind, the one before the reset included.
    EXPECT_EQ(bed.Device().GetAvailableVideoMemory(), available);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(VideoPlayerTest, FilesThatAreNotVideosOpenNothing) {
    LogCapture log;
    EXPECT_FALSE(player.Open(directory.Join("Missing.mkv").c_str(), true, false));
    std::ofstream(directory.Join("Text.mkv")) << "not a video at all";
    EXPECT_FALSE(player.Open(directory.Join("Text.mkv").c_str(), true, false));
    EXPECT_FALSE(player.GetIsPlaying());
    EXPECT_EQ(player.GetTexture(), nullptr);
    EXPECT_GE(log.Count(LogPriority::Error), 2u);
}

// The host may keep its player longer than the engine: the engine's shutdown takes the texture
// while the device is there, and the player closes without the engine.
TEST(VideoPlayerLifeTest, APlayerThatOutlivesTheEngineClosesCleanly) {
    TempDirectory directory;
    const std::string path = directory.Join("Test.mkv");
    ASSERT_TRUE(WriteTestVideo(path));
    LogCapture log;
    VideoPlayer player;
    {
        GLEngineBed bed;
        ASSERT_TRUE(bed.IsReady());
        bed.Canvas().EndFrame();
        ASSERT_TRUE(player.Open(path.c_str(), false, false));
        player.Update();
        ASSERT_NE(player.GetTexture(), nullptr);
        bed.GetEngine().Shutdown();
        EXPECT_EQ(player.GetTexture(), nullptr);
        EXPECT_TRUE(player.GetIsPlaying());
        player.Update();
        player.Render();
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    player.Update();
    player.Render();
    // Still open when it goes: the destructor closes it without an engine.
    EXPECT_TRUE(player.GetIsPlaying());
}

}  // namespace
}  // namespace GAME::test
