#include "render/GraphicsTexture.h"

#include "support/GraphicsTestBed.h"
#include "core/GameClock.h"
#include "files/BaseResourceManager.h"
#include "files/BinaryWriter.h"
#include "files/Options.h"
#include "render/TextureFileWriter.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace GAME {
namespace {

using test::GraphicsTestBed;
using test::LogCapture;
using test::MakeDdsFile;
using test::MakeTexFile;

class GraphicsTextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.Start());
        GameClock& clock = GameClock::Get();
        clock.Reset();
        clock.SetPaused(false);
        clock.SetScale(1.0f);
    }

    // Writes the file and loads it through the graphics engine.
    const GraphicsTexture* Load(const std::string& name, const std::vector<uint8_t>& bytes) {
        bed.WriteFile(name, bytes);
        const GraphicsTexture* texture = bed.Graphics().LoadTexture(name);
        EXPECT_NE(texture, nullptr);
        return texture;
    }

    // The device's log name of a frame.
    std::string NameOf(const RenderTexture* texture) { return bed.Device().GetResourceName(texture); }

    GraphicsTestBed bed;
};

void SetGameTime(int milliseconds) {
    GameClock& clock = GameClock::Get();
    clock.Reset();
    clock.AdvanceBy(milliseconds);
}

// -- Forms and failures ------------------------------------------------------------------------

TEST_F(GraphicsTextureTest, ADdsFileIsOneFrame) {
    const std::vector<uint8_t> dds = MakeDdsFile(8, 8);
    const GraphicsTexture* texture = Load("Textures/Plain.dds", dds);
    ASSERT_EQ(texture->GetNumFrames(), 1);
    EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::Success);
    EXPECT_EQ(NameOf(texture->GetTexture()), "texture3");
    EXPECT_EQ(texture->GetFrameRate(), GraphicsTexture::kDefaultFrameRate);
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile"),
              std::vector<std::string>{"CreateTextureFromFile(data, " + std::to_string(dds.size()) + ", 0)"});
    EXPECT_EQ(texture->GetRect(), Rect(0.0f, 0.0f, 1.0f, 1.0f));
}

TEST_F(GraphicsTextureTest, ShortOrUnknownFilesAreInvalidAndShowTheCheckerBoard) {
    LogCapture log;
    const GraphicsTexture* texture = Load("Textures/Short.dds", {'T', 'E', 'X'});
    // The checker board is its one frame, as it is of a file that is not there.
    for (const GraphicsTexture* t : {texture, bed.Graphics().LoadTexture("Textures/Missing.dds")}) {
        const RenderTexture* checker = bed.Graphics().GetDefaultTexture();
        EXPECT_EQ(std::tuple(t->GetNumFrames(), t->GetTexture(), t->GetTexture(0), t->GetTexture(1)),
                  std::tuple(1, checker, checker, nullptr));
    }
    EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::InvalidData);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Textures/Short.dds is neither a DDS nor a TEX file"));
}

TEST_F(GraphicsTextureTest, AnEmptyTexContainerHasNoFrames) {
    const GraphicsTexture* texture = Load("Textures/Empty.tex", MakeTexFile(12, {}));
    EXPECT_EQ(texture->GetFrameRate(), 12.0f);  // asking for it loads the file
    EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::Success);
    EXPECT_EQ(texture->GetNumFrames(), 0);
    EXPECT_EQ(texture->GetTexture(), nullptr);
    EXPECT_EQ(texture->GetWidth(), 0);
}

TEST_F(GraphicsTextureTest, FramesOfATruncatedContainerGetWhatIsLeft) {
    const std::vector<uint8_t> frame = MakeDdsFile(4, 4);
    const std::string full = "CreateTextureFromFile(data, " + std::to_string(frame.size()) + ", 0)";
    // Up to three bytes after the last frame cannot hold a size field and are passed over.
    std::vector<uint8_t> trailing = MakeTexFile(10, {frame, frame});
    trailing.insert(trailing.end(), {1, 2, 3});
    EXPECT_EQ(Load("Textures/Trailing.tex", trailing)->GetNumFrames(), 2);
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile"), (std::vector<std::string>{full, full}));
    // A frame cut short goes to the device with the bytes there are.
    bed.Device().ClearCalls();
    const std::vector<uint8_t> whole = MakeTexFile(10, {frame, frame});
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 10);
    EXPECT_EQ(Load("Textures/Cut.tex", cut)->GetNumFrames(), 2);
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile"),
              (std::vector<std::string>{full, "CreateTextureFromFile(data, " + std::to_string(frame.size() - 10) + ", 0)"}));
}

