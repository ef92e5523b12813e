// The particle simulation: seeded runs repeat exactly; over random parameters no particle outlives
// its life, the live count stays within the array and the per-particle values are the age curves;
// emission shapes, counting, clock, anchors, bones and the data faults the emitter withstands.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/GameClock.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "effects/Emitter.h"
#include "effects/EmitterData.h"
#include "effects/EmitterLight.h"
#include "engine/Engine.h"
#include "render/DebugRenderManager.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "world/Region.h"

namespace GAME {
namespace {

using test::LogCapture;

void SetFlat(EmitterData& data, int slot, float y, float domain = 1.0f) {
    CurveData* curve = data.GetCurve(slot);
    curve->SetDomain(domain);
    ASSERT_TRUE(curve->SetPoints({{0.0f, y}, {domain, y}}));
}

class EmitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameClock::Get().Reset();
        SeedRand15(7);
        coords = WorldCoords(&region, Coords::Translation(origin));
    }

    // One update after ms of game time, drawn since the last one (unless told otherwise).
    void Step(Emitter& emitter, const EmitterData& data, double ms, bool drawn = true,
              const std::vector<EmitterBone>* bones = nullptr) {
        GameClock::Get().AdvanceBy(ms);
        if (drawn) emitter.MarkDrawn();
        emitter.Update(coords, box, data, bones);
    }

    std::vector<Particle> Live(const Emitter& emitter) const {
        return {emitter.GetParticles(), emitter.GetParticles() + emitter.GetNumParticles()};
    }

    Region region{nullptr, 0, "r", ABBox(), IntVec3(0, 0, 0), RegionId(1, 0, 0, 0)};
    Vec3 origin{3.0f, 4.0f, 5.0f};
    WorldCoords coords;
    ABBox box;
};

// Every spin a whole degree from 0 to 359, and not all at the unspun 1.
bool SpunAtRandom(const std::vector<Particle>& particles) {
    const auto whole = [](const Particle& p) {
        return p.spin == std::floor(p.spin) && p.spin >= 0.0f && p.spin < 360.0f;
    };
    return std::all_of(particles.begin(), particles.end(), whole) &&
           std::any_of(particles.begin(), particles.end(), [](const Particle& p) { return p.spin != 1.0f; });
}

// Random but valid data: every switch, shape, rate, life and curve shape the editor can make.
EmitterData RandomData(std::mt19937& random) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    EmitterData data;
    for (int b = 0; b < EmitterData::kNumBooleans; ++b) data.SetBoolean(b, unit(random) < 0.3f);
    data.SetLoop(unit(random) < 0.5f);
    data.SetInteger(EmitterData::Integer_Shape, static_cast<int32_t>(random() % 6));
    data.SetInteger(EmitterData::Integer_FramesPerSecond, static_cast<int32_t>(random() % 3));
    data.SetFloat(EmitterData::Float_Life, 0.05f + unit(random) * 3.0f);
    for (int slot = 0; slot < EmitterData::kNumCurves; ++slot) {
        CurveData* curve = data.GetCurve(slot);
        const float domain = 0.5f + unit(random) * 3.0f;
        curve->SetDomain(domain);
        // Some curves keep one y throughout, as most of an editor's curves do.
        const float y = unit(random) * 5.0f;
        const bool flat = unit(random) < 0.3f;
        curve->SetPoints({{0.0f, y},
                          {domain * unit(random), flat ? y : unit(random) * 5.0f},
                          {domain, flat ? y : unit(random) * 5.0f}});
    }
    SetFlat(data, EmitterData::Curve_Rate, 50.0f + unit(random) * 400.0f);
    SetFlat(data, EmitterData::Curve_Drag, unit(random) * 0.1f);
    return data;
}

TEST_F(EmitterTest, SeededRunsGiveTheSameParticles) {
    std::mt19937 random(3);
    const EmitterData data = RandomData(random);
    std::vector<Particle> runs[2];
    for (auto& run : runs) {
        GameClock::Get().Reset();
        SeedRand15(42);
        Emitter emitter(data);
        for (int i = 0; i < 60; ++i) Step(emitter, data, i % 3 == 0 ? 100.0 : 16.0);
        run = Live(emitter);
    }
    ASSERT_GT(runs[0].size(), 10u);
    ASSERT_EQ(runs[0].size(), runs[1].size());
    EXPECT_EQ(0, std::memcmp(runs[0].data(), runs[1].data(), runs[0].size() * sizeof(Particle)));
}

