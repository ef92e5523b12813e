// Ambiance manager: fog blended by the share of painted cells around the viewer, the music names
// the jukebox is handed, area names, day/night styles, night lights and the clock.

#include "world/AmbianceManager.h"

#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "LevelFixture.h"
#include "core/Frustum.h"
#include "core/Singleton.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "sound/Jukebox.h"
#include "support/TempDirectory.h"
#include "world/Level.h"
#include "world/NightLight.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/World.h"

namespace GAME {
namespace {

constexpr float kTolerance = 1e-5f;

void ExpectColor(const Color& actual, float r, float g, float b) {
    EXPECT_NEAR(actual.r, r, kTolerance);
    EXPECT_NEAR(actual.g, g, kTolerance);
    EXPECT_NEAR(actual.b, b, kTolerance);
    EXPECT_EQ(actual.a, 1.0f);
}

void ExpectVec(const Vec3& actual, float x, float y, float z) {
    EXPECT_NEAR(actual.x, x, 1e-4f);
    EXPECT_NEAR(actual.y, y, 1e-4f);
    EXPECT_NEAR(actual.z, z, 1e-4f);
}

// The level test engine, reading the files a test hands it.
class AmbianceEngine : public test::LevelTestEngine {
public:
    using Engine::UseFileSystem;
};

// One outdoor region whose level has 200 x 20 sector cells, and the engine's manager with the
// clock stopped.
class AmbianceTest : public ::testing::Test {
protected:
    AmbianceTest() {
        region = test::AddLoadedRegion(*engine.GetWorld(), "valley", IntVec3(0, 0, 0), 300);
        region->GetLevel()->GetSectorLayers().Initialize(200, 20);
        manager.SetTimeEnabled(false);
    }
    ~AmbianceTest() override {
        engine.UnloadWorld();
        Singleton<Jukebox>::Destroy();
    }

    template <class T>
    T& NewStyle(int layer) {
        return static_cast<T&>(*engine.GetSectorDataManager()->NewSectorData(layer));
    }
    // Paints the columns x in [x0, x1) of the layer, every z below z1, with the style.
    void Paint(int layer, const SectorData& style, int x0, int x1, int z1 = 20) {
        SectorLayers& layers = region->GetLevel()->GetSectorLayers();
        ASSERT_TRUE(layers.PrimeForEdit(layer, style.id));
        for (int x = x0; x < x1; ++x) {
            for (int z = 0; z < z1; ++z) layers.Edit(x, z, true);
        }
    }
    // The viewer at (x, 0, z) seeing what the frustum holds, then one frame of ms milliseconds.
    void StandAt(float x, int ms = 16, float z = 10, const Frustum& view = Frustum()) {
        manager.SetTarget(WorldVec3(region, Vec3(x, 0, z)), WorldFrustum(region, view));
        manager.Update(ms);
    }
    const AmbianceManager::Environment kOut = AmbianceManager::kOutdoor;