TEST_F(GraphicsTextureTest, AFrameTheDeviceRefusesFailsTheTextureAndFreesItsFrames) {
    // A frame of size 0 between two good ones: the device makes nothing of no bytes.
    std::vector<uint8_t> file = MakeTexFile(10, {MakeDdsFile(4, 4), {}, MakeDdsFile(4, 4)});
    const size_t live = bed.Device().GetNumLiveResources();
    LogCapture log;
    const GraphicsTexture* texture = Load("Textures/Bad.tex", file);
    EXPECT_EQ(texture->GetNumFrames(), 1);
    EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::InvalidData);
    EXPECT_EQ(texture->GetTexture(), bed.Graphics().GetDefaultTexture());
    EXPECT_EQ(bed.Device().GetNumLiveResources(), live);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "frame 1"));
}

TEST_F(GraphicsTextureTest, LackOfVideoMemoryShowsTheEmptyTextureAndALostDeviceNothing) {
    bed.Device().Script().failCreates = true;
    bed.Device().Script().outOfVideoMemory = true;
    const GraphicsTexture* texture = Load("Textures/Big.dds", MakeDdsFile(8, 8));
    EXPECT_EQ(texture->GetTexture(), bed.Graphics().GetEmptyTexture());
    EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::OutOfMemory);

    bed.Device().Script().deviceLost = true;
    const GraphicsTexture* lost = Load("Textures/Lost.tex", MakeTexFile(10, {MakeDdsFile(4, 4)}));
    EXPECT_EQ(lost->GetNumFrames(), 0);
    EXPECT_EQ(lost->GetInitResult(), Resource::InitResult::Retry);
    EXPECT_EQ(lost->GetTexture(), nullptr);
}

TEST_F(GraphicsTextureTest, TheSharedFallbacksSurviveADeviceReset) {
    const GraphicsTexture* texture = Load("Textures/Short.dds", {'D', 'D'});
    ASSERT_EQ(texture->GetTexture(), bed.Graphics().GetDefaultTexture());
    const_cast<GraphicsTexture*>(texture)->Destroy();
    EXPECT_NE(bed.Graphics().GetDefaultTexture(), nullptr);
    EXPECT_TRUE(bed.Device().GetErrors().empty());

    // A texture that fell back follows the shared texture when a reset remakes it.
    const GraphicsTexture* other = Load("Textures/Other.dds", {'D', 'D'});
    ASSERT_EQ(other->GetTexture(), bed.Graphics().GetDefaultTexture());
    bed.Graphics().PreDeviceReset();
    bed.Graphics().PostDeviceReset();
    EXPECT_EQ(other->GetTexture(), bed.Graphics().GetDefaultTexture());
    EXPECT_EQ(NameOf(other->GetTexture()), "texture3");
}

// -- Animation ---------------------------------------------------------------------------------

TEST_F(GraphicsTextureTest, AnimatedFramesFollowGameTime) {
    const std::vector<uint8_t> frame = MakeDdsFile(4, 4);
    const GraphicsTexture* texture = Load("Textures/Anim.tex", MakeTexFile(10, {frame, frame, frame, frame}));
    ASSERT_EQ(texture->GetNumFrames(), 4);
    EXPECT_EQ(texture->GetFrameRate(), 10.0f);
    SetGameTime(250);  // 2.5 frames in
    EXPECT_EQ(texture->GetTexture(), texture->GetTexture(2));
    SetGameTime(400);  // 4 frames in: the first again
    EXPECT_EQ(texture->GetTexture(), texture->GetTexture(0));
    SetGameTime(399);
    EXPECT_EQ(texture->GetTexture(), texture->GetTexture(3));
    EXPECT_EQ(texture->GetTexture(5), nullptr);
    EXPECT_EQ(texture->GetTexture(-1), nullptr);
    EXPECT_EQ(texture->GetTexture(4), nullptr);
}