TEST_F(EmitterTest, RandomParametersKeepTheParticleInvariants) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE(trial);
        const EmitterData data = RandomData(random);
        Emitter emitter(data);
        for (int i = 0; i < 80; ++i) {
            Step(emitter, data, static_cast<double>(random() % 150), random() % 5 != 0);
            ASSERT_TRUE(emitter.GetNumParticles() <= emitter.GetCapacity() && emitter.GetCapacity() <= Emitter::kMaxParticles + 100);
            ASSERT_TRUE(emitter.GetEmitterTime() >= 0.0f &&
                        emitter.GetEmitterTime() <= data.GetCurve(EmitterData::Curve_Radius)->GetDomain());
        }
        for (const Particle& p : Live(emitter)) {
            ASSERT_TRUE(p.age < p.life && p.position.IsValid());
            ASSERT_EQ(p.size, data.GetCurve(EmitterData::Curve_Size)->GetYFast(p.age));
            ASSERT_EQ(p.stretch, data.GetCurve(EmitterData::Curve_Stretch)->GetYFast(p.age));
            ASSERT_EQ(p.alpha, data.GetCurve(EmitterData::Curve_Alpha)->GetYFast(p.age));
            ASSERT_EQ(p.colour, Vec3(data.GetCurve(EmitterData::Curve_Red)->GetYFast(p.age),
                                     data.GetCurve(EmitterData::Curve_Green)->GetYFast(p.age),
                                     data.GetCurve(EmitterData::Curve_Blue)->GetYFast(p.age)));
            ASSERT_EQ(p.frame, 0u);  // no texture, no frames
        }
    }
}

