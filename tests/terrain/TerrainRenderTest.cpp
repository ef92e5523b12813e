// The terrain drawn through the scene renderer on the GL device with the sample data's terrain
// shaders, and read back: layers where they show, holes where samples are hidden, depth between
// hills, grass on the blocks in view, tiles in the layers where they stand, and the same picture
// from the editable and the run-time terrain of the same data.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SampleMeshShaders.h"
#include "SampleTerrain.h"
#include "SampleTiles.h"
#include "core/Frustum.h"
#include "core/Mat4.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsEngine.h"
#include "render/TextureFileWriter.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenDevice.h"
#include "support/PlainSceneRenderer.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainRenderInterfaceBase.h"
#include "terrain/TerrainTile.h"
#include "world/Region.h"

namespace GAME::test {
namespace {

constexpr int kWidth = GLEngineBed::kWidth;
constexpr int kHeight = GLEngineBed::kHeight;
constexpr uint32_t kBlack = Rgba(0, 0, 0);
constexpr uint32_t kRed = Rgba(255, 0, 0);
constexpr uint32_t kGreen = Rgba(0, 255, 0);
constexpr uint32_t kWhite = Rgba(255, 255, 255);
constexpr const char* kRedType = "Records/Test/Red.dbr";
constexpr const char* kGreenType = "Records/Test/Green.dbr";
constexpr const char* kGrassType = "Records/Test/Grass.dbr";

std::vector<uint8_t> SolidDds(uint32_t texel) {
    const std::vector<uint32_t> texels(16, texel);
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, 4, 4, texels.data(), 0);
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A frustum of the six inward planes of the box from low to high.
Frustum BoxFrustum(const Vec3& low, const Vec3& high) { return Frustum::FromBox(ABBox((low + high) * 0.5f, (high - low) * 0.5f)); }

// Seen from above: x 0..16 across the window, z 0..16 down it, higher ground nearer.
const Mat4 kFromAbove(0.125f, 0, 0, -1, 0, 0, -0.125f, 1, 0, -0.01f, 0, 0.5f, 0, 0, 0, 1);

class TerrainRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(TerrainRenderInterfaceBase::kStandardShader, sample::MakeTerrainShaderFile());
        bed.WriteFile(TerrainRenderInterfaceBase::kLowQualityShader, sample::MakeTerrainShaderFile());
        bed.WriteFile(TerrainRenderInterfaceBase::kGrassShader, sample::MakeGrassShaderFile());
        bed.WriteFile("Textures/Red.dds", SolidDds(0xFFFF0000u));
        bed.WriteFile("Textures/Green.dds", SolidDds(0xFF00FF00u));
        bed.WriteFile("Textures/White.dds", SolidDds(0xFFFFFFFFu));
        bed.WriteFile(kRedType, Text("Class,TerrainType,\nTextureFileName1,Textures/Red.dds,\n"));
        bed.WriteFile(kGreenType, Text("Class,TerrainType,\nTextureFileName1,Textures/Green.dds,\n"));
        bed.WriteFile(kGrassType, Text("Class,TerrainType,\nTextureFileName1,Textures/Red.dds,\n"
                                       "BladeTextureFileName,Textures/White.dds,\nBladeSpacing,0,\n"
                                       "BladeWidth,0.5,\nBladeHeight,2.0,\n"));
    }
    void TearDown() override { EXPECT_EQ(log.Count(LogPriority::Error), 0u); }

    // Draws what the frustum sees of the terrain in the ambient style through the matrix.
    std::vector<uint32_t> Draw(TerrainBase& terrain, const Mat4& worldToScreen, const Frustum& frustum) {
        bed.Clear();
        PlainSceneRenderer renderer;
        renderer.SetWorldToScreenMatrix(worldToScreen);
        terrain.AddToScene(renderer, frustum);
        renderer.RenderStyle(bed.Canvas(), SceneStyleNames::Get().ambientLight);
        return bed.ReadPixels();
    }
    std::vector<uint32_t> Draw(TerrainBase& terrain, const Mat4& worldToScreen) {
        return Draw(terrain, worldToScreen, BoxFrustum(Vec3(-100, -100, -100), Vec3(100, 100, 100)));
    }

    // A 17 x 17 terrain: layer 0 red, layer 1 green painted over cells 4-9 both ways, sample
    // (12, 12) hidden.
    void Paint(Terrain& terrain) {
        ASSERT_TRUE(terrain.New(16, 16));
        ASSERT_TRUE(terrain.AddLayer(kRedType));
        ASSERT_TRUE(terrain.AddLayer(kGreenType));
        for (unsigned z = 4; z < 10; ++z) {
            for (unsigned x = 4; x < 10; ++x) terrain.SetLayerOpacity(1, x, z, 255);
        }
        terrain.UpdateLayerOpacity(1);
        terrain.AddOpacityDirtyRect(DirtyRect(0, 0, 16, 16));
        terrain.ProcessDirtyOpacityRects();
        terrain.SetInvisible(12, 12, true);
    }