TEST_F(GraphicsTextureTest, StillOrExtremeFrameRatesStayInRange) {
    const std::vector<uint8_t> frame = MakeDdsFile(4, 4);
    const GraphicsTexture* backwards = Load("Textures/Backwards.tex", MakeTexFile(-10, {frame, frame, frame}));
    SetGameTime(250);
    EXPECT_EQ(backwards->GetTexture(), backwards->GetTexture(0));
    const GraphicsTexture* fast = Load("Textures/Fast.tex", MakeTexFile(INT_MAX, {frame, frame, frame}));
    SetGameTime(INT_MAX);
    const RenderTexture* current = fast->GetTexture();
    EXPECT_TRUE(current == fast->GetTexture(0) || current == fast->GetTexture(1) || current == fast->GetTexture(2));
}

// -- Reduction ---------------------------------------------------------------------------------

TEST_F(GraphicsTextureTest, EachDirectoryAddsItsReductionToTheGlobalLevel) {
    GraphicsEngine& graphics = bed.Graphics();
    graphics.SetTextureReduction(-2);  // texture quality high
    EXPECT_EQ(graphics.GetTextureReduction("Creatures/Wolf/Wolf.tex"), 0);
    EXPECT_EQ(graphics.GetTextureReduction("Effects/Fire.dds"), 0);
    EXPECT_EQ(graphics.GetTextureReduction("Levels/Ground.dds"), 0);
    graphics.SetTextureReduction(1);  // texture quality low
    EXPECT_EQ(graphics.GetTextureReduction("creatures\\wolf\\wolf.tex"), 3);
    EXPECT_EQ(graphics.GetTextureReduction("Effects/Fire.dds"), 2);
    EXPECT_EQ(graphics.GetTextureReduction("TerrainTextures/Grass.dds"), 1);
    // A longer path is looked at first; an equal path is replaced.
    graphics.SetDirectoryTextureReduction("Creatures/Boss", -1);
    EXPECT_EQ(graphics.GetTextureReduction("Creatures/Boss/Boss.tex"), 0);
    graphics.SetDirectoryTextureReduction("creatures/boss", 0);
    EXPECT_EQ(graphics.GetTextureReduction("Creatures/Boss/Boss.tex"), 1);
    EXPECT_EQ(graphics.GetTextureReduction("Creatures/Wolf.tex"), 3);

    const GraphicsTexture* texture = Load("Creatures/Wolf.dds", MakeDdsFile(8, 8));
    EXPECT_EQ(texture->GetNumFrames(), 1);
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile").back(),
              "CreateTextureFromFile(data, " + std::to_string(MakeDdsFile(8, 8).size()) + ", 3)");
}

TEST_F(GraphicsTextureTest, AReducedSingleFrameContainerReadsOnlyWhatTheReducedImageNeeds) {
    bed.Graphics().SetTextureReduction(1);
    const std::vector<uint8_t> frame = MakeDdsFile(64, 64);
    bed.Device().Script().textureDataLength = 1000;
    const GraphicsTexture* single = Load("Textures/Single.tex", MakeTexFile(0, {frame}));
    EXPECT_EQ(single->GetNumFrames(), 1);
    EXPECT_EQ(bed.Device().GetCalls("GetTextureDataLength"), std::vector<std::string>{"GetTextureDataLength(data, 244, 1)"});
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile").back(), "CreateTextureFromFile(data, 1000, 1)");

    // Several frames, or a device that cannot tell, read the whole file.
    bed.Device().ClearCalls();
    const GraphicsTexture* two = Load("Textures/Two.tex", MakeTexFile(0, {frame, frame}));
    EXPECT_EQ(two->GetNumFrames(), 2);
    EXPECT_EQ(bed.Device().CountCalls("GetTextureDataLength"), 0u);
    bed.Device().Script().textureDataLength = 0;
    const GraphicsTexture* unknown = Load("Textures/Unknown.tex", MakeTexFile(0, {frame}));
    EXPECT_EQ(unknown->GetNumFrames(), 1);
    EXPECT_EQ(bed.Device().GetCalls("CreateTextureFromFile").back(),
              "CreateTextureFromFile(data, " + std::to_string(frame.size()) + ", 1)");
}