TEST_F(EmitterTest, ShapesPlaceParticlesAroundTheEmitter) {
    struct Case {
        int shape;
        bool flat;
        bool (*inside)(const Vec3& d, float r);
    };
    constexpr float kTolerance = 2e-3f;  // the still particles creep at 0.001 per second
    const Case cases[] = {
        {EmitterData::Shape_SphereVolume, false, [](const Vec3& d, float r) { return d.Length() < r + kTolerance; }},
        {EmitterData::Shape_Disc, false,
         [](const Vec3& d, float r) { return std::fabs(d.y) < kTolerance && d.Length() < r + kTolerance; }},
        {EmitterData::Shape_Ring, false, [](const Vec3& d, float r) { return std::fabs(d.Length() - r) < kTolerance; }},
        {EmitterData::Shape_VerticalLine, false,
         [](const Vec3& d, float r) { return d.y > -kTolerance && d.y < r + kTolerance && std::fabs(d.x) < kTolerance; }},
        {EmitterData::Shape_SphereSurface, false,
         [](const Vec3& d, float r) { return std::fabs(d.Length() - r) < kTolerance || d.Length() < kTolerance; }},
        {EmitterData::Shape_SphereVolume, true, [](const Vec3&, float) { return true; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        EmitterData data;
        data.SetInteger(EmitterData::Integer_Shape, c.shape);
        data.SetBoolean(EmitterData::Bool_FlatEmission, c.flat);
        SetFlat(data, EmitterData::Curve_Radius, 2.0f, 100.0f);
        SetFlat(data, EmitterData::Curve_Rate, 10000.0f);
        if (c.flat) SetFlat(data, EmitterData::Curve_Speed, 3.0f);
        SetFlat(data, EmitterData::Curve_Spread, 0.0f);  // up, or flat along the heading drawn round the turn
        Emitter emitter(data);
        Step(emitter, data, 100.0);
        ASSERT_EQ(emitter.GetNumParticles(), 1000);
        Vec3 mean;
        float tallest = 0.0f;
        for (const Particle& p : Live(emitter)) {
            ASSERT_TRUE(c.inside(p.position - origin, 2.0f)) << p.position.x << " " << p.position.y << " " << p.position.z;
            ASSERT_TRUE(!c.flat || std::fabs(p.velocity.y) < 1e-5f) << p.velocity.y;
            mean += (p.position - origin + Vec3(p.velocity.x, 0.0f, p.velocity.z)) * 0.001f;
            tallest = std::max(tallest, std::fabs(p.position.y - origin.y));
        }
        // Placed and heading all around it, not to one side (a line rises to the radius); spheres in 3-D.
        EXPECT_LT((mean - Vec3(0.0f, c.shape == EmitterData::Shape_VerticalLine ? 1.0f : 0.0f, 0.0f)).Length(), 0.15f);
        EXPECT_EQ(tallest > 1.0f, c.shape != EmitterData::Shape_Disc && c.shape != EmitterData::Shape_Ring);
    }
}

// A sphere's point is drawn at most ten times: the first seeds whose first particle's draws (after
// the heading's one number) miss ten times and would hit on an eleventh, or miss nine times and hit
// on the tenth. The first particle lands at the centre, the second at its tenth draw.
TEST_F(EmitterTest, AShapeDrawnTenTimesWithoutAHitEmitsAtTheCentre) {
    const auto draw = [] {
        Vec3 p;
        for (float* axis : {&p.x, &p.y, &p.z}) *axis = -1.0f + static_cast<float>(Rand15()) * (1.0f / 32767.0f) * 2.0f;
        return p;
    };
    // The seed whose first hit is draw number hit (1 to 11), well inside, and that hit.
    const auto find = [&](int hit, Vec3& point) {
        for (uint32_t seed = 1;; ++seed) {
            SeedRand15(seed);
            Rand15();  // the heading
            int misses = 0;
            while (misses < 11 && (point = draw()).Length() >= 1.0f) ++misses;
            if (misses == hit - 1 && point.Length() > 0.3f && point.Length() < 0.9f) return seed;
        }
    };
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 1.0f, 10.0f);
    SetFlat(data, EmitterData::Curve_Spread, 0.0f);
    SetFlat(data, EmitterData::Curve_Rate, 15.0f);  // one particle in the first 0.1 s
    for (const auto& [hit, atCentre] : {std::pair{11, true}, std::pair{10, false}}) {
        Vec3 point;
        const uint32_t seed = find(hit, point);
        Emitter emitter(data);
        SeedRand15(seed);
        Step(emitter, data, 100.0);
        ASSERT_EQ(emitter.GetNumParticles(), 1);
        const Vec3 expected = atCentre ? origin : origin + point;
        EXPECT_LT((emitter.GetParticles()[0].position - expected).Length(), 1e-3f) << hit;
    }
}

// Gravity pulls the vertical velocity down by its centred value a second; drag takes its share of
// the velocity at every update; spin turns at its centred rate.
TEST_F(EmitterTest, GravityPullsParticlesDownDragSlowsThemAndSpinTurnsThem) {
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 0.5f, 10.0f);
    SetFlat(data, EmitterData::Curve_Spread, 0.0f);
    SetFlat(data, EmitterData::Curve_Rate, 15.0f);
    SetFlat(data, EmitterData::Curve_Speed, 2.0f);
    // The first particle, updated four times at 0.1 s: gravity 8 (centred: 8 - 10 / 2 = 3 a second)
    // takes 4 x 0.3; with none (5), a drag of 0.25 takes a quarter each time and a spin of 450
    // (450 - 720 / 2 = 90 degrees a second) turns it from 1.
    for (const auto& [gravity, drag, spin, speed, angle] :
         {std::tuple{8.0f, 0.0f, 360.0f, 2.0f - 1.2f, 1.0f},
          {5.0f, 0.25f, 450.0f, 2.0f * std::pow(0.75f, 4.0f), 1.0f + 4.0f * 0.1f * 90.0f}}) {
        for (const auto& [slot, value] : {std::pair{EmitterData::Curve_Gravity, gravity}, {EmitterData::Curve_Drag, drag},
                                          {EmitterData::Curve_Spin, spin}})
            SetFlat(data, slot, value);
        Emitter emitter(data);
        for (int i = 0; i < 4; ++i) Step(emitter, data, 100.0);
        ASSERT_GE(emitter.GetNumParticles(), 1);
        EXPECT_NEAR(emitter.GetParticles()[0].velocity.y, speed, 1e-4f) << gravity;
        EXPECT_NEAR(emitter.GetParticles()[0].spin, angle, 1e-3f) << gravity;
    }
}

