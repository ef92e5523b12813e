// Ribbons: a line effect drawn on the GL device covers its path with the window's points, narrowed
// and dimmed at the tapered ends; chaos beams put a point every 0.2 units with the shared wobble
// growing from both ends; trails keep their world positions across regions and smooth their
// segments into the expected number of points.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "SampleRibbons.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "effects/ChaosBeam.h"
#include "effects/FlyingBolt.h"
#include "effects/LineEffect.h"
#include "effects/TrailEffect.h"
#include "effects/WeaponTrail.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/LoadTable.h"
#include "files/Resource.h"
#include "files/ResourceLoader.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"
#include "render/TextureFileWriter.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "world/Region.h"

namespace GAME {
namespace {

constexpr int kWidth = test::GLEngineBed::kWidth;
constexpr int kHeight = test::GLEngineBed::kHeight;

LoadTable Record(const std::string& text) {
    LoadTable table;
    table.Parse(text.data(), static_cast<uint32_t>(text.size()));
    return table;
}

class RibbonPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        bed.WriteFile(sample::kRibbonShader, sample::MakeRibbonShaderFile(false));
        bed.WriteFile(LineEffect::kDefaultTexture, test::MakeDdsFile(4, 4, 0xFFFFFFFFu));
        // 4 pixels a unit, looking along +z from z = -10.
        camera.SetType(CameraType::Orthographic);
        camera.SetWidth(32.0f);
        camera.SetHeight(16.0f);
        camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
        held = bed.HeldResources();
    }
    void TearDown() override {
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
        EXPECT_EQ(bed.HeldResources(), held);  // every effect gave its textures and shaders back
    }

    // Draws the effect (a line effect or a trail); the draw calls it took (and the faces drawn).
    uint32_t Draw(Entity& effect) {
        bed.Clear();
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
        effect.AddToScene(renderer, nullptr);
        const uint32_t before = bed.Device().GetNumDrawCalls();
        const uint32_t facesBefore = bed.Device().GetNumFacesRendered();
        renderer.RenderStyle(bed.Canvas(), Name::Create("emissiveStyle"));
        pixels = bed.ReadPixels();
        faces = bed.Device().GetNumFacesRendered() - facesBefore;
        return bed.Device().GetNumDrawCalls() - before;
    }
    // The lit rows and the brightest red byte of the column of pixels whose centre is nearest
    // region x (column c's centre lies at x = (63.5 - c) / 4), among the rows of the path (y = 0,
    // rows 24 to 39) or of the second polyline (y = 3, rows 12 to 23).
    std::pair<int, uint32_t> Column(float x, bool second = false) const {
        const size_t column = size_t(std::lround(63.5f - 4.0f * x));
        int rows = 0;
        uint32_t brightest = 0;
        for (size_t row = second ? 12 : 24; row < (second ? 24u : 40u); ++row) {
            const uint32_t red = pixels[row * kWidth + column] & 0xFF;
            rows += red > 0 ? 1 : 0;
            brightest = std::max(brightest, red);
        }
        return {rows, brightest};
    }

    // Lays the line 2 units wide from start: its first polyline count points a step apart (then any
    // others), within the bounds, from start to its last point, its shader and texture ready.
    void Lay(LineEffect& line, const Vec3& start, const Vec3& step, int count, const Vec3& boundsMin,
             const Vec3& boundsMax, std::vector<std::vector<Vec3>> beams = {}) {
        line.SetCoords(WorldCoords(&region, Coords::Translation(start)));
        ASSERT_NE(line.GetLoadedShader(), nullptr);
        line.GetLoadedShader()->EnsureAvailable();
        line.GetLoadedTexture()->EnsureAvailable();
        beams.insert(beams.begin(), std::vector<Vec3>());
        for (int i = 0; i < count; ++i) beams[0].push_back(step * float(i));
        line.SetBeams(beams, boundsMin, boundsMax);
        line.SetEndPoints(WorldVec3(&region, start), WorldVec3(&region, start + step * float(count - 1)));
        line.SetWidth(2.0f);
    }

    test::GLEngineBed bed;
    test::LogCapture log;
    Camera camera;
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    std::vector<uint32_t> pixels;
    uint32_t faces = 0;
    std::pair<int, int> held;
};