// -- Writer ------------------------------------------------------------------------------------

uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + offset, 4);
    return word;
}

TEST(TextureFileWriterTest, WritesADdsHeaderAndAveragedMipLevels) {
    // A 2 x 2 image: black, white, white, black; its 1 x 1 level is the rounded mean.
    const uint32_t texels[4] = {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u};
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, 2, 2, texels, 0);
    const std::vector<uint8_t> bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    ASSERT_EQ(bytes.size(), 128u + 16u + 4u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "DDS ");
    EXPECT_EQ(Word(bytes, 4), 124u);
    EXPECT_EQ(Word(bytes, 12), 2u);        // height
    EXPECT_EQ(Word(bytes, 16), 2u);        // width
    EXPECT_EQ(Word(bytes, 28), 2u);        // levels
    EXPECT_EQ(Word(bytes, 76), 32u);       // pixel format size
    EXPECT_EQ(Word(bytes, 88), 32u);       // bits
    EXPECT_EQ(Word(bytes, 92), 0xFF0000u);  // red mask
    EXPECT_EQ(Word(bytes, 104), 0xFF000000u);  // alpha mask
    EXPECT_EQ(Word(bytes, 128 + 4), 0xFFFFFFFFu);
    EXPECT_EQ(Word(bytes, 144), 0xFF808080u);

    BinaryWriter single;
    TextureFileWriter::WriteDDS(single, 2, 2, texels, 1);
    EXPECT_EQ(single.GetPosition(), 128u + 16u);
}

// Chains of several levels, blue 10 x the texel's index: each texel of a level is the rounded mean
// of the 2 x 2 above it, a side of 1 averaging its one texel twice.
TEST(TextureFileWriterTest, EachMipLevelHalvesTheOneAbove) {
    const struct {
        uint32_t width, height;
        std::vector<uint32_t> levels;  // the blue of every texel written, level after level
    } cases[] = {
        {4, 2, {0, 10, 20, 30, 40, 50, 60, 70, 25, 45, 35}},
        {1, 4, {0, 10, 20, 30, 5, 25, 15}},
        {3, 3, {0, 10, 20, 30, 40, 50, 60, 70, 80, 20}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> texels(c.width * c.height);
        for (uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | i * 10;
        BinaryWriter writer;
        TextureFileWriter::WriteDDS(writer, c.width, c.height, texels.data(), 0);
        const std::vector<uint8_t> bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
        ASSERT_EQ(bytes.size(), 128 + 4 * c.levels.size()) << c.width << " x " << c.height;
        EXPECT_EQ(Word(bytes, 12), c.height);
        EXPECT_EQ(Word(bytes, 16), c.width);
        EXPECT_EQ(Word(bytes, 20), c.width * 4);  // pitch
        EXPECT_EQ(Word(bytes, 28), c.width == 3 ? 2u : 3u);
        EXPECT_EQ(Word(bytes, 108), 0x401008u);  // caps: texture, complex, mip-map
        for (size_t i = 0; i < c.levels.size(); ++i)
            EXPECT_EQ(Word(bytes, 128 + 4 * i), 0xFF000000u | c.levels[i]) << c.width << " x " << c.height << ", " << i;
    }
}

TEST(TextureFileWriterTest, WritesATexContainer) {
    BinaryWriter writer;
    TextureFileWriter::WriteTEX(writer, -3, {{1, 2, 3}, {}});
    const std::vector<uint8_t> bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'T', 'E', 'X', 1, 0xFD, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace GAME