// The emitter starts turned about x, then y, then z by its angles (90, 90 and 180 degrees: its up
// to -x, its x to -z) and sends its particles that way; a spin curve turns it further about its
// axis at the centred rate, radians a second: a quarter turn in ten updates of 0.1 s.
TEST_F(EmitterTest, TheEmitterStartsTurnedByItsAnglesAndSpinsAtItsRates) {
    const auto near = [](const Vec3& a, const Vec3& b) { return (a - b).Length() < 2e-3f; };
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 0.5f, 10.0f);
    SetFlat(data, EmitterData::Curve_Spread, 0.0f);
    SetFlat(data, EmitterData::Curve_Speed, 1.0f);
    data.SetBoolean(EmitterData::Bool_RandomSpin, true);
    data.SetFloat(EmitterData::Float_RotationX, 90.0f);
    data.SetFloat(EmitterData::Float_RotationY, 90.0f);
    data.SetFloat(EmitterData::Float_RotationZ, 180.0f);
    Emitter turned(data);
    EXPECT_TRUE(near(turned.GetOrientation().TransformVector(Vec3(0, 1, 0)), Vec3(-1, 0, 0)));
    EXPECT_TRUE(near(turned.GetOrientation().TransformVector(Vec3(1, 0, 0)), Vec3(0, 0, -1)));
    Step(turned, data, 100.0);
    ASSERT_EQ(turned.GetNumParticles(), 8);
    for (const Particle& p : Live(turned)) EXPECT_TRUE(near(p.velocity, Vec3(-1, 0, 0)));
    EXPECT_TRUE(SpunAtRandom(Live(turned)));

    const float quarter = 3.0f + 0.5f * 3.1415927f;  // centred: a quarter turn a second
    for (const auto& [slot, rate, from, to] :
         {std::tuple{EmitterData::Curve_EmitterSpinX, quarter, Vec3(0, 1, 0), Vec3(0, 0, 1)},
          {EmitterData::Curve_EmitterSpinY, quarter, Vec3(0, 0, 1), Vec3(1, 0, 0)},
          {EmitterData::Curve_EmitterSpinZ, quarter, Vec3(1, 0, 0), Vec3(0, 1, 0)},
          {EmitterData::Curve_EmitterSpinZ, 3.0009f, Vec3(1, 0, 0), Vec3(1, 0, 0)}}) {  // too slow to turn
        EmitterData spinning;
        SetFlat(spinning, EmitterData::Curve_Radius, 0.5f, 10.0f);
        SetFlat(spinning, slot, rate);
        Emitter emitter(spinning);
        for (int i = 0; i < 10; ++i) Step(emitter, spinning, 100.0);
        EXPECT_TRUE(near(emitter.GetOrientation().TransformVector(from), to)) << slot << " " << rate;
    }
}

// An emitter that moved since its last step lays the step's particles along the way it came.
TEST_F(EmitterTest, AMovingEmitterSpreadsItsParticlesAlongItsPath) {
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 0.01f, 10.0f);
    SetFlat(data, EmitterData::Curve_Rate, 100.0f);
    Emitter emitter(data);
    Step(emitter, data, 100.0);
    const int before = emitter.GetNumParticles();
    ASSERT_EQ(before, 10);
    coords = WorldCoords(&region, Coords::Translation(origin + Vec3(10.0f, 0.0f, 0.0f)));
    Step(emitter, data, 100.0);
    ASSERT_EQ(emitter.GetNumParticles(), 20);
    std::vector<float> xs;
    for (int i = before; i < 20; ++i) xs.push_back(emitter.GetParticles()[i].position.x - origin.x);
    std::sort(xs.begin(), xs.end());
    // From the last place (f = 0) in tenths of the way to the new one (f = 0.9).
    for (size_t i = 0; i < xs.size(); ++i) EXPECT_NEAR(xs[i], float(i), 0.02f) << i;
    EXPECT_NEAR(box.centre.x, origin.x + 4.5f, 0.05f);  // the box holds the particles from both places
    Step(emitter, data, 100.0);                         // still: the new ones at the place it stays
    for (int i = 20; i < 30; ++i) EXPECT_NEAR(emitter.GetParticles()[i].position.x - origin.x, 10.0f, 0.02f) << i;
}