    GLEngineBed bed;
    LogCapture log;
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
};

uint32_t At(const std::vector<uint32_t>& pixels, int x, int y) { return pixels[size_t(y) * kWidth + size_t(x)]; }

// The pixel at the centre of cell (x, z) seen from above.
uint32_t Cell(const std::vector<uint32_t>& pixels, int x, int z) { return At(pixels, x * 8 + 4, z * 4 + 2); }

TEST_F(TerrainRenderTest, LayersShowWhereTheyArePaintedAndHiddenSamplesLeaveHoles) {
    Terrain terrain(&region);
    Paint(terrain);
    const std::vector<uint32_t> pixels = Draw(terrain, kFromAbove);
    for (int z = 0; z < 16; ++z) {
        for (int x = 0; x < 16; ++x) {
            const bool painted = x >= 5 && x <= 8 && z >= 5 && z <= 8;  // clear of the blended rim
            const bool rim = x >= 3 && x <= 10 && z >= 3 && z <= 10;
            if (x == 12 && z == 12) {
                EXPECT_EQ(Cell(pixels, x, z), kBlack) << "hidden sample";
            } else if (painted) {
                EXPECT_EQ(Cell(pixels, x, z), kGreen) << x << ", " << z;
            } else if (!rim) {
                EXPECT_EQ(Cell(pixels, x, z), kRed) << x << ", " << z;
            }
        }
    }
    // On the rim the green fades out into the red.
    const uint32_t rim = Cell(pixels, 3, 6);
    EXPECT_GT(rim & 0xFF, 0u);
    EXPECT_GT(rim >> 8 & 0xFF, 0u);
}

// Plugs close the holes with the ground's own layers: where the green layer is painted they are
// green, elsewhere red; their passes run top layer first, bottom first in reflections.
TEST_F(TerrainRenderTest, PlugsFillHolesInTheLayersAroundThem) {
    Terrain terrain(&region);
    Paint(terrain);
    terrain.SetInvisible(6, 6, true);
    terrain.SetInvisible(7, 6, true);
    DirtyRectSet all;
    all.AddRect(DirtyRect(0, 0, 17, 17));
    terrain.BuildPlugs(all);
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    mem::vector<const TerrainPlug*> plugs;
    for (const TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) plugs.push_back(static_cast<const TerrainPlug*>(object));
    }
    ASSERT_EQ(plugs.size(), 1u);  // both holes lie in the first 15-unit bucket
    const TerrainPlug& plug = *plugs[0];
    EXPECT_TRUE(plug.HasRenderData());

    const std::vector<uint32_t> pixels = Draw(terrain, kFromAbove);
    EXPECT_EQ(Cell(pixels, 12, 12), kRed);
    EXPECT_EQ(Cell(pixels, 6, 6), kGreen);
    EXPECT_EQ(Cell(pixels, 7, 6), kGreen);

    ASSERT_EQ(plug.GetLayers(), (mem::vector<unsigned>{0, 1}));
    const SceneStyleNames& styles = SceneStyleNames::Get();
    const Name reflection = Name::Create("reflectionStyle");
    const RenderGenerationId any{};
    EXPECT_EQ(std::tuple(plug.GetNumRenderPasses(styles.ambientLight, any), plug.GetNumRenderPasses(reflection, any),
                         plug.GetRenderPassSortOrder(0, styles.ambientLight, any),
                         plug.GetRenderPassSortOrder(2, styles.ambientLight, any)),
              std::tuple(3, 2, -1, 3));
    // Pass by pass, and reflections draw layer 0 too.
    for (const auto& [pass, style, shown] : {std::tuple{0, styles.ambientLight, styles.depth},
                                             {1, styles.fog, Name::Create("None")}, {0, styles.fog, styles.fog},
                                             {0, reflection, reflection}})
        EXPECT_EQ(plug.GetShaderStyle(pass, style, any, nullptr), shown) << pass;
}