TEST_F(RibbonPixelTest, ALineEffectCoversItsWindowTaperedAtBothEnds) {
    // Eleven points a unit apart from x = -5 to 5, an empty polyline (passed over) and a second one
    // of two points; the end sets the ribbon's direction on screen. The box holds the bounds (flat in
    // z) around the start.
    LineEffect line;
    Lay(line, Vec3(-5.0f, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 0.0f), 11, Vec3(0, -1, 0), Vec3(10, 4, 0),
        {{}, {Vec3(0.0f, 3.0f, 0.0f), Vec3(10.0f, 3.0f, 0.0f)}});
    EXPECT_EQ(line.GetRegionBoundingBox(false), ABBox(Vec3(0.0f, 1.5f, 0.0f), Vec3(5.0f, 2.5f, 0.0f)));

    // The default window (0, 0) shows nothing.
    EXPECT_TRUE(Draw(line) == 0u && Column(0.0f).first == 0);

    // The whole polylines, tapered over two points: full width (8 pixels) and colour inside,
    // narrower and dimmer toward both ends, nothing past them. The two-point polyline, no longer
    // than the taper, narrows only at its first point.
    line.SetTopBottomPercent(1.0f, 0.0f);
    line.SetTaperPoints(2);
    EXPECT_EQ(Draw(line), 2u);
    for (float x : {-3.9f, -1.0f, 0.0f, 2.0f, 3.9f}) EXPECT_EQ(Column(x), std::make_pair(8, 255u)) << x;
    EXPECT_LT(Column(-4.9f, true).first, Column(4.9f, true).first);
    EXPECT_GT(Column(4.9f, true).second, 240u);
    for (float x : {-4.9f, 4.9f}) {
        EXPECT_LT(Column(x).first, 8) << x;
        EXPECT_GT(Column(x).second, 30u) << x;
        EXPECT_LT(Column(x).second, 200u) << x;
    }
    for (bool second : {false, true}) EXPECT_TRUE(Column(5.2f, second).first == 0 && Column(-5.2f, second).first == 0);

    // The lower half of each polyline: the path stops at its sixth point (x = 0).
    line.SetTopBottomPercent(0.5f, 0.0f);
    EXPECT_EQ(Draw(line), 1u);  // one point of the second polyline is not enough
    EXPECT_GT(Column(-2.0f).first, 0);
    EXPECT_TRUE(Column(1.0f).first == 0 && Column(-2.0f, true).first == 0);

    // A window past the end ends the pass; one inverted skips the polyline; taper 1 narrows the
    // window's ends to nothing.
    line.SetTopBottomPercent(1.2f, 0.0f);
    EXPECT_EQ(Draw(line), 0u);
    line.SetTopBottomPercent(0.3f, 0.6f);
    EXPECT_EQ(Draw(line), 0u);
    line.SetTopBottomPercent(1.0f, 0.5f);  // the upper half, narrowed at its first point (x = 0)
    EXPECT_TRUE(Draw(line) > 0 && Column(-0.6f).first == 0 && Column(0.1f).first < 8 && Column(2.0f).first == 8);
    line.SetTopBottomPercent(1.0f, 0.0f);
    line.SetTaperPoints(1);
    line.DoSetPauseAtTarget();  // its window reaches the end: the clock stops after this update
    for (int update = 0; update < 2; ++update) line.UpdateSelf(16);
    EXPECT_TRUE(line.IsPaused() && line.GetTime() == 16);
    EXPECT_EQ(Draw(line), 2u);  // both of its points are ends
    EXPECT_TRUE(Column(-4.9f).first < 3 && Column(0.0f).first == 8 && Column(0.0f, true).first == 0);
}

// The texture runs along the ribbon a repeat every texture length, each point's coordinate counting
// the length up to the point after it: with points a unit apart and a length of 5, the second
// point sits at 0.4 of the texture and the third at 0.6.
TEST_F(RibbonPixelTest, TheTextureRunsAlongTheRibbonOnePointAhead) {
    // Red in the upper half of the texture (v below 0.5), green in the lower.
    std::vector<uint32_t> texels(16, 0xFFFF0000u);
    std::fill(texels.begin() + 8, texels.end(), 0xFF00FF00u);
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, 4, 4, texels.data(), 1);
    bed.WriteFile("Textures/Halves.dds",
                  std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    LineEffect line;
    line.SetTexture("Textures/Halves.dds");
    Lay(line, Vec3(-5.0f, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 0.0f), 11, Vec3(0, -1, -1), Vec3(10, 1, 1));
    line.SetTextureLength(5.0f);
    line.SetTopBottomPercent(1.0f, 0.0f);
    ASSERT_EQ(Draw(line), 1u);
    const auto at = [&](float x) { return pixels[31 * kWidth + size_t(std::lround(63.5f - 4.0f * x))]; };
    const auto red = [](uint32_t pixel) { return pixel & 0xFF; };
    const auto green = [](uint32_t pixel) { return pixel >> 8 & 0xFF; };
    EXPECT_GT(red(at(-4.0f)), 2 * green(at(-4.0f)));  // the second point: 0.4
    EXPECT_GT(green(at(-3.0f)), 2 * red(at(-3.0f)));  // the third: 0.6
    EXPECT_LT(green(at(4.5f)), 2 * red(at(4.5f)));    // the last two: 2, the seam of red and green
    // No length counts as a unit: a repeat between points, red then green.
    line.SetTextureLength(0.0f);
    ASSERT_EQ(Draw(line), 1u);
    EXPECT_TRUE(red(at(-1.75f)) > 2 * green(at(-1.75f)) && green(at(-1.25f)) > 2 * red(at(-1.25f)));
}