TEST_F(EmitterTest, EmissionFollowsTheRateAndTheClockWrapsOrFinishes) {
    EmitterData data;  // 80 per second, life 10, speed 0
    SetFlat(data, EmitterData::Curve_Radius, 0.5f, 2.0f);
    data.SetLoop(true);
    Emitter emitter(data);
    for (int i = 0; i < 10; ++i) Step(emitter, data, 100.0);
    EXPECT_EQ(emitter.GetNumParticles(), 80);
    EXPECT_EQ(emitter.GetCapacity(), 1100);  // 80 x 10 x 1.25, plus the margin
    // A zero speed still moves, after turning.
    EXPECT_EQ(emitter.GetParticles()[0].velocity, Vec3(0.001f, 0.001f, 0.001f));
    for (int i = 0; i < 9; ++i) Step(emitter, data, 100.0);
    Step(emitter, data, 50.0);
    EXPECT_NEAR(emitter.GetEmitterTime(), 1.95f, 1e-4f);
    Step(emitter, data, 100.0);
    EXPECT_NEAR(emitter.GetEmitterTime(), 0.05f, 1e-4f);
    EXPECT_EQ(emitter.GetProgress(data), 0.0f);

    // The delta is clamped to 0.1 s, but particles age by the whole time.
    const float ageBefore = emitter.GetParticles()[0].age;
    data.SetFloat(EmitterData::Float_Life, 11.0f);  // and an array within [need, need + 200] keeps its size
    Step(emitter, data, 500.0);
    EXPECT_EQ(emitter.GetCapacity(), 1100);
    EXPECT_NEAR(emitter.GetEmitterTime(), 0.15f, 1e-4f);
    EXPECT_NEAR(emitter.GetParticles()[0].age - ageBefore, 0.5f, 1e-4f);

    // A one-shot emitter stops at its duration, then completes when its particles die. Its
    // progress is measured against the rate curve's span (the editor keeps it the duration).
    data.SetLoop(false);
    data.SetFloat(EmitterData::Float_Life, 0.5f);
    SetFlat(data, EmitterData::Curve_Rate, 80.0f, 4.0f);
    Emitter once(data);
    for (int i = 0; i < 10; ++i) Step(once, data, 100.0);
    EXPECT_NEAR(once.GetProgress(data), 0.25f, 1e-5f);
    for (int i = 0; i < 11; ++i) Step(once, data, 100.0);
    EXPECT_TRUE(once.GetEmitterTime() == 2.0f && once.GetProgress(data) == 0.5f);
    SetFlat(data, EmitterData::Curve_Rate, 80.0f, 2.0f);
    EXPECT_EQ(once.GetProgress(data), 1.0f);
    const int emitted = once.GetNumParticles();
    EXPECT_FALSE(once.IsComplete());
    for (int i = 0; i < 6; ++i) Step(once, data, 100.0);
    EXPECT_TRUE(once.GetNumParticles() == 0 && once.IsComplete());
    EXPECT_GT(emitted, 0);
    // Reset starts it again; its light goes on and off with the data's switch.
    once.Reset(data);
    for (const bool light : {true, false}) {
        data.SetBoolean(EmitterData::Bool_Light, light);
        Step(once, data, 100.0);
        EXPECT_TRUE(once.GetNumParticles() == (light ? 8 : 16) && once.GetLight()->IsEnabled() == light);
        test::PlainSceneRenderer renderer;  // with the renderer's boxes a light that is on shows two debug spheres
        renderer.EnableBoundingBoxes(true);
        const size_t before = Singleton<DebugRenderManager>::Get()->GetNumQueued();
        once.GetLight()->AddToScene(renderer, nullptr);
        EXPECT_EQ(Singleton<DebugRenderManager>::Get()->GetNumQueued() - before, light ? 2u : 0u);
    }
}