// A tile is drawn where it stands in the layers painted there: the sample slab (6 x 6) over cells
// 7-12 both ways, above the ground, fills the holes under it with the green or the red of the
// ground around them; a hole beside it stays open.
TEST_F(TerrainRenderTest, ATileShowsTheLayersWhereItStands) {
    ASSERT_TRUE(sample::WriteTiles(bed.Files()));
    // The tile mesh's material: its shader says which of its textures load.
    bed.WriteFile(sample::kStandardShader, sample::MakeMeshShaderFile(sample::MeshShaderKind::Standard, false));
    const GraphicsMesh* mesh = bed.Graphics().LoadMesh(sample::kTileMesh);
    ASSERT_NE(mesh, nullptr);
    mesh->EnsureAvailable();
    Terrain terrain(&region);
    Paint(terrain);
    terrain.SetInvisible(7, 7, true);
    terrain.SetInvisible(14, 11, true);
    const std::vector<uint32_t> before = Draw(terrain, kFromAbove);
    ASSERT_EQ(Cell(before, 7, 7), kBlack);
    ASSERT_EQ(Cell(before, 12, 12), kBlack);

    TerrainTile* tile = terrain.CreateTile(Coords::Translation(Vec3(10, 1, 10)), mesh);
    EXPECT_EQ(tile->GetLayers(), (mem::vector<unsigned>{0, 1}));
    const std::vector<uint32_t> pixels = Draw(terrain, kFromAbove);
    EXPECT_EQ(Cell(pixels, 7, 7), kGreen);
    EXPECT_EQ(Cell(pixels, 12, 12), kRed);
    EXPECT_EQ(Cell(pixels, 14, 11), kBlack);  // beside the slab
    for (int z = 0; z < 16; ++z) {
        for (int x = 0; x < 16; ++x) {
            if (Cell(before, x, z) != kBlack) {
                EXPECT_EQ(Cell(pixels, x, z), Cell(before, x, z)) << x << ", " << z;
            }
        }
    }
    terrain.DestroyTile(tile);
}

TEST_F(TerrainRenderTest, EditableAndRunTimeTerrainsDrawTheSamePicture) {
    Terrain editable(&region);
    Paint(editable);
    for (unsigned z = 0; z <= 16; ++z) {
        for (unsigned x = 0; x <= 16; ++x) editable.SetBaseHeight(x, z, float((x * 7 + z * 3) % 5) * 0.4f);
    }
    editable.AddDirtyRect(DirtyRect(0, 0, 17, 17));
    editable.ProcessDirtyRects();
    editable.SetInvisible(12, 12, true);
    BinaryWriter writer;
    editable.SaveRunTimeFormat(writer);
    TerrainRT runTime(&region);
    BinaryReader reader(writer.GetBuffer(), writer.GetPosition());
    ASSERT_TRUE(runTime.Load(reader, 14));
    ASSERT_TRUE(runTime.LoadRenderData());

    const std::vector<uint32_t> a = Draw(editable, kFromAbove);
    const std::vector<uint32_t> b = Draw(runTime, kFromAbove);
    int differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            if (std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF)) > 2) {
                ++differing;
                break;
            }
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(Cell(b, 12, 12), kBlack);
    EXPECT_EQ(Cell(b, 6, 6) & 0xFF, 0u);  // green (lit by the hemisphere, so not exactly)
}

TEST_F(TerrainRenderTest, ARidgeHidesTheGroundBehindIt) {
    // Seen from the front (looking along +z): x across, height 0..8 up the window.
    const Mat4 fromFront(0.125f, 0, 0, -1, 0, 0.25f, 0, -1, 0, 0, 0.05f, 0.1f, 0, 0, 0, 1);
    Terrain terrain(&region);
    ASSERT_TRUE(terrain.New(16, 16));
    for (unsigned z = 0; z <= 16; ++z) {
        const float height = z >= 3 && z <= 5 ? 4.0f : (z >= 10 ? 6.0f : 0.0f);
        for (unsigned x = 0; x <= 16; ++x) terrain.SetBaseHeight(x, z, height);
    }
    terrain.AddDirtyRect(DirtyRect(0, 0, 17, 17));
    terrain.ProcessDirtyRects();
    ASSERT_TRUE(terrain.AddLayer(kRedType));
    ASSERT_TRUE(terrain.AddLayer(kGreenType));
    for (unsigned z = 8; z < 16; ++z) {
        for (unsigned x = 0; x < 16; ++x) terrain.SetLayerOpacity(1, x, z, 255);
    }
    terrain.UpdateLayerOpacity(1);
    terrain.AddOpacityDirtyRect(DirtyRect(0, 0, 16, 16));
    terrain.ProcessDirtyOpacityRects();

    const std::vector<uint32_t> pixels = Draw(terrain, fromFront);
    // Window row r shows height (kHeight - r) / 8; the green plateau (drawn first, as the top
    // layer) stands behind the red ridge and shows only above it.
    for (int x = 4; x < kWidth; x += 16) {
        EXPECT_EQ(At(pixels, x, kHeight - 12), kRed) << x;       // height 1.5
        EXPECT_EQ(At(pixels, x, kHeight - 28), kRed) << x;       // height 3.5
        EXPECT_EQ(At(pixels, x, kHeight - 40) & 0xFFFF, 0xFF00u) << x;  // height 5: the plateau
        EXPECT_EQ(At(pixels, x, kHeight - 56), kBlack) << x;     // height 7: above everything
    }
}