// Facing the camera, a ribbon along the screen's diagonal is as wide as it is told across the
// diagonal (not along it, nor wider); in fixed orientation it is seen edge-on and covers nothing.
TEST_F(RibbonPixelTest, ARibbonOnTheDiagonalFacesTheCameraAcrossIt) {
    LineEffect line;
    Lay(line, Vec3(-4.0f, -4.0f, 0.0f), Vec3(1.0f, 1.0f, 0.0f), 9, Vec3(), Vec3(8, 8, 0));
    line.SetTopBottomPercent(1.0f, 0.0f);
    const auto at = [&](float x, float y) {
        return pixels[size_t(std::lround(31.5f - 4.0f * y)) * kWidth + size_t(std::lround(63.5f - 4.0f * x))];
    };
    const auto lit = [&](float x, float y) { return (at(x, y) & 0xFF) > 0; };
    ASSERT_EQ(Draw(line), 1u);
    // Through (1, 1), 0.85 across the diagonal either way is on the ribbon, 1.34 is off it.
    EXPECT_TRUE(lit(1.0f, 1.0f) && lit(1.6f, 0.4f) && lit(0.4f, 1.6f));
    EXPECT_FALSE(lit(1.95f, 0.05f) || lit(0.05f, 1.95f));
    line.SetColor(Color(0.8f, 0.4f, 0.6f, 0.5f));  // times its alpha, added to the black behind
    ASSERT_EQ(Draw(line), 1u);
    EXPECT_EQ(at(1.0f, 1.0f) & 0xFFFFFF, 0x4D3366u);  // 0.4, 0.2 and 0.3 of 255
    line.SetFixedOrientation(true);
    ASSERT_EQ(Draw(line), 1u);
    EXPECT_FALSE(lit(1.0f, 1.0f));
    line.SetBeams(line.GetBeams(), Vec3(1, 2, 3), Vec3(1, 2, 3));  // bounds of one point: still a box
    EXPECT_EQ(line.GetRegionBoundingBox(false), ABBox(Vec3(-3, -2, 3), Vec3()));
}

TEST(ChaosBeamTest, StrandsHaveAPointEveryFifthOfAUnitAndTheWobbleGrowsFromTheEnds) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    const auto build = [&](float length, float ampScale) {
        SeedRand15(7);
        ChaosBeam beam;
        beam.SetAmpScale(ampScale);
        beam.SetEndPoints(WorldVec3(&region, Vec3(1.0f, 2.0f, 3.0f)), WorldVec3(&region, Vec3(1.0f + length, 2.0f, 3.0f)));
        beam.Update(250);
        // The box holds the beam and 20 around it (its strands' reach), from its start.
        const ABBox& box = beam.GetRegionBoundingBox(false);
        EXPECT_LT((box.centre - Vec3(1.0f + 0.5f * length, 2.0f, 3.0f)).Length() +
                      (box.halfSize - Vec3(0.5f * length + 20.0f, 20.0f, 20.0f)).Length(),
                  1e-4f);
        return beam.GetBeams();
    };
    const std::vector<std::vector<Vec3>> two = build(2.0f, 1.0f);
    ASSERT_EQ(two.size(), 4u);  // three strands and the extra, empty one
    for (int b = 0; b < 3; ++b) EXPECT_EQ(two[size_t(b)].size(), 10u);
    EXPECT_TRUE(two[3].empty());
    EXPECT_EQ(two[0][0], Vec3());  // no wobble and no jitter at the start, a unit from the end too
    EXPECT_EQ(build(1.0f, 1.0f)[0][0], Vec3());
    EXPECT_NE(two[0][5], two[1][5]);  // strands differ by their periods

    // The shared wobble, seen as the difference from a beam without it, is across the beam (z),
    // zero at the start and a twentieth of its full size a point further in.
    const std::vector<std::vector<Vec3>> still = build(2.0f, 0.0f);
    const float time = 0.25f;
    for (int k : {0, 1, 5, 8}) {
        const Vec3 wobble = two[0][size_t(k)] - still[0][size_t(k)];
        const float expected = 2.0f * (std::cos(float(k) / 31.0f + 2.0f * time) + std::sin(float(k) / 23.0f - time / 3.0f)) *
                               0.05f * float(std::min(k, 10 - k));
        EXPECT_NEAR(wobble.z, expected, 1e-4f) << k;
        EXPECT_LT(std::fabs(wobble.x) + std::fabs(wobble.y), 1e-5f) << k;
    }

    // Over 100 units the strands stop at 500 points, short of the end; under 0.2 there are none.
    const std::vector<std::vector<Vec3>> longBeam = build(150.0f, 1.0f);
    EXPECT_EQ(longBeam[0].size(), 500u);
    EXPECT_NEAR(longBeam[0].back().x, 499.0f * 0.2f, 2.0f);
    EXPECT_TRUE(build(0.1f, 1.0f)[0].empty());
}