TEST_F(EmitterTest, AnEmitterOutOfSightKeepsItsClockButSimulatesNothing) {
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 0.5f, 10.0f);
    Emitter emitter(data);
    Step(emitter, data, 100.0);
    ASSERT_EQ(emitter.GetNumParticles(), 8);
    const float age = emitter.GetParticles()[0].age;
    for (int i = 0; i < 5; ++i) Step(emitter, data, 100.0, false);
    EXPECT_NEAR(emitter.GetEmitterTime(), 0.6f, 1e-4f);
    EXPECT_TRUE(emitter.GetNumParticles() == 8 && emitter.GetParticles()[0].age == age);
    Step(emitter, data, 100.0);
    EXPECT_NEAR(emitter.GetParticles()[0].age - age, 0.6f, 1e-4f);
    // Paused, it steps with no time: nothing is born, ages or moves, though its clock runs on.
    const std::vector<Particle> before = Live(emitter);
    emitter.SetPause(true);
    Step(emitter, data, 100.0);
    EXPECT_NEAR(emitter.GetEmitterTime(), 0.8f, 1e-4f);
    ASSERT_EQ(Live(emitter).size(), before.size());
    EXPECT_EQ(0, std::memcmp(Live(emitter).data(), before.data(), before.size() * sizeof(Particle)));
}

TEST_F(EmitterTest, DirectionsLivesAndArraySizesFollowTheData) {
    LogCapture log;
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Radius, 3.0f, 10.0f);
    SetFlat(data, EmitterData::Curve_Speed, 2.0f);
    data.SetInteger(EmitterData::Integer_Shape, EmitterData::Shape_Ring);
    for (const float spread : {0.0f, 60.0f}) {  // straight up; within 30 degrees of up, not all straight
        SetFlat(data, EmitterData::Curve_Spread, spread);
        Emitter emitter(data);
        Step(emitter, data, 100.0);
        float lowest = 1.0f;
        for (const Particle& p : Live(emitter)) lowest = std::min(lowest, p.velocity.Unit().y);
        EXPECT_TRUE(spread == 0.0f ? lowest > 1.0f - 1e-5f : lowest > 0.866f && lowest < 0.95f) << lowest;
    }

    // Born 3 units from the centre at speed 2, a particle heading there lives 1.5 s.
    data.SetBoolean(EmitterData::Bool_MoveToCentre, true);
    Emitter inward(data);
    Step(inward, data, 16.0);
    ASSERT_GT(inward.GetNumParticles(), 0);
    for (const Particle& p : Live(inward)) {
        EXPECT_NEAR(p.life, 1.5f, 1e-3f);
        EXPECT_LT((p.position + p.velocity * (p.life - p.age) - origin).Length(), 1e-3f);  // there as it dies
    }

    // Born at the centre, it has no way to go and no life.
    data.SetInteger(EmitterData::Integer_Shape, 99);
    Emitter there(data);
    Step(there, data, 16.0);
    EXPECT_EQ(there.GetNumParticles(), 0);

    // More than the array can hold is capped, and a step owing more than it holds fills it.
    SetFlat(data, EmitterData::Curve_Rate, 1000000.0f);
    data.SetFloat(EmitterData::Float_Life, 0.2f);
    Emitter capped(data);
    Step(capped, data, 16.0);
    EXPECT_EQ(capped.GetCapacity(), Emitter::kMaxParticles + 100);
    EXPECT_TRUE(log.Contains(LogPriority::Warning,
                             "Emitter has requested 250000 particles which is more than the maximum of 10000."));
}

