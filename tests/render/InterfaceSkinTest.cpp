// Interface skins from .uis text: the areas of a good file, what cut, malformed and hostile files
// keep, and the texture references of skins and their copies.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "files/BaseResourceManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsTexture.h"
#include "render/InterfaceSkin.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"

namespace GAME::test {
namespace {

class InterfaceSkinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bed.Start()); }

    // Reads the text into the skin; the load's result.
    static bool Read(InterfaceSkin& skin, const std::string& text) {
        return skin.ReadUIS(text.data(), uint32_t(text.size()), "Test.uis");
    }
    int LiveTextures() {
        BaseResourceManager* textures = bed.Graphics().GetTextureResourceManager();
        textures->UnloadUnreferencedResources();
        return textures->GetNumResources();
    }

    GraphicsTestBed bed;
};

TEST_F(InterfaceSkinTest, ReadsNamedAreasSkipsUnknownKeywordsAndKeepsTheFirstOfADuplicate) {
    LogCapture log;
    InterfaceSkin skin(bed.Graphics());
    const int before = LiveTextures();
    EXPECT_TRUE(Read(skin, "// a comment\nheader tokens Area { name = \"Up\" bitmap = \"Ui/Buttons.dds\"\n"
                           "  region = ( 1.5, 2 ,30,-4 ) }\n"
                           "Area { enabled : name = \"Down\" region = (32, 0, 32, 32) bitmap = \"Ui/Buttons.dds\" }\n"
                           "Area { bitmap = \"Ui/Other.dds\" region = (0, 0, 1, 1) }\n"
                           "Area { name = \"Up\" bitmap = \"Ui/Other.dds\" }\n"
                           "Area { name = \"}\" }"));
    EXPECT_EQ(skin.GetNumAreas(), 3);
    const InterfaceSkin::Area* up = skin.GetArea("Up");
    ASSERT_NE(up, nullptr);
    ASSERT_NE(up->texture, nullptr);
    EXPECT_EQ(up->texture->GetFileName(), bed.Graphics().LoadTexture("Ui/Buttons.dds")->GetFileName());
    bed.Graphics().UnloadTexture(up->texture);
    EXPECT_EQ(up->region, Rect(1.5f, 2.0f, 30.0f, -4.0f));
    const InterfaceSkin::Area* down = skin.GetArea("Down");
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->texture, up->texture);  // one shared resource
    EXPECT_EQ(down->region.x, 32.0f);
    ASSERT_NE(skin.GetArea("}"), nullptr);  // a quoted brace is a name
    EXPECT_EQ(skin.GetArea("}")->texture, nullptr);
    EXPECT_EQ(skin.GetArea("Missing"), nullptr);
    // The duplicate's and the nameless block's bitmap were never kept.
    EXPECT_EQ(std::tuple(LiveTextures(), log.Count(LogPriority::Error), log.Count(LogPriority::Warning)),
              std::tuple(before + 1, 0u, 2u));
}

TEST_F(InterfaceSkinTest, CutMalformedAndHostileFilesKeepTheAreasReadBefore) {
    const std::string good = "Area { name = \"Kept\" bitmap = \"Ui/Kept.dds\" region = (0, 0, 8, 8) }\n";
    const char* const bad[] = {
        "Area { name = \"Cut\" bitmap",                       // cut inside an entry
        "Area { name = \"Cut\" region = (1, 2, 3, 4)",        // cut before the brace
        "Area name = \"NoBrace\" }",                          // "Area" without "{"
        "Area { name = \"Few\" region = (1, 2, 3) }",         // too few numbers
        "Area { name = \"Many\" region = (1, 2, 3, 4, 5) }",  // too many
        "Area { name = \"Word\" region = (1, 2, x, 4) }",     // not a number
        "Area { name = \"Huge\" region = (1e99, 2, 3, 4) }",  // beyond a float
        "Area { name = \"Open\" region = (1, 2, 3, 4 }",      // the group never closes
        "Area { name = \"Skip\" region = } Area { name = \"Late\" region = (1, 2, 3, 4) }",
        "Area { name = }",                                    // a brace where a value belongs
        "Area { name = \"Quote\" bitmap = \"unterminated",
    };
    for (const char* text : bad) {
        LogCapture log;
        InterfaceSkin skin(bed.Graphics());
        EXPECT_FALSE(Read(skin, good + text)) << text;
        EXPECT_EQ(skin.GetNumAreas(), 1) << text;
        EXPECT_NE(skin.GetArea("Kept"), nullptr) << text;
        EXPECT_EQ(log.Count(LogPriority::Error), 1u) << text;
    }
    // Bytes that are no text at all, and nothing.
    InterfaceSkin skin(bed.Graphics());
    const char noise[] = {'A', 'r', 'e', 'a', ' ', '{', '\xff', '(', '\0', ')', '"'};
    EXPECT_FALSE(skin.ReadUIS(noise, sizeof(noise), "Noise.uis"));
    EXPECT_TRUE(Read(skin, ""));
    EXPECT_EQ(std::tuple(skin.GetNumAreas(), LiveTextures()), std::tuple(0, 0));
}

TEST_F(InterfaceSkinTest, CopiesHoldTheirOwnTextureReferences) {
    auto skin = std::make_unique<InterfaceSkin>(bed.Graphics());
    ASSERT_TRUE(Read(*skin, "Area { name = \"A\" bitmap = \"Ui/A.dds\" } Area { name = \"B\" bitmap = \"Ui/B.dds\" }"));
    InterfaceSkin assigned(bed.Graphics());
    ASSERT_TRUE(Read(assigned, "Area { name = \"C\" bitmap = \"Ui/C.dds\" }"));
    {
        const InterfaceSkin copy(*skin);
        assigned = copy;
        const InterfaceSkin& same = assigned;
        assigned = same;
    }
    EXPECT_EQ(assigned.GetNumAreas(), 2);
    EXPECT_EQ(assigned.GetArea("C"), nullptr);
    EXPECT_EQ(LiveTextures(), 2);  // C went with the assignment
    skin.reset();
    EXPECT_EQ(LiveTextures(), 2);
    ASSERT_NE(assigned.GetArea("A"), nullptr);
    EXPECT_EQ(assigned.GetArea("A")->texture->GetFileName(), "Ui/A.dds");
}

}  // namespace
}  // namespace GAME::test