// Each strand's own jitter: across the beam (z) and up (y), of 0.3 at full strength, damped
// within a unit of the start and grown within a unit of the end.
TEST(ChaosBeamTest, EachStrandJittersByItsPeriodDampedAtTheStartAndGrownAtTheEnd) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    SeedRand15(3);
    ChaosBeam beam;
    beam.SetAmpScale(0.0f);  // no shared wobble
    beam.SetTimeScale(2.0f);
    beam.SetNumBeams(3);  // new periods replace the old
    beam.SetEndPoints(WorldVec3(&region, Vec3(1.0f, 2.0f, 3.0f)), WorldVec3(&region, Vec3(5.0f, 2.0f, 3.0f)));
    beam.Update(400);
    ASSERT_TRUE(beam.GetPeriods().size() == 3u && beam.GetTime() == 400);  // the line's clock runs too
    const float time = 0.4f * 2.0f;
    for (size_t b = 0; b < 3; ++b) {
        const std::vector<Vec3>& strand = beam.GetBeams()[b];
        ASSERT_EQ(strand.size(), 20u);
        const float period = float(beam.GetPeriods()[b]) * 0.001f;
        // At 0.4 from the start, in the middle, and 0.4 short of the end.
        for (const auto& [m, gain] : {std::pair{2, 0.4f}, std::pair{10, 1.0f}, std::pair{18, 0.6f * 1.5f + 1.0f}}) {
            const float fm = float(m);
            const float w1 = std::sin(0.25f * fm + 2.0f * time) * std::cos(fm / (10.0f * period) + time / 3.0f);
            const float w2 = std::sin(fm * period / 2.0f + time / 2.0f) * std::cos(0.1f * fm + 2.0f * time);
            const Vec3 jitter = strand[size_t(m)] - Vec3(0.2f * fm, 0.0f, 0.0f);
            EXPECT_NEAR(jitter.x, 0.0f, 1e-4f) << m;
            EXPECT_NEAR(jitter.z, w1 * gain * 0.3f, 1e-4f) << m;
            EXPECT_NEAR(jitter.y, w2 * gain * 0.3f, 1e-4f) << m;
        }
    }
}

TEST(ChaosBeamTest, RecordsKeepTheDefaultTextureLengthWithoutAStretch) {
    for (const auto& [text, length] : {std::pair{"TextureStretch,3.5,\n", 3.5f}, {"", 6.0f}}) {
        ChaosBeam beam;
        ASSERT_TRUE(beam.Load(Record(text)));
        EXPECT_EQ(beam.GetTextureLength(), length) << text;
    }
}

// A flying bolt is a streak of ten points 0.14 apart along its entity's facing, rebuilt every
// update: drawn, it lies ahead of the entity, and it follows the entity when it moves.
TEST_F(RibbonPixelTest, AFlyingBoltStreaksAheadOfItsEntityAndFollowsIt) {
    FlyingBolt bolt;
    ASSERT_NE(bolt.GetLoadedShader(), nullptr);
    bolt.GetLoadedShader()->EnsureAvailable();
    bolt.GetLoadedTexture()->EnsureAvailable();
    Coords facing;  // facing +x
    facing.xAxis = Vec3(0.0f, 0.0f, -1.0f);
    facing.yAxis = Vec3(0.0f, 1.0f, 0.0f);
    facing.zAxis = Vec3(1.0f, 0.0f, 0.0f);
    const auto placeAt = [&](float x) {
        facing.origin = Vec3(x, 0.0f, 0.0f);
        bolt.SetCoords(WorldCoords(&region, facing));
        bolt.Update(16);
    };
    placeAt(-3.0f);
    ASSERT_TRUE(bolt.GetBeams().size() == 1u && bolt.GetBeams()[0].size() == 10u);
    EXPECT_LT((bolt.GetBeams()[0][9] - Vec3(1.26f, 0.0f, 0.0f)).Length(), 1e-5f);
    EXPECT_EQ(bolt.GetStart().GetRegionPosition(), Vec3(-3.0f, 0.0f, 0.0f));
    EXPECT_LT((bolt.GetEnd().GetRegionPosition() - Vec3(-1.6f, 0.0f, 0.0f)).Length(), 1e-5f);
    EXPECT_EQ(bolt.GetTextureLength(), 1.4f);
    ASSERT_TRUE(Draw(bolt) == 1u && faces == 18u) << faces;  // two faces for each of its nine quads
    EXPECT_EQ(Column(-2.4f).first, 2);  // 0.7 wide: the two rows nearest its middle
    EXPECT_GT(Column(-2.0f).first, 0);
    EXPECT_GT(Column(-2.9f).second, 220u);  // tapered over two points: the second at full colour
    EXPECT_TRUE(Column(-3.5f).first == 0 && Column(-1.2f).first == 0);
    placeAt(2.0f);
    EXPECT_EQ(bolt.GetBeams()[0].size(), 10u);  // rebuilt, not extended
    ASSERT_EQ(Draw(bolt), 1u);
    EXPECT_GT(Column(2.6f).first, 0);
    EXPECT_EQ(Column(-2.4f).first, 0);
    // Loaded from a record, it keeps a fixed orientation: seen here edge-on, it covers nothing.
    bed.WriteFile(FlyingBolt::kRecordTexture, test::MakeTexFile(0, {test::MakeDdsFile(4, 4, 0xFFFFFFFFu)}));
    ASSERT_TRUE(bolt.Load(LoadTable()) && bolt.GetLoadedTexture()->GetFileName() == FlyingBolt::kRecordTexture);
    bolt.GetLoadedTexture()->EnsureAvailable();
    ASSERT_EQ(Draw(bolt), 1u);
    EXPECT_EQ(Column(2.6f).first, 0);
}