// In the particle-system editor, with debug lines, an emitter draws in its editor region three axis
// rulers with twenty ticks each and its shape's outline in three planes of 32 lines each.
TEST_F(EmitterTest, InTheParticleEditorAnEmitterDrawsItsRulersAndOutline) {
    struct ParticleEditor : Engine {
        bool IsPSEditorMode() const override { return true; }
    } editor;
    EmitterData data;
    Emitter emitter(data);
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    for (const auto& [editorRegion, lines, drawLines] : {std::tuple{static_cast<Region*>(nullptr), 0u, true},
                                                         {&region, 3u * 21u + 3u * 32u, true},
                                                         {&region, 0u, false}}) {
        data.SetDebugLines(drawLines);
        emitter.SetEditorRegion(editorRegion);
        const size_t before = debug.GetNumQueued();
        Step(emitter, data, 100.0);
        EXPECT_EQ(debug.GetNumQueued() - before, lines);
    }
    // Anchored there (no anchors to measure), it emits at z = 0 whatever its offset along z.
    SetFlat(data, EmitterData::Curve_OffsetZ, 7.0f);  // centred: 2
    Emitter anchored(data);
    anchored.SetAnchored(true);
    Step(anchored, data, 100.0);
    EXPECT_EQ(anchored.GetNumParticles(), 8);
    for (const Particle& p : Live(anchored)) EXPECT_NEAR(p.position.z, origin.z, 0.01f);
    Singleton<DebugRenderManager>::Destroy();
}

TEST_F(EmitterTest, AnchorCurvesUseTheLastFourPositions) {
    EmitterData data;
    SetFlat(data, EmitterData::Curve_Rate, 1000.0f);
    data.SetBoolean(EmitterData::Bool_RandomSpin, true);
    Emitter emitter(data);
    Region east{nullptr, 1, "east", ABBox(), IntVec3(64, 0, 0), RegionId(1, 0, 0, 2)};  // the anchors' region
    const float xs[5] = {1.0f, 0.0f, 1.0f, 3.0f, 10.0f};
    for (int i = 0; i < 4; ++i) emitter.SetAnchor1(WorldVec3(&east, Vec3(xs[i], 0.0f, 0.0f)));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(emitter.GetAnchor1Points()[i], Vec3(1.0f, 0.0f, 0.0f));
    emitter.SetAnchor1(WorldVec3(&east, Vec3(xs[4], 0.0f, 0.0f)));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(emitter.GetAnchor1Points()[i], Vec3(xs[i + 1], 0.0f, 0.0f));
    EXPECT_EQ(emitter.GetAnchorRegion(), &east);

    // Anchored particles are emitted between the two curves: with both on this one, at tenths of the
    // way from its second point to its third (x = 1 + 1.5 f - 1.5 f^2 + 2 f^3, 64 more in the
    // emitter's region), ten over 0.1 s at 1000 a second along the shortest span, 0.1.
    for (const float x : xs) emitter.SetAnchor2(WorldVec3(&east, Vec3(x, 0.0f, 0.0f)));
    emitter.SetAnchored(true);
    Step(emitter, data, 100.0);
    ASSERT_EQ(emitter.GetNumParticles(), 10);
    std::vector<float> along;
    for (const Particle& p : Live(emitter)) along.push_back(p.position.x);
    std::sort(along.begin(), along.end());
    for (size_t i = 0; i < along.size(); ++i) {
        const float f = 0.1f * float(i);  // the curves meet: parted by up to a hundredth along x
        EXPECT_NEAR(along[i], 65.005f + 1.5f * f - 1.5f * f * f + 2.0f * f * f * f, 0.0049f) << i;
    }
    EXPECT_TRUE(SpunAtRandom(Live(emitter)));
    // Anchors a thousand apart: particles start on the thousandths between them, never at the second,
    // and move off at their speed alike every way.
    SetFlat(data, EmitterData::Curve_Speed, 2.0f);
    Emitter wide(data);
    for (int i = 0; i < 5; ++i) wide.SetAnchor1(WorldVec3(&east, Vec3()));
    for (int i = 0; i < 5; ++i) wide.SetAnchor2(WorldVec3(&east, Vec3(1000.0f, 0.0f, 0.0f)));
    wide.SetAnchored(true);
    Step(wide, data, 100.0);
    ASSERT_GT(wide.GetNumParticles(), 5000);
    Vec3 sum, squares;
    for (const Particle& p : Live(wide)) {
        EXPECT_TRUE(p.position.x > 63.7f && p.position.x < 1063.5f) << p.position.x;  // moved up to 0.2
        sum += p.velocity;
        squares += Vec3(p.velocity.x * p.velocity.x, p.velocity.y * p.velocity.y, p.velocity.z * p.velocity.z);
    }
    const float n = float(wide.GetNumParticles());
    EXPECT_LT(sum.Length() / n, 0.05f);
    EXPECT_LT((squares * (1.0f / n) - Vec3(4.0f, 4.0f, 4.0f) * (1.0f / 3.0f)).Length(), 0.05f);
    // The array follows the span: 1000 a second for 10 s, by 1.25 and 0.1, and the margin.
    Step(emitter, data, 100.0);
    EXPECT_EQ(emitter.GetCapacity(), 1350);
}