    AmbianceEngine engine;
    Region* region = nullptr;
    AmbianceManager& manager = *engine.GetAmbianceManager();
};

// Two fog styles meet at x = 100 with unpainted ground beyond x = 160. The viewer gathers the
// cells within 20 units (41 columns), so the fog changes between x = 80 and x = 120 in proportion
// to the columns of each style, unpainted cells untint, and distances stay the styles' own.
TEST_F(AmbianceTest, FogBlendsByTheShareOfPaintedCellsAroundTheViewer) {
    auto& mist = NewStyle<FogSectorData>(SectorDataManager::kFog);
    mist.colors[0] = Color(1, 0, 0, 1);
    mist.colors[1] = mist.colors[2] = mist.colors[3] = Color(0.5f, 0.5f, 0.5f, 1);  // the tints
    mist.values[0] = 0.02f, mist.values[1] = 0.01f;
    mist.integers[0] = 10, mist.integers[1] = 50, mist.integers[2] = 0, mist.integers[3] = 20;
    auto& haze = NewStyle<FogSectorData>(SectorDataManager::kFog);
    haze.colors[0] = Color(0, 0, 1, 1);
    haze.colors[1] = haze.colors[2] = haze.colors[3] = Color(1, 1, 0, 1);
    haze.values[0] = 0.06f, haze.values[1] = 0.0f;
    haze.integers[0] = 30, haze.integers[1] = 90, haze.integers[2] = 4, haze.integers[3] = 8;
    Paint(SectorDataManager::kFog, mist, 0, 100);
    Paint(SectorDataManager::kFog, haze, 100, 160);

    // Wholly in the mist, and on the last step before the haze comes into reach.
    for (const float x : {50.0f, 79.4f}) {
        StandAt(x);
        ExpectVec(manager.GetDepthFog(kOut), 10, 50, 0.02f);
        ExpectVec(manager.GetHeightFog(kOut), 0, 20, 0.01f);
        ExpectColor(manager.GetFogColor(kOut), 1, 0, 0);
        EXPECT_TRUE(manager.GetIsFogEnabled(kOut));
    }
    // Columns 80 .. 120 around x = 100: 20 of mist, 21 of haze.
    StandAt(100);
    const float h = 21.0f / 41.0f, m = 20.0f / 41.0f;
    ExpectVec(manager.GetDepthFog(kOut), m * 10 + h * 30, m * 50 + h * 90, m * 0.02f + h * 0.06f);
    ExpectVec(manager.GetHeightFog(kOut), h * 4, m * 20 + h * 8, m * 0.01f);
    ExpectColor(manager.GetFogColor(kOut), m, 0, h);
    mem::vector<AmbianceManager::WeightedStyle> styles{{&mist, 1.0f}};  // replaced, not added to
    AmbianceManager::GatherSectorData(SectorDataManager::kFog, WorldVec3(region, Vec3(100, 0, 10)), 20, styles);
    EXPECT_EQ(std::pair(styles.size(), styles.at(0).weight), std::pair(size_t(2), m));
    // The sun and the ambient light are tinted by the blended tints.
    Color light, sky, ground;
    manager.GetDefaultDayNightCycle().GetLighting(manager.GetTime(), light, sky, ground);
    for (const auto& [tinted, base] : {std::pair{manager.GetLightColor(kOut), light},
                                       {manager.GetSkyAmbientColor(kOut), sky},
                                       {manager.GetGroundAmbientColor(kOut), ground}})
        ExpectColor(tinted, base.r * (m * 0.5f + h), base.g * (m * 0.5f + h), base.b * m * 0.5f);
    // The haze alone from x = 120.
    StandAt(120);
    ExpectVec(manager.GetDepthFog(kOut), 30, 90, 0.06f);
    EXPECT_TRUE(manager.GetIsFogEnabled(kOut));  // by its depth fog alone
    // A viewer in a region of another world (where this one's valley is bare) changes nothing.
    World elsewhere;
    manager.SetTarget(WorldVec3(test::AddLoadedRegion(elsewhere, "stray", IntVec3(), 300), Vec3(195, 0, 10)), {});
    manager.Update(16);
    ExpectVec(manager.GetDepthFog(kOut), 30, 90, 0.06f);
    // At x = 160 columns 140 .. 159 are haze and 21 unpainted: the distances are the haze's, the
    // density and the fog colour its share, the tint partly white.
    StandAt(160);
    const float w = 20.0f / 41.0f;
    ExpectVec(manager.GetDepthFog(kOut), 30, 90, w * 0.06f);
    ExpectVec(manager.GetHeightFog(kOut), 4, 8, 0);
    ExpectColor(manager.GetFogColor(kOut), 0, 0, w);
    ExpectColor(manager.GetLightColor(kOut), light.r, light.g, light.b * (1 - w));
    // Nothing painted in reach: no fog, no tint, and no division by the missing weight.
    StandAt(195);
    ExpectVec(manager.GetDepthFog(kOut), 0, 0, 0);
    ExpectVec(manager.GetHeightFog(kOut), 0, 0, 0);
    EXPECT_FALSE(manager.GetIsFogEnabled(kOut));
    ExpectColor(manager.GetLightColor(kOut), light.r, light.g, light.b);
    // The last column counts once, however far past it the reach runs: one of the 25 in reach.
    Paint(SectorDataManager::kFog, mist, 199, 200);
    StandAt(195);
    ExpectVec(manager.GetDepthFog(kOut), 10, 50, 0.02f / 25.0f);
    // And the first: one of the 26 in reach at x = 5.
    Paint(SectorDataManager::kFog, haze, 0, 1);
    StandAt(5);
    ExpectVec(manager.GetDepthFog(kOut), 280 / 26.0f, 1340 / 26.0f, 0.56f / 26.0f);
    // Rows count as columns do: haze on the 5 rows nearest z = 0 is a quarter of the cells in reach;
    // at z = -10.6 rows 0 .. 9 are, half haze; at 24.6 rows 4 .. 19, one of 16. Far past the first
    // corner only the first cell (haze) counts, past the last the last (mist).
    Paint(SectorDataManager::kFog, haze, 0, 200, 5);
    for (const auto& [x, z, fog] : {std::tuple{50.0f, 10.0f, Vec3(15, 60, 0.03f)},
                                    {50.0f, -10.6f, Vec3(20, 70, 0.04f)},
                                    {50.0f, 24.6f, Vec3(11.25f, 52.5f, 0.0225f)},
                                    {-19.6f, -20.4f, Vec3(30, 90, 0.06f)},
                                    {230.0f, 50.0f, Vec3(10, 50, 0.02f)}}) {
        StandAt(x, 16, z);
        ExpectVec(manager.GetDepthFog(kOut), fog.x, fog.y, fog.z);
    }

    // Without environment effects the densities and the tint are off.
    manager.EnableEnvironmentEffects(false);
    StandAt(50);
    ExpectVec(manager.GetDepthFog(kOut), 15, 60, 0);
    EXPECT_FALSE(manager.GetIsFogEnabled(kOut));
    ExpectColor(manager.GetLightColor(kOut), light.r, light.g, light.b);

    // Through a doorway in view the fog is its far side's (the haze at x = 130); one out of view adds nothing.
    Portal* const doorways[2] = {region->CreatePortal(), region->CreatePortal()};
    for (int i = 0; i < 2; ++i) {
        doorways[i]->SetCoords(Coords::Translation(Vec3(50.0f + 80.0f * float(i), 0, 10)));
        doorways[i]->SetConnectedRegionId(region->GetId());
        doorways[i]->SetConnectedPortalId(doorways[1 - i]->GetId());
    }
    StandAt(50, 16, 10, Frustum::FromBox(ABBox(Vec3(50, 0, 10), Vec3(5, 5, 5))));
    ExpectVec(manager.GetDepthFog(kOut), 30, 90, 0);
    // Layers one column wide are in reach from anywhere; far past the last row (mist) only it counts.
    for (Portal* doorway : doorways) region->DestroyPortal(doorway);
    region->GetLevel()->GetSectorLayers().Initialize(1, 20);
    Paint(SectorDataManager::kFog, mist, 0, 1);
    Paint(SectorDataManager::kFog, haze, 0, 1, 19);
    StandAt(150, 16, 50);
    ExpectVec(manager.GetDepthFog(kOut), 10, 50, 0);
}

// The jukebox gets the music, ambient and event names of the viewer's cell; event music plays
// once per world; while music is off only the ambient playlist changes; deleting boss music makes
// the manager hand the place's playlist again. The boss zone and area names follow the cell too.
TEST_F(AmbianceTest, JukeboxReceivesTheMusicOfTheViewersCell) {
    auto& forest = NewStyle<AmbientSectorData>(SectorDataManager::kAmbient);
    forest.musicPlaylist = "Music/Forest";
    forest.ambientSoundPlaylist = "Ambient/Wind";
    forest.eventMusic = "Music/Discovery";
    auto& caves = NewStyle<AmbientSectorData>(SectorDataManager::kAmbient);
    caves.musicPlaylist = "Music/Caves";
    caves.ambientSoundPlaylist = "Ambient/Drips";
    caves.eventMusic = "Music/Ambush";
    Paint(SectorDataManager::kAmbient, forest, 0, 100);
    Paint(SectorDataManager::kAmbient, caves, 100, 200);
    Paint(SectorDataManager::kBoss, NewStyle<BossSectorData>(SectorDataManager::kBoss), 150, 200);
    auto& valley = NewStyle<NameSectorData>(SectorDataManager::kName);
    valley.tag = "tagValley";
    valley.cinematic = true;
    auto& cave = NewStyle<NameSectorData>(SectorDataManager::kName);
    cave.tag = "tagCave";
    cave.firstVisitOnly = false;
    Paint(SectorDataManager::kName, valley, 0, 100);
    Paint(SectorDataManager::kName, cave, 100, 200);
    Jukebox& jukebox = *Singleton<Jukebox>::Get();
    jukebox.SetAmbiance(&manager);
    using Names = std::vector<std::string>;  // music, ambient sound, event music
    const auto playing = [&] {
        return Names{jukebox.GetMusicPlaylist(), jukebox.GetAmbientPlaylist(), jukebox.GetEventMusic()};
    };

    StandAt(50);
    EXPECT_EQ(playing(), (Names{"Music/Forest", "Ambient/Wind", "Music/Discovery"}));
    EXPECT_EQ(std::tuple(manager.TargetIsInBossMusicZone(), engine.GetCinematicText(), engine.IsTextCinematic()),
              std::tuple(false, "tagValley", true));
    EXPECT_FLOAT_EQ(engine.GetCinematicTextAlpha(), 0.0f);
    StandAt(50, 1500);  // half way through the fade-in
    EXPECT_NEAR(engine.GetCinematicTextAlpha(), 0.5f, 1e-5f);
    StandAt(50, 6000);  // and through the fade-out
    EXPECT_NEAR(engine.GetCinematicTextAlpha(), 0.5f, 1e-5f);

    StandAt(120);
    EXPECT_EQ(playing(), (Names{"Music/Caves", "Ambient/Drips", "Music/Ambush"}));
    EXPECT_EQ(std::pair(engine.GetCinematicText(), engine.IsTextCinematic()), std::pair(std::string("tagCave"), false));
    StandAt(170);
    EXPECT_TRUE(manager.TargetIsInBossMusicZone());

    // Back in the forest: its playlists again, but its event music was played in this world, and
    // its name is announced at text scale 0 (first visit only).
    StandAt(50);
    StandAt(50, 4500);
    EXPECT_EQ(playing(), (Names{"Music/Forest", "Ambient/Wind", "Music/Ambush"}));
    EXPECT_EQ(std::tuple(manager.TargetIsInBossMusicZone(), engine.GetCinematicText(), engine.GetCinematicTextAlpha()),
              std::tuple(false, "tagValley", 0.0f));

    // With music off only the ambient playlist follows.
    jukebox.EnableMusic(false);
    StandAt(120);
    EXPECT_EQ(playing(), (Names{"Music/Forest", "Ambient/Drips", "Music/Ambush"}));
    jukebox.EnableMusic(true);
    StandAt(120);
    EXPECT_EQ(jukebox.GetMusicPlaylist(), "Music/Caves");
    EXPECT_NEAR(engine.GetCinematicTextAlpha(), 0.016f / 3, 1e-5f);  // the cave's name on every entry

    // Boss music overrides the playlist; once the jukebox deletes it the place's comes back.
    jukebox.PlayEventMusic("Music/Boss", true);
    jukebox.LoadMusicPlaylist("Music/BossFight");
    StandAt(120);
    EXPECT_EQ(jukebox.GetMusicPlaylist(), "Music/BossFight");
    jukebox.StopEventMusic();
    StandAt(120);
    EXPECT_EQ(jukebox.GetMusicPlaylist(), "Music/Caves");

    // A new world forgets what was seen and played: the caves' event music, the last, plays again.
    manager.Reset();
    StandAt(120);
    EXPECT_EQ(jukebox.GetEventMusic(), "Music/Ambush");
    jukebox.SetAmbiance(nullptr);
}

// Loading a world over the one in place unloads it as the engine does: the area name, the
// viewer in the old world's region and the music go with it.
TEST_F(AmbianceTest, AWorldLoadedOverAnotherStartsWithAFreshAmbiance) {
    auto& valley = NewStyle<NameSectorData>(SectorDataManager::kName);
    valley.tag = "tagValley";
    Paint(SectorDataManager::kName, valley, 0, 200);
    StandAt(50);
    ASSERT_EQ(manager.GetAreaName(), "tagValley");
    World& world = *engine.GetWorld();
    Region* crypt = world.GetRegion(world.AddRegion("crypt", IntVec3(1000, 0, 0), ABBox(), RegionId()));
    crypt->SetLevel(std::make_unique<Level>(crypt));
    manager.SetTarget(WorldVec3(crypt, Vec3(1, 0, 1)), WorldFrustum(crypt, Frustum()));
    manager.Update(1500);  // a level not loaded yet holds everything, the area name's fade-in too
    EXPECT_EQ(engine.GetCinematicTextAlpha(), 0.0f);
    // Underground, the blend moves a tenth of what is left a frame and settles on 0.
    crypt->GetLevel()->NewGrid(2, 1, 2);
    for (const float blend : {0.9f, 0.81f}) {
        manager.Update(16);
        EXPECT_FLOAT_EQ(manager.GetEnvironmentBlend(), blend);
    }
    for (int frame = 0; frame < 80; ++frame) manager.Update(16);
    EXPECT_EQ(manager.GetEnvironmentBlend(), 0.0f);
    EXPECT_EQ(manager.GetLightDirection(AmbianceManager::kUnderground), Vec3(0, 1, 0));  // no sun below

    test::TempDirectory directory;
    FileSystem files;
    files.AddDirectory(directory.GetPath(), true);
    engine.UseFileSystem(&files);
    World second;
    second.SetFileName("Worlds/Second.wrl");
    ASSERT_TRUE(second.Save());
    ASSERT_TRUE(engine.GetWorld()->Load("Worlds/Second.wrl", false, false));
    EXPECT_EQ(std::pair(manager.GetAreaName(), manager.GetEnvironmentBlend()), std::pair(std::string(), 1.0f));
    engine.UseFileSystem(nullptr);
}

// A day/night style painted on 20 of the 41 columns around the viewer gives that share of its
// lighting and the rest from the default cycle; night lights follow how dark it is; the shadow
// intensity rises after sunset and holds by day; the clock runs even without a target.
TEST_F(AmbianceTest, DayNightStylesNightLightsAndTheClock) {
    auto& dusk = NewStyle<DayNightCycleSectorData>(SectorDataManager::kDayNightCycle);
    DayNightCycle& cycle = dusk.GetDayNightCycle();
    cycle.Clear();
    cycle.SetSunRise(6);
    cycle.SetSunSet(18);
    cycle.AddLightSetup(12, Color(0, 1, 0, 1), Color(0, 0, 1, 1), Color(1, 0, 0, 1));
    Paint(SectorDataManager::kDayNightCycle, dusk, 80, 100);
    auto& glow = NewStyle<BloomSectorData>(SectorDataManager::kBloom);
    Paint(SectorDataManager::kBloom, glow, 0, 200);

    manager.SetTime(12);
    StandAt(100);
    const float w = 20.0f / 41.0f;
    Color light, sky, ground;
    manager.GetDefaultDayNightCycle().GetLighting(12, light, sky, ground);
    ExpectColor(manager.GetLightColor(kOut), (1 - w) * light.r, w + (1 - w) * light.g, (1 - w) * light.b);
    ExpectColor(manager.GetSkyAmbientColor(kOut), (1 - w) * sky.r, (1 - w) * sky.g, w + (1 - w) * sky.b);
    ExpectColor(manager.GetGroundAmbientColor(kOut), w + (1 - w) * ground.r, (1 - w) * ground.g, (1 - w) * ground.b);
    const Vec3 sum = cycle.GetLightDirection(12, false) * w +
                     manager.GetDefaultDayNightCycle().GetLightDirection(12, false) * (1 - w);
    const Vec3 direction = manager.GetLightDirection(kOut);
    ExpectVec(direction, sum.x / sum.Length(), sum.y / sum.Length(), sum.z / sum.Length());
    // The day follows the style under the viewer's cell (x = 100 is outside it).
    manager.SetTime(19);
    StandAt(90);
    EXPECT_FALSE(manager.GetIsDay());
    StandAt(100);
    EXPECT_TRUE(manager.GetIsDay());  // the default cycle's day lasts until 22:59

    // Bloom from the style plus the increments, clamped; none without environment effects.
    manager.IncrementBloomParams(0.5f, 5.0f, -2.0f);
    StandAt(100);
    ExpectVec(manager.GetBloomParameters(kOut), 0.75f, 4.0f, 0.0f);
    manager.EnableEnvironmentEffects(false);
    ExpectVec(manager.GetBloomParameters(kOut), 0, 0, 0);
    manager.EnableEnvironmentEffects(true);

    // Night lights: dark at 2 o'clock, bright at noon (away from the style).
    NightLight lamp;
    NightLight blended;
    const std::string record = "Class,NightLight,\nradius,8,\nuseInterpolatedEnvironment,1,\n";
    LoadTable table;
    ASSERT_TRUE(table.Parse(record.data(), uint32_t(record.size())));
    ASSERT_TRUE(blended.Load(table));
    EXPECT_TRUE(blended.GetUseInterpolatedEnvironment());
    EXPECT_FLOAT_EQ(blended.GetRadius(), 8.0f);
    for (const auto& [hour, scale] : {std::pair{2.0f, 1.0f}, std::pair{12.0f, 0.0f}}) {
        manager.SetTime(hour);
        StandAt(30);
        lamp.UpdateSelf(16);
        blended.UpdateSelf(16);
        EXPECT_FLOAT_EQ(manager.GetNightLightScale(kOut), scale) << hour;
        EXPECT_FLOAT_EQ(lamp.GetIntensity(), scale) << hour;
        EXPECT_FLOAT_EQ(blended.GetIntensity(), scale) << hour;  // outdoors the blend is whole
    }

    // Shadow intensity: half way through the six minutes after the default sunset, then held.
    const float sunset = manager.GetDefaultDayNightCycle().GetSunSet();
    manager.SetTime(sunset + 0.05f);
    StandAt(30);
    EXPECT_NEAR(manager.GetShadowIntensity(), 0.5f, 1e-3f);
    for (const float held : {12.0f, sunset - 0.05f}) {  // by day, and just before sunset
        manager.SetTime(held);
        StandAt(30);
        EXPECT_NEAR(manager.GetShadowIntensity(), 0.5f, 1e-3f) << held;
    }
    manager.SetTime(0);
    StandAt(30);
    EXPECT_FLOAT_EQ(manager.GetShadowIntensity(), 1.0f);
    // A quarter of the way into the six minutes before sunrise it has fallen by a quarter.
    manager.SetTime(manager.GetDefaultDayNightCycle().GetSunRise() - 0.075f);
    StandAt(30);
    EXPECT_NEAR(manager.GetShadowIntensity(), 0.75f, 1e-3f);

    // The clock: 30 game hours an hour, wrapped; with no target only the time moves.
    manager.SetTime(25);
    EXPECT_FLOAT_EQ(manager.GetTime(), 1.0f);
    manager.Reset();
    manager.SetTimeEnabled(true);
    manager.SetTime(23.5f);
    manager.Update(120000);  // one game hour
    EXPECT_NEAR(manager.GetTime(), 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(manager.GetShadowIntensity(), 1.0f);
}

}  // namespace
}  // namespace GAME