// A parent whose four anchor points sit at fixed offsets (Anchor3 and Anchor4 a unit higher).
class Weapon : public Entity {
public:
    bool GetAttachPointCoords(const Name& point, Coords& coords) const override {
        for (int i = 0; i < 4; ++i) {
            if (point != Name::Create(("Anchor" + std::to_string(i + 1)).c_str())) continue;
            coords = Coords::Translation(Vec3(0.0f, float(i % 2) + float(i / 2) * 10.0f, 0.0f));
            return true;
        }
        return Entity::GetAttachPointCoords(point, coords);
    }
};

// Neither fading (its fade time would clear it in one update) nor shrinking.
constexpr const char* kLastingTrail = "Alpha256,255,\nRed256,255,\nFadeAlpha,0,\nMSFadeTime,1,\nTrailShrinkSpeed,0,\n";

TEST(TrailTest, WeaponTrailsSmoothTheirSegmentsIntoSplinePoints) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    Weapon weapon;
    WeaponTrail trail;
    ASSERT_TRUE(trail.Load(Record(kLastingTrail)));
    weapon.Attach(&trail, Coords::Identity, "");
    trail.Start();
    // The weapon moves 0.375 a frame: each gap gives trunc(3.75) = 3 spline points and the segment.
    for (int frame = 0; frame < 4; ++frame) {
        weapon.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(5.0f + 0.375f * float(frame), 1.0f, 0.0f))));
        weapon.Update(16);
    }
    ASSERT_EQ(trail.GetSegments().size(), 4u);
    EXPECT_EQ(trail.GetPoints().size(), 1u + 3u * 4u);
    EXPECT_NEAR(trail.GetSegments()[0].upper.y, 1.0f, 1e-5f);  // Anchor1 on the weapon
    EXPECT_NEAR(trail.GetSegments()[0].lower.y, 2.0f, 1e-5f);  // Anchor2
    // Spline points lie between their segments.
    EXPECT_NEAR(trail.GetPoints()[2].upper.x, 5.0f + 0.375f * 2.0f / 3.0f, 0.01f);
    weapon.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(8.125f, 1.0f, 0.0f))));
    weapon.Update(16);  // a move of exactly 2 units is still smoothed
    EXPECT_EQ(trail.GetPoints().size(), 34u);

    // A jump of 3 units is joined straight across; point set 7 follows Anchor3 and Anchor4.
    trail.SetPointSetIndex(7);
    weapon.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(11.125f, 1.0f, 0.0f))));
    weapon.Update(16);
    ASSERT_EQ(trail.GetSegments().size(), 6u);
    EXPECT_EQ(trail.GetPoints().size(), 34u);
    EXPECT_LT(std::fabs(trail.GetSegments().back().upper.y - 11.0f) + std::fabs(trail.GetSegments().back().lower.y - 12.0f), 1e-5f);
    trail.InitialUpdate();  // starting again takes the default pair until the next update
    EXPECT_TRUE(trail.GetAnchor1() == Vec3() && trail.GetAnchor2() == Vec3(0.0f, 0.0f, -1.0f));
    trail.SetPointSetIndex(0);  // one anchor at the region's origin is an anchor all the same
    weapon.SetCoords(WorldCoords(&region, Coords::Identity));
    weapon.Update(16);
    EXPECT_EQ(trail.GetAnchor2(), Vec3(0.0f, 1.0f, 0.0f));
    // Off the weapon, or on a parent without anchor points, the anchors go back to the default pair.
    weapon.Detach(&trail);
    Entity hilt;
    hilt.SetCoords(WorldCoords(&region, Coords::Identity));
    for (Entity* parent : {static_cast<Entity*>(nullptr), &hilt}) {
        if (parent != nullptr) parent->Attach(&trail, Coords::Identity, "");
        trail.SetAnchorPoints(WorldVec3(&region, Vec3(1.0f, 1.0f, 1.0f)), WorldVec3(&region, Vec3()));
        trail.Update(16);
        EXPECT_TRUE(trail.GetAnchor1() == Vec3() && trail.GetAnchor2() == Vec3(0.0f, 0.0f, -1.0f));
    }
    hilt.Detach(&trail);
}