TEST_F(EmitterTest, BadDataNeitherBreaksTheClockNorTheArray) {
    LogCapture log;
    // A looping emitter without a duration finishes instead of wrapping into NaN.
    EmitterData data;
    data.SetLoop(true);
    data.GetCurve(EmitterData::Curve_Radius)->SetDomain(0.0f);
    Emitter still(data);
    Step(still, data, 100.0);
    EXPECT_TRUE(still.GetEmitterTime() == 0.0f && still.GetNumParticles() == 0 && still.IsComplete());
    EXPECT_EQ(still.GetProgress(data), 0.0f);
    // Nor does progress divide by a rate curve of no span: a one-shot emitter is then done.
    data.SetLoop(false);
    data.GetCurve(EmitterData::Curve_Rate)->SetDomain(0.0f);
    EXPECT_EQ(still.GetProgress(data), 1.0f);

    // A bone segment too short for a distance draw emits at its end point.
    EmitterData bonesData;
    bonesData.SetBoolean(EmitterData::Bool_RandomSpin, true);
    SetFlat(bonesData, EmitterData::Curve_Rate, 100000.0f);
    SetFlat(bonesData, EmitterData::Curve_Radius, 0.5f, 10.0f);
    const std::vector<EmitterBone> bones = {{Vec3(1.0f, 1.0f, 1.0f), Vec3(1.0f, 1.0f, 1.0005f), 0.0005f, 0, 0.0, true}};
    Emitter boneEmitter(bonesData);
    Step(boneEmitter, bonesData, 100.0, true, &bones);
    ASSERT_EQ(boneEmitter.GetNumParticles(), 5);
    for (const Particle& p : Live(boneEmitter)) EXPECT_NEAR((p.position - Vec3(1.0f, 1.0f, 1.0005f)).Length(), 0.0f, 0.01f);
    EXPECT_EQ(boneEmitter.GetBones()[0].emitted, 5);
    EXPECT_TRUE(SpunAtRandom(Live(boneEmitter)));
    // A longer list keeps the first segment's counts but takes its new ends and length (now a
    // hundredth, moved to x = 2, up along z), and takes the new one whole; an inactive segment
    // counts its particles without making them.
    const std::vector<EmitterBone> two = {{Vec3(2.0f, 1.0f, 1.0105f), Vec3(2.0f, 1.0f, 1.0005f), 0.01f, 0, 0.0, true},
                                          {Vec3(), Vec3(1.0f, 0.0f, 0.0f), 1.0f, 7, 0.0, false}};
    Step(boneEmitter, bonesData, 100.0, true, &two);
    EXPECT_TRUE(boneEmitter.GetNumParticles() == 104 && boneEmitter.GetBones()[0].emitted == 104);  // 5 + 99.99...
    const std::vector<Particle> live = Live(boneEmitter);
    for (size_t i = 5; i < live.size(); ++i) EXPECT_LT((live[i].position - Vec3(2.0f, 1.0f, 1.005f)).Length(), 0.0046f);
    const auto lower = [](const Particle& a, const Particle& b) { return a.position.z < b.position.z; };
    EXPECT_GT(std::max_element(live.begin() + 5, live.end(), lower)->position.z, 1.009f);  // all along it
    EXPECT_EQ(boneEmitter.GetBones()[1].emitted, 10000);  // all it owes, wherever it started
    EXPECT_GE(boneEmitter.CalculateMemoryUsage(),
              sizeof(Emitter) + size_t(boneEmitter.GetCapacity()) * sizeof(Particle) + 2 * sizeof(EmitterBone));
}

}  // namespace
}  // namespace GAME