TEST_F(TerrainRenderTest, GrassGrowsOnTheBlocksInViewOnly) {
    // Seen from the side (looking along +x): z across, height 0..8 up the window, 4 pixels a unit.
    const Mat4 fromSide(0, 0, 0.0625f, -1, 0, 0.25f, 0, -1, 0.01f, 0, 0, 0.5f, 0, 0, 0, 1);
    Terrain terrain(&region);
    ASSERT_TRUE(terrain.New(32, 32));
    ASSERT_TRUE(terrain.AddLayer(kGrassType));
    // The view ends before the second row of blocks (from z = 9).
    const std::vector<uint32_t> pixels =
        Draw(terrain, fromSide, BoxFrustum(Vec3(-1, -10, -1), Vec3(40, 10, 8.5f)));
    int nearBlades = 0, farBlades = 0;
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight - 2; ++y) {  // above the ground line
            if (At(pixels, x, y) != kWhite) continue;
            (x < 38 ? nearBlades : farBlades) += 1;
        }
    }
    EXPECT_GT(nearBlades, 100);
    EXPECT_EQ(farBlades, 0);
}

TEST_F(TerrainRenderTest, ATerrainBeyondOneIndexLockIsDrawnWhole) {
    // 57 x 57 blocks: more than the canvas's dynamic index buffer holds at once.
    Terrain terrain(&region);
    ASSERT_TRUE(terrain.New(512, 512));
    ASSERT_TRUE(terrain.AddLayer(kRedType));
    const Mat4 whole(0.125f / 32, 0, 0, -1, 0, 0, -0.125f / 32, 1, 0, -0.01f, 0, 0.5f, 0, 0, 0, 1);
    const std::vector<uint32_t> pixels = Draw(terrain, whole, BoxFrustum(Vec3(-1, -10, -1), Vec3(600, 10, 600)));
    EXPECT_EQ(bed.FindDrawn(kRed), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_FALSE(log.Contains(LogPriority::Warning, "Couldn't lock index buffer"));
}

// The solid pass's style for each renderer style, light and quality; the texture offset.
TEST(TerrainRenderStyleTest, SolidPassStylesFollowTheLightAndQuality) {
    TerrainRT terrain(nullptr);
    TerrainRenderInterfaceBase& renderable = *terrain.GetRenderInterface();
    const SceneStyleNames& styles = SceneStyleNames::Get();
    GraphicsLight shadowless;
    // Each style's solid pass: standard quality with and without shadows, then low quality.
    const Name depth = styles.depth, alpha = Name::Create("alphaStyle"), none = Name::Create("None");
    const Name d = Name::Create("dShadowFilterStyle"), p = Name::Create("pShadowFilterStyle");
    struct Row {
        const Name& style;
        Name expected[4];
    };
    for (const Row& row : {Row{styles.ambientLight, {depth, depth, depth, depth}}, Row{styles.directionalDiffuse, {d, alpha, depth, depth}},
                           Row{styles.pointDiffuse, {p, alpha, depth, depth}}, Row{styles.pointSimple, {alpha, alpha, depth, depth}},
                           Row{styles.directionalDiffuseAmbient, {depth, depth, d, depth}},
                           Row{styles.pointDiffuseAmbient, {depth, depth, p, depth}},
                           Row{styles.pointSimpleAmbient, {depth, depth, p, depth}}, Row{styles.fog, {styles.fog, alpha, styles.fog, depth}},
                           Row{styles.emissive, {none, alpha, none, depth}}}) {
        for (int i = 0; i < 4; ++i) {
            const GraphicsLight* light = i % 2 ? &shadowless : nullptr;
            EXPECT_EQ(TerrainRenderInterfaceBase::GetSolidPassStyle(row.style, light, i >= 2), row.expected[i]) << i;
            if (i < 2) {
                EXPECT_EQ(renderable.GetShaderStyle(TerrainRenderInterfaceBase::kSolidPass, row.style, RenderGenerationId{}, light),
                          row.expected[i]);
            }
        }
    }
    EXPECT_EQ(renderable.GetShaderStyle(TerrainRenderInterfaceBase::kGroundPass, styles.fog, RenderGenerationId{},
                                        nullptr),
              Name::Create("None"));
    EXPECT_EQ(renderable.GetNumRenderPasses(styles.ambientLight, RenderGenerationId{}), 0);  // nothing in view

    float u = 0.0f, v = 0.0f;
    TerrainRenderInterfaceBase::GetTextureOffset(IntVec3(-13, 0, 27), u, v);
    EXPECT_FLOAT_EQ(u, -0.3f);
    EXPECT_FLOAT_EQ(v, 0.7f);
}

}  // namespace
}  // namespace GAME::test