TEST(TrailTest, ATrailCrossingIntoAnotherRegionKeepsItsWorldPositions) {
    Region west{nullptr, 0, "west", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 1)};
    Region east{nullptr, 1, "east", ABBox(), IntVec3(64, 0, 0), RegionId(1, 0, 0, 2)};
    TrailEffect trail;
    ASSERT_TRUE(trail.Load(Record(kLastingTrail)));
    trail.Start();
    const auto moveTo = [&](float worldX) {
        Region& region = worldX < 64.0f ? west : east;
        const float x = worldX - float(region.GetOffsetFromWorld().x);
        trail.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(x, 1.0f, 0.0f))));
        trail.SetAnchorPoints(WorldVec3(&region, Vec3(x, 2.0f, 0.0f)), WorldVec3(&region, Vec3(x, 1.0f, 0.0f)));
        trail.Update(16);
    };
    const auto worldUppers = [&]() {
        std::vector<float> xs;
        for (const TrailPoint& s : trail.GetSegments())
            xs.push_back(s.upper.x + float(trail.GetRegion()->GetOffsetFromWorld().x));
        return xs;
    };
    for (float x : {60.0f, 61.0f, 62.0f, 63.0f}) moveTo(x);
    const std::vector<float> before = worldUppers();
    ASSERT_EQ(before.size(), 3u);  // an unparented trail waits one update
    moveTo(64.5f);
    std::vector<float> after = worldUppers();
    ASSERT_EQ(after.size(), 4u);
    after.pop_back();
    EXPECT_EQ(after, before);
    EXPECT_EQ(trail.GetSegments().back().upper.x, 0.5f);

    // A frame over 250 ms restarts the trail; one of 250 does not.
    moveTo(65.0f);
    trail.Update(250);
    EXPECT_EQ(trail.GetSegments().size(), 5u);
    trail.Update(251);
    EXPECT_LE(trail.GetSegments().size(), 1u);
}

}  // namespace
}  // namespace GAME

namespace GAME {
namespace {

// A trail of a unit box's width whose anchors move a unit each update; the first update is the
// grace an unparented trail waits.
void Sweep(TrailEffect& trail, Region& region, float from, int updates) {
    for (int i = 0; i < updates; ++i) {
        const float x = from + float(i);
        trail.SetCoords(WorldCoords(&region, Coords::Translation(Vec3(x, 0.5f, 0.0f))));
        trail.SetAnchorPoints(WorldVec3(&region, Vec3(x, 1.0f, 0.0f)), WorldVec3(&region, Vec3(x, -1.0f, 0.0f)));
        trail.Update(16);
    }
}

// Segments fade by the update's share of the fade time and shrink toward their middles; stopped,
// the trail records transparent segments and fades out.
// Between two segments the smoothed points follow the Catmull-Rom curve through their neighbours,
// a point every tenth of a unit of the gap: a bending path's points lie on it.
TEST(TrailTest, SmoothedPointsFollowTheCurveThroughTheSegments) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    TrailEffect trail;
    ASSERT_TRUE(trail.Load(Record(kLastingTrail)));
    trail.Start();
    for (int i = 0; i < 5; ++i) {
        const Vec3 at(float(i), 0.5f, 0.04f * float(i * i * i));
        trail.SetCoords(WorldCoords(&region, Coords::Translation(at)));
        trail.SetAnchorPoints(WorldVec3(&region, at + Vec3(0, 0.5f, 0)), WorldVec3(&region, at - Vec3(0, 0.5f, 0)));
        trail.Update(16);
    }
    const std::vector<TrailPoint>& segments = trail.GetSegments();
    ASSERT_EQ(segments.size(), 4u);
    const auto count = [&](size_t i) {
        return std::min(int((segments[i + 1].upper - segments[i].upper).Length() * 10.0f), 32);
    };
    // The middle of the second gap, which has real neighbours on both sides.
    const int n = count(1);
    const size_t index = 1 + size_t(count(0)) + 1 + size_t(n / 2) - 1;
    const float t = float(n / 2) / float(n);
    const Vec3 &p0 = segments[0].upper, &p1 = segments[1].upper, &p2 = segments[2].upper, &p3 = segments[3].upper;
    const Vec3 expected = (p1 * 2.0f + (p2 - p0) * t + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * (t * t) +
                           (p1 * 3.0f - p0 - p2 * 3.0f + p3) * (t * t * t)) *
                          0.5f;
    ASSERT_GT(trail.GetPoints().size(), index);
    EXPECT_LT((trail.GetPoints()[index].upper - expected).Length(), 1e-4f);
}

TEST(TrailTest, SegmentsFadeAndShrinkAndAStoppedTrailFadesOut) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    TrailEffect unset;
    EXPECT_TRUE(unset.Load(Record("")) && unset.GetColor() == Color(0.0f, 0.0f, 0.0f, 0.0f));
    unset.Update(16);  // in no region: nothing to follow  // a record without a colour: none
    TrailEffect trail;
    ASSERT_TRUE(trail.Load(Record("Alpha256,255,\nRed256,255,\nMSFadeTime,100,\nTrailShrinkSpeed,10,\n")));
    trail.Start();
    Sweep(trail, region, 1.0f, 4);
    ASSERT_EQ(trail.GetSegments().size(), 3u);
    // Each update takes 0.16 of alpha and shrinks by 1 - 0.016 x 10, the newest segment's too.
    for (size_t i = 0; i < 3; ++i) {
        const TrailPoint& segment = trail.GetSegments()[2 - i];
        const float updates = float(i + 1);
        EXPECT_NEAR(segment.colour.a, 1.0f - 0.16f * updates, 1e-4f) << i;
        const Vec3 half(0.0f, std::pow(0.84f, updates), 0.0f);  // about their middles, at (4 - i, 0, 0)
        const Vec3 middle(4.0f - float(i), 0.0f, 0.0f);
        EXPECT_LT((segment.upper - middle - half).Length() + (segment.lower - middle + half).Length(), 2e-4f) << i;
    }
    trail.Stop();
    Sweep(trail, region, 5.0f, 1);
    ASSERT_EQ(trail.GetSegments().size(), 4u);
    EXPECT_EQ(trail.GetSegments().back().colour.a, 0.0f);
    // The older ones fade out within the fade time.
    for (int i = 0; i < 7; ++i) Sweep(trail, region, 5.0f, 1);
    for (const TrailPoint& segment : trail.GetSegments()) EXPECT_EQ(segment.colour.a, 0.0f);
    for (const TrailPoint& point : trail.GetPoints()) EXPECT_EQ(point.colour.a, 0.0f);
}

// Liberated, a trail records nothing more and destroys itself once fewer than two segments remain.
TEST(TrailTest, ALiberatedTrailRecordsNoMoreAndGoesWhenFaded) {
    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    auto* trail = static_cast<TrailEffect*>(Singleton<ObjectManager>::Get()->CreateObject("TrailEffect"));
    ASSERT_NE(trail, nullptr);
    ASSERT_TRUE(trail->Load(Record("Alpha256,255,\nMSFadeTime,200,\nTrailShrinkSpeed,0,\n")));
    trail->Start();
    Sweep(*trail, region, 1.0f, 4);
    ASSERT_EQ(trail->GetSegments().size(), 3u);
    const uint32_t id = trail->GetObjectId();
    // With two segments that do not fade it stays.
    auto* lasting = static_cast<TrailEffect*>(Singleton<ObjectManager>::Get()->CreateObject("TrailEffect"));
    ASSERT_TRUE(lasting->Load(Record(kLastingTrail)));
    lasting->Start();
    Sweep(*lasting, region, 1.0f, 3);
    ASSERT_EQ(lasting->GetSegments().size(), 2u);
    lasting->Liberate();
    Sweep(*lasting, region, 5.0f, 3);
    EXPECT_EQ(lasting->GetSegments().size(), 2u);
    EXPECT_NE(Singleton<ObjectManager>::Get()->GetObject(lasting->GetObjectId()), nullptr);
    Singleton<ObjectManager>::Get()->DestroyObjectEx(lasting, __FILE__, __LINE__);
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
    trail->Liberate();
    int updates = 0;
    size_t segments = 3;
    while (Singleton<ObjectManager>::Get()->GetObject(id) != nullptr && updates < 30) {
        Sweep(*trail, region, 10.0f + float(updates++), 1);
        if (Singleton<ObjectManager>::Get()->GetObject(id) == nullptr) break;
        EXPECT_LE(trail->GetSegments().size(), segments);
        segments = trail->GetSegments().size();
    }
    EXPECT_LT(updates, 30);
    test::LogCapture log;
    Sweep(*trail, region, 50.0f, 1);  // an update before it is deleted destroys it no second time
    EXPECT_TRUE(Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1) == 1 && log.Lines().empty());
}

// A trail's texture runs along it a repeat every texture distance: dragged from its newest point
// back (by default), or fixed to the segments from the oldest on.
TEST_F(RibbonPixelTest, ATrailsTextureIsDraggedFromItsNewestPointOrFixedToItsSegments) {
    // Red in the left half of the texture (u below 0.5), green in the right.
    std::vector<uint32_t> texels(16, 0xFFFF0000u);
    for (size_t row = 0; row < 4; ++row)
        std::fill(texels.begin() + long(row * 4 + 2), texels.begin() + long(row * 4 + 4), 0xFF00FF00u);
    BinaryWriter writer;
    TextureFileWriter::WriteDDS(writer, 4, 4, texels.data(), 1);
    bed.WriteFile("Textures/Columns.dds",
                  std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()));
    bed.WriteFile("Shaders/Trail.ssh", sample::MakeRibbonShaderFile(false));
    const std::string record = std::string(kLastingTrail) + "Green256,255,\nBlue256,255,\nShader,Shaders/Trail.ssh,\n" +
                               "Texture,Textures/Columns.dds,\nTextureDistance,2,\n";
    // Dragged: 0 at the newest point (x = 4) growing backwards; fixed: 0 at the oldest (x = -2);
    // without repeats (here every 2.2), dragged and clear from the step before the first ends.
    for (const auto& [extra, expected] : {std::pair{"", "rgrrgr"},
                                          {"DragUVs,0,\n", "grggrg"},
                                          {"TextureRepeat,0,\nTextureDistance,2.2,\n", "rg----"}}) {
        TrailEffect trail;
        ASSERT_TRUE(trail.Load(Record(kLastingTrail)) && trail.Load(Record(record + extra)));  // frees the first
        ASSERT_EQ(trail.GetShader2(0, Name())->GetFileName(), "Shaders/Trail.ssh");
        trail.GetShader2(0, Name())->EnsureAvailable();
        trail.GetTexture(0, Name())->EnsureAvailable();
        trail.Start();
        Sweep(trail, region, -3.0f, 8);  // segments from x = -2 to 4
        ASSERT_EQ(Draw(trail), 1u);
        const auto colour = [&](float x) {
            const uint32_t pixel = pixels[31 * kWidth + size_t(std::lround(63.5f - 4.0f * x))];
            return (pixel & 0xFF) > 2 * (pixel >> 8 & 0xFF)   ? 'r'
                   : (pixel >> 8 & 0xFF) > 2 * (pixel & 0xFF) ? 'g'
                   : (pixel & 0xFFFFFF) != 0                  ? '?'
                                                              : '-';
        };
        std::string seen;
        for (float x : {3.6f, 2.6f, 1.9f, 1.6f, -1.6f, -0.6f}) seen += colour(x);
        EXPECT_EQ(seen, expected) << extra;
    }
}

// Drawn, a trail covers the band its anchors swept, from the oldest segment to the newest, in its
// colour.
TEST_F(RibbonPixelTest, ATrailCoversTheBandItsAnchorsSwept) {
    bed.WriteFile(sample::kWhiteTexture, test::MakeDdsFile(4, 4, 0xFFFFFFFFu));
    TrailEffect trail;
    ASSERT_TRUE(trail.Load(Record(kLastingTrail)));
    // Preloading queues its texture and shader only when asked to.
    const Resource* resources[2] = {trail.GetShader2(0, Name()), trail.GetTexture(0, Name())};
    ASSERT_TRUE(trail.PreLoad(0, false));
    for (const Resource* resource : resources) EXPECT_EQ(resource->GetLoadedState(), Resource::LoadedState::NotLoaded);
    ASSERT_TRUE(trail.PreLoad(0, true));
    ResourceLoader& loader = *bed.GetEngine().GetResourceLoader();
    const uint32_t marker = loader.CreateMarker();
    for (int wait = 0; wait < 3000 && !loader.GetHasMarkerPast(marker); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const Resource* resource : resources) EXPECT_EQ(resource->GetLoadedState(), Resource::LoadedState::Loaded);
    ASSERT_NE(trail.GetShader2(0, Name()), nullptr);
    trail.GetShader2(0, Name())->EnsureAvailable();
    trail.GetTexture(0, Name())->EnsureAvailable();
    trail.Start();
    // Two segments are enough to draw.
    Sweep(trail, region, -3.0f, 3);
    ASSERT_EQ(trail.GetSegments().size(), 2u);
    const size_t queued = Singleton<DebugRenderManager>::Get()->GetNumQueued();  // none without debugging
    ASSERT_EQ(Draw(trail), 1u);
    EXPECT_EQ(Column(-1.5f).first, 8);
    Sweep(trail, region, 0.0f, 5);  // segments from x = -2 to 4
    ASSERT_EQ(trail.GetSegments().size(), 7u);
    // With the engine's trail debugging on, the edges of every quad but the newest are debug lines.
    bed.GetEngine().SetTrailDebugging(true);
    ASSERT_EQ(Draw(trail), 1u);
    EXPECT_EQ(Singleton<DebugRenderManager>::Get()->GetNumQueued() - queued, 3 * (trail.GetPoints().size() - 2));
    bed.GetEngine().SetTrailDebugging(false);
    for (float x : {-1.5f, 0.0f, 1.5f, 3.5f})
        EXPECT_TRUE(Column(x).first == 8 && Column(x).second > 200u) << x;  // y: -1 to 1
    EXPECT_EQ(Column(-2.6f).first, 0);
    EXPECT_EQ(Column(4.6f).first, 0);
}

}  // namespace
}  // namespace GAME
