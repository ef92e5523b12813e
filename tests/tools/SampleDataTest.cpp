// The generated sample data, read back by the engine on the recording device: the options, the
// text, the shaders of every generation with the styles and parameters their users name, the
// textures and the terrain types.

#include "SampleData.h"
#include "SampleGrid.h"
#include "SampleOutdoors.h"
#include "SampleTiles.h"
#include "SampleYard.h"

#include "core/ABBox.h"
#include "core/Crc32.h"
#include "core/Random.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/LocalizationManager.h"
#include "files/Options.h"
#include "files/TableDepot.h"
#include "render/DeviceFontFile.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "support/GraphicsTestBed.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"
#include "terrain/GridEntrance.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRT.h"
#include "terrain/TerrainType.h"
#include "terrain/Tile.h"
#include "terrain/Water.h"
#include "terrain/WaterWaveSet.h"
#include "world/GridRegion.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/World.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <string>
#include <vector>

namespace GAME::test {
namespace {

class SampleDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        SeedRand15(1);  // the sector styles' editor colours are drawn from it
        const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
        const auto before = openFiles();
        ASSERT_TRUE(sample::WriteSampleData(directory.GetPath()));
        EXPECT_EQ(openFiles(), before);  // each file written is closed
    }

    TempDirectory directory;
};

// The generator's command: the directory it is given filled, or how to use it, or the failure.
TEST(GenerateSampleDataTest, FillsTheDirectoryItIsGiven) {
    TempDirectory directory;
    const auto run = [](const std::string& arguments) {
        return WEXITSTATUS(std::system((std::string(GENERATE_SAMPLE_DATA) + arguments + " > /dev/null 2>&1").c_str()));
    };
    EXPECT_EQ(std::vector({run(""), run(" /proc/none"), run(" " + directory.Join("Data"))}), std::vector({2, 1, 0}));
    EXPECT_FALSE(directory.ReadFile(std::string("Data/") + sample::kSampleMap).empty());
}

TEST_F(SampleDataTest, TheOptionsAskForASmallWindowAtHighDetail) {
    Options options;
    ASSERT_TRUE(options.Load(directory.Join(sample::kOptionsFile)));
    EXPECT_EQ(options.GetInt2(Options::Int2Name::resolution), (Options::Int2{640, 480}));
    EXPECT_FALSE(options.GetBool(Options::BoolName::fullscreen) || options.GetBool(Options::BoolName::syncToRefresh));
    using Q = Options::QualityName;
    EXPECT_EQ((std::vector<int>{options.GetQuality(Q::detailLevel), options.GetQuality(Q::textureQuality),
                                options.GetQuality(Q::shadowQuality), options.GetQuality(Q::reflectionQuality)}),
              (std::vector<int>{2, 2, 1, 2}));
}

// What the generator writes, file by file, is the same on every run and in every build from the
// same random seed; only the sector styles' ids are drawn from the system (blanked here, in both
// their stored word orders). The
// fonts and the clip are left out: FreeType and FFmpeg shape their bytes. A change to any shader,
// texture, mesh, record or level shows as the folder whose digest moved; the listing names the file.
TEST_F(SampleDataTest, EachFolderHoldsTheBytesTheGeneratorWrites) {
    std::vector<std::string> ids;
    for (const std::string styles : {"Levels/Sample.sd", "Levels/World/Sample.sd"}) {
        const std::string bytes = directory.ReadFile(styles);
        SectorDataManager manager;
        BinaryReader reader(bytes.data(), uint32_t(bytes.size()));
        ASSERT_TRUE(manager.Load(reader));
        for (int layer = 0; layer < SectorDataManager::kNumLayers; ++layer)
            for (int i = 0; i < manager.GetNumSectorData(layer); ++i) {
                const UniqueId& id = manager.GetSectorData(layer, i)->id;
                for (const UniqueId::Words& words : {id.ToStreamWords(), id.ToNameOrderWords()})
                    ids.emplace_back(reinterpret_cast<const char*>(words.data()), sizeof(words));
            }
    }
    ASSERT_EQ(ids.size(), 10u);
    const auto crc = [](const std::string& bytes) {
        return Crc32(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    };
    std::map<std::string, std::string> folders;
    std::string listing;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory.GetPath()))
        if (entry.is_regular_file()) paths.push_back(std::filesystem::relative(entry.path(), directory.GetPath()));
    std::sort(paths.begin(), paths.end());
    for (const std::filesystem::path& path : paths) {
        const std::string folder = path.begin()->string();
        if (folder == "Fonts" || folder == "Videos") continue;
        std::string bytes = directory.ReadFile(path.string());
        for (const std::string& id : ids)
            for (size_t at = bytes.find(id); at != std::string::npos; at = bytes.find(id, at))
                bytes.replace(at, id.size(), id.size(), '\0');
        folders[folder] += path.string() + '\0' + bytes;
        listing += path.string() + " " + std::to_string(crc(bytes)) + "\n";
    }
    std::map<std::string, uint32_t> digests;
    for (const auto& [folder, bytes] : folders) digests[folder] = crc(bytes);
    const std::map<std::string, uint32_t> expected = {
        {"Addon", 3806522502u},     {"Anims", 4149373456u},   {"Effects", 3365693689u}, {"Interface", 2046922494u},
        {"Levels", 477679792u},    {"Meshes", 3034135380u},  {"Records", 627515543u},  {"Sandbox", 2412606491u},
        {"Settings", 2312466983u}, {"Shaders", 2456402384u}, {"System", 1322852123u},  {"Text", 969949329u},
        {"Textures", 3107402807u}};
    EXPECT_EQ(digests, expected) << listing;
}

TEST_F(SampleDataTest, TheTextHasTheStartUpMessages) {
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath()));
    LocalizationManager& text = LocalizationManager::Instance();
    ASSERT_TRUE(text.SetLanguage(files, "English"));
    for (const char* tag : {"tagInstallerText35", "tagGraphicsDeviceError", "tagGraphicsEngineError"}) {
        EXPECT_NE(text.Localize(tag), LocalizationManager::ToWChar(tag)) << tag;
    }
}

// Each shader with the styles and parameters its users look for.
struct ShaderContents {
    const char* file;
    std::vector<const char*> styles;
    std::vector<const char*> parameters;
};

// What the scene renderers draw meshes with, and what mesh instances send.
const std::vector<const char*> kMeshStyles = {
    "ambientLightStyle", "dLightDiffuseAmbientStyle", "pLightDiffuseAmbientStyle", "pLightSimpleAmbientStyle",
    "dLightDiffuseStyle", "pLightDiffuseStyle", "pLightSimpleStyle", "reflectionStyle", "fogStyle", "depthStyle",
    "transparencyMaskStyle", "shadow", "pLightShadowStyle"};
const std::vector<const char*> kMeshParameters = {
    "objectToScreenMatrix", "objectToWorldMatrix", "diffuseColor", "transparencyValue", "blendedGlobalFadeFactor",
    "baseTexture", "boneMatrix", "skyAmbientColor", "groundAmbientColor", "lightColor", "lightPosition",
    "lightMaxDistance", "lightDirection", "cameraOrigin", "fogColor", "depthFogParams", "heightFogParams",
    "dissolveValue", "dissolveColor", "dissolveTexture", "iceyAlphaMultiplier", "envmapTexture"};

const ShaderContents kShaders[] = {
    {"Shaders/Standard.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/StandardT.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/StandardSkinned.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/StandardSkinnedT.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/StandardDissolveStatic.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/StandardDissolveSkinned.ssh", kMeshStyles, kMeshParameters},
    {"Addon/Shaders/IceyStatic.ssh", kMeshStyles, kMeshParameters},
    {"Addon/Shaders/IceySkinned.ssh", kMeshStyles, kMeshParameters},
    {"Shaders/Basic.ssh", {"normal"}, {"objectToScreenMatrix", "color", "baseTexture"}},
    {"Shaders/Overlay.ssh", {"normal"}, {"objectToScreenMatrix", "color", "baseTexture"}},
    {"Shaders/Filter.ssh",
     {"normal", "extractHot", "alphaMask"},
     {"texture", "sampleOffset0", "sampleOffset7", "sampleWeight0", "sampleWeight1", "blendDstFactor", "extractConst",
      "saturation"}},
};

TEST_F(SampleDataTest, EveryShaderReadsForEachGenerationTheDetailLevelsSelect) {
    for (const int detail : {2, 1, 0}) {
        GraphicsTestBed bed(directory.GetPath());
        bed.GetOptions().SetQuality(Options::QualityName::detailLevel, detail);
        ASSERT_TRUE(bed.Start());
        LogCapture log;
        for (const ShaderContents& contents : kShaders) {
            const GraphicsShader2* shader = bed.Graphics().LoadShader2(contents.file);
            for (const char* style : contents.styles) {
                EXPECT_NE(shader->FindStyleByName(Name::Create(style)), GraphicsShader2::kNoStyle)
                    << contents.file << " " << style << " detail " << detail;
            }
            for (const char* parameter : contents.parameters) {
                EXPECT_TRUE(shader->HasParameter(Name::Create(parameter))) << contents.file << " " << parameter;
            }
            EXPECT_EQ(shader->GetInitResult(), Resource::InitResult::Success) << contents.file;
            bed.Graphics().UnloadShader2(shader);
        }
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
        EXPECT_TRUE(bed.Device().GetErrors().empty());
    }
}

TEST_F(SampleDataTest, TheBlurSendsTheDestinationBlendFactorItIsGiven) {
    GraphicsTestBed bed(directory.GetPath());
    ASSERT_TRUE(bed.Start());
    const GraphicsShader2* filter = bed.Graphics().LoadShader2("Shaders/Filter.ssh");
    ASSERT_TRUE(filter->Begin(filter->FindStyleByName(Name::Create("normal"))));
    EXPECT_TRUE(filter->SetInt(Name::Create("blendDstFactor"), 0, 1));
    EXPECT_TRUE(filter->SetFloat2(Name::Create("sampleOffset3"), 0, 0.25f, 0.5f));
    bed.Device().ClearCalls();
    filter->Render("BlurFrameBuffer");
    EXPECT_EQ(bed.Device().GetCalls("SetDestinationBlendFactor"), std::vector<std::string>{"SetDestinationBlendFactor(1)"});
    EXPECT_EQ(bed.Device().GetCalls("SetPixelShaderConstants"),
              std::vector<std::string>{"SetPixelShaderConstants(3, [0.25, 0.5, 0, 0], 1)"});
    filter->End();
    bed.Graphics().UnloadShader2(filter);
}

TEST_F(SampleDataTest, TheTexturesLoad) {
    GraphicsTestBed bed(directory.GetPath());
    ASSERT_TRUE(bed.Start());
    const GraphicsTexture* checker = bed.Graphics().LoadTexture("Textures/Checker.dds");
    EXPECT_EQ(std::pair(checker->GetNumFrames(), checker->GetInitResult()),
              std::pair(1, Resource::InitResult::Success));
    const GraphicsTexture* pulse = bed.Graphics().LoadTexture("Textures/Pulse.tex");
    EXPECT_EQ(std::pair(pulse->GetNumFrames(), pulse->GetFrameRate()), std::pair(4, 10.0f));
    for (const GraphicsTexture* texture : {checker, pulse}) bed.Graphics().UnloadTexture(texture);
    for (const char* ground : {"Textures/Terrain/Grass.dds", "Textures/Terrain/Rock.dds"}) {
        const GraphicsTexture* texture = bed.Graphics().LoadTexture(ground);
        EXPECT_EQ(texture->GetInitResult(), Resource::InitResult::Success) << ground;
        bed.Graphics().UnloadTexture(texture);
    }
}

TEST_F(SampleDataTest, TheTerrainTypesAreGrassAndStone) {
    FileSystem files;
    files.AddDirectory(directory.GetPath());
    TableDepot depot(files);
    ObjectManager objects;
    objects.SetTableDepot(&depot);
    const TerrainType* grass = objects.CreateObjectFromFile<TerrainType>(sample::kGrassTerrainType);
    const TerrainType* rock = objects.CreateObjectFromFile<TerrainType>(sample::kRockTerrainType);
    ASSERT_TRUE(grass != nullptr && rock != nullptr);
    EXPECT_TRUE(grass->GetSurface() == PhysicsSurface::Grass && rock->GetSurface() == PhysicsSurface::Stone);
}

TEST_F(SampleDataTest, TheFontsHaveRegularAndBoldFacesAtTheSizesTheStylesComeTo) {
    const struct {
        const char* file;
        uint32_t size;
    } fonts[] = {{"Fonts/Arial.fnt", 12}, {"Fonts/Albertus MT.fnt", 20}};
    for (const auto& expected : fonts) {
        const std::string bytes = directory.ReadFile(expected.file);
        DeviceFontFile font;
        ASSERT_TRUE(font.Read(bytes.data(), uint32_t(bytes.size()), expected.file)) << expected.file;
        ASSERT_EQ(font.faces.size(), 2u);
        EXPECT_TRUE(font.faces[0].style == RenderFontStyle::Regular && font.faces[1].style == RenderFontStyle::Bold);
        for (const DeviceFontFace& face : font.faces) {
            EXPECT_EQ(face.baseSize, expected.size);
            EXPECT_TRUE(face.ascent > 0 && face.descent > 0);
            const DeviceFontGlyph* h = face.FindGlyph('H');
            EXPECT_EQ(h->yOffset + h->height, face.ascent);  // on the baseline
            // The glyphs lie apart in the atlas, and nothing is drawn outside them.
            std::vector<int> owners(face.atlas.size(), 0);
            for (const DeviceFontGlyph& glyph : face.glyphs) {
                for (uint32_t y = glyph.y; y < uint32_t(glyph.y + glyph.height); ++y)
                    for (uint32_t x = glyph.x; x < uint32_t(glyph.x + glyph.width); ++x) ++owners.at(y * face.atlasWidth + x);
            }
            size_t shared = 0, stray = 0;
            for (size_t i = 0; i < owners.size(); ++i) {
                shared += owners[i] > 1;
                stray += owners[i] == 0 && face.atlas[i] != 0;
            }
            EXPECT_EQ(shared + stray, 0u);
            EXPECT_GE(face.lineHeight, face.ascent + face.descent - 1);
            // Printable ASCII and Latin-1.
            EXPECT_EQ(face.glyphs.size(), size_t(95 + 96));
            const DeviceFontGlyph* e = face.FindGlyph(0xE9);
            ASSERT_NE(e, nullptr);
            uint32_t ink = 0;
            for (uint32_t y = e->y; y < uint32_t(e->y + e->height); ++y) {
                for (uint32_t x = e->x; x < uint32_t(e->x + e->width); ++x) ink += face.atlas[y * face.atlasWidth + x];
            }
            EXPECT_GT(ink, 255u * 4);
            EXPECT_NE(face.GetKerning('A', 'V'), 0);
        }
        EXPECT_GT(font.faces[1].FindGlyph('m')->advance, font.faces[0].FindGlyph('m')->advance - 1);
    }
}

TEST_F(SampleDataTest, TheSampleLevelLoadsItsEntitiesAndPaintsItsSectorStyles) {
    const std::string styleBytes = directory.ReadFile(sample::kSampleSectorData);
    SectorDataManager styles;
    BinaryReader styleReader(styleBytes.data(), uint32_t(styleBytes.size()));
    ASSERT_TRUE(styles.Load(styleReader));
    ASSERT_EQ(styles.GetNumSectorData(SectorDataManager::kFog), 1);
    ASSERT_EQ(styles.GetNumSectorData(SectorDataManager::kName), 1);

    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath()));
    TableDepot records(files);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&records);
    const std::string levelBytes = directory.ReadFile(sample::kSampleLevel);
    Region region(nullptr, 0, "Sample", ABBox(), IntVec3(), RegionId());
    {
        Level level(&region);
        ASSERT_TRUE(level.Load(levelBytes.data(), uint32_t(levelBytes.size()), false));
        EXPECT_EQ(level.GetNumEntities(), sample::kSampleLevelEntities);
        mem::vector<Entity*> actors;
        level.GetEntities(actors);
        std::erase_if(actors, [](const Entity* entity) { return !entity->GetRTTIClassInfo()->IsA(&Actor::classInfo); });
        EXPECT_EQ(actors.size(), size_t(sample::kSampleLevelEntities / 2));
        // The ground: the run-time form of grassy hills with rock on the steep slopes, and the
        // entities stand on it.
        const auto* ground = static_cast<const TerrainRT*>(level.GetGround());
        ASSERT_NE(ground, nullptr);
        ASSERT_EQ(ground->GetTerainType(), TerrainBase::TerrainBaseType::RunTime);
        EXPECT_EQ(ground->GetNumXSamples(), 257u);
        ASSERT_EQ(ground->GetNumTextureLayers(), 2u);
        EXPECT_TRUE(ground->GetLayerTerrainType(0u)->GetSurface() == PhysicsSurface::Grass &&
                    ground->GetLayerTerrainType(0u)->GetNumBladeVariations() > 1u &&
                    ground->GetLayerTerrainType(1u)->GetSurface() == PhysicsSurface::Stone);
        mem::vector<unsigned> shown;
        ground->GetLayersInBox(shown, ground->GetBoundingBox());
        EXPECT_EQ(shown, (mem::vector<unsigned>{0, 1}));
        for (const Entity* entity : actors) {
            const Vec3 at = entity->GetCoords().GetOrigin().GetRegionPosition();
            EXPECT_FLOAT_EQ(at.y, ground->GetHeightInterpolated(at.x, at.z));
        }
        const SectorLayers& layers = level.GetSectorLayers();
        const UniqueId& fog = styles.GetSectorData(SectorDataManager::kFog, 0)->id;
        const UniqueId& place = styles.GetSectorData(SectorDataManager::kName, 0)->id;
        EXPECT_EQ(layers.GetTargetId(SectorDataManager::kFog, 10, 200), fog);
        EXPECT_TRUE(layers.GetTargetId(SectorDataManager::kFog, 200, 10).IsNull());
        EXPECT_EQ(layers.GetTargetId(SectorDataManager::kName, 200, 10), place);
    }
    objects->DestroyPendingObjects(-1);
    objects->SetTableDepot(nullptr);
}

// The sample world's map, loaded by a world: six regions side by side, each touching its
// neighbours, each with its level file in the map where its entry says: terrain that meets its
// neighbours', the lake and the river where the layout puts them, the marks around the fire and
// the painted styles.
TEST_F(SampleDataTest, TheSampleWorldMapHoldsSixConnectedRegionsAndTheCryptWithTheirLevels) {
    class FileEngine : public Engine {
    public:
        explicit FileEngine(FileSystem* files) { UseFileSystem(files); }
    };
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(directory.GetPath()));
    TableDepot records(files);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&records);
    {
        FileEngine engine(&files);
        World& world = *engine.GetWorld();
        ASSERT_TRUE(world.Load(sample::kSampleMap, true, true));
        ASSERT_EQ(world.GetNumRegions(), sample::kSampleWorldRegions + 1);  // and the crypt
        EXPECT_EQ(world.GetRegion(4)->GetConnectedRegions().size(), 5u);  // the middle of the far row
        EXPECT_EQ(world.GetRegionContainingPoint(IntVec3(130, 0, 70)), world.GetRegion(5));
        EXPECT_EQ(world.GetPlayerSpawnPoint(0).GetRegion(), world.GetRegion(0));
        SectorDataManager* styles = engine.GetSectorDataManager();
        ASSERT_EQ(styles->GetNumSectorData(SectorDataManager::kDayNightCycle), 1);
        const UniqueId dayNight = styles->GetSectorData(SectorDataManager::kDayNightCycle, 0)->id;
        File* map = world.LockMapFile();
        ASSERT_NE(map, nullptr);
        for (int i = 0; i < sample::kSampleWorldRegions; ++i) {
            Region* region = world.GetRegion(i);
            const IntVec3& at = region->GetOffsetFromWorld();
            const Vec3 offset(float(at.x), float(at.y), float(at.z));
            Level level(region);
            const void* data = map->Lock(region->GetLevelDataPosition(), region->GetLevelDataSize());
            EXPECT_TRUE(level.Load(data, region->GetLevelDataSize(), false));
            // The first region also has its fire, the marks around it, the slab and the crypt's
            // entrance.
            EXPECT_EQ(level.GetNumEntities(),
                      i == 0 ? 23 + sample::kScorchMarks + sample::kYardCrates + sample::kYardCreatures +
                                   sample::kYardRagDolls : 20);
            if (i == sample::kSlabRegion) {
                mem::vector<Entity*> entities;
                level.GetEntities(entities);
                const auto slab = std::find_if(entities.begin(), entities.end(), [](const Entity* e) {
                    return e->GetRTTIClassInfo()->IsA(&Tile::classInfo);
                });
                ASSERT_NE(slab, entities.end());
                const Vec3 slabAt = (*slab)->GetCoords().GetOrigin().GetRegionPosition() + offset;
                EXPECT_FLOAT_EQ(slabAt.x, sample::kSlabCentre.x);
                EXPECT_FLOAT_EQ(slabAt.z, sample::kSlabCentre.y);
                // Resting on the ground: no ground under its middle or corners reaches above its
                // foot, nor lies far below it.
                for (const Vec2 d : {Vec2(0, 0), Vec2(-1, -1), Vec2(-1, 1), Vec2(1, -1), Vec2(1, 1)}) {
                    const float ground = sample::WorldGroundHeight(slabAt.x + d.x * sample::kTileHalfSize,
                                                                   slabAt.z + d.y * sample::kTileHalfSize);
                    EXPECT_GE(slabAt.y, ground - 1e-3f);
                    EXPECT_LT(slabAt.y, ground + 0.6f);
                }
                // Cut into the ground: hidden under its middle, not a few units beyond its rim, and
                // the seam closed by plugs.
                const TerrainBase* ground = TerrainBase::GetLevelTerrain(&level);
                ASSERT_NE(ground, nullptr);
                const Vec3 middle = slabAt - offset;
                EXPECT_TRUE(ground->IsInvisible(int(middle.x), int(middle.z)));
                EXPECT_FALSE(ground->IsInvisible(int(middle.x + sample::kTileHalfSize + 2), int(middle.z)));
                mem::vector<TerrainObject*> pieces;
                ground->GetAllObjects(pieces);
                EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(), [](const TerrainObject* object) {
                    return object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo);
                }));
            }
            if (i == 0) {
                mem::vector<Entity*> entities;
                level.GetEntities(entities);
                const auto entrance = std::find_if(entities.begin(), entities.end(), [](const Entity* e) {
                    return e->GetRTTIClassInfo()->IsA(&GridEntrance::classInfo);
                });
                ASSERT_NE(entrance, entities.end());
                EXPECT_TRUE(static_cast<const GridEntrance*>(*entrance)->IsPortalInfoValid());
                EXPECT_EQ(static_cast<const GridEntrance*>(*entrance)->GetConnectedRegionId(), sample::kCryptRegionId);
            }
            ASSERT_NE(level.GetGround(), nullptr);
            EXPECT_NEAR(level.GetGroundHeight(64, 20), sample::WorldGroundHeight(offset.x + 64, offset.z + 20), 1e-3f);
            EXPECT_NEAR(level.GetGroundHeight(31, 0), sample::WorldGroundHeight(offset.x + 31, offset.z), 1e-3f);
            EXPECT_EQ(level.GetSectorLayers().GetTargetId(SectorDataManager::kDayNightCycle, 40, 50), dayNight);
            // A level without a device keeps no water: its water chunk is read here as the
            // generator wrote it.
            Water water(region);
            water.InitializeWithoutDevice(64, 64, level.GetGround());
            BinaryReader chunks(data, region->GetLevelDataSize());
            chunks.Skip(sizeof(Level::kMagic) + 1);
            while (!chunks.IsAtEnd() && !chunks.Failed()) {
                const uint32_t id = chunks.ReadUInt32();
                BinaryReader chunk = chunks.ReadBlock(chunks.ReadUInt32());
                if (id == Level::kChunkWater) {
                    EXPECT_TRUE(water.Load(chunk));
                }
            }
            Vec3 surface, velocity;
            const auto wetAt = [&](const Vec2& point) {
                return water.GetWaterPointInfo(Vec3(point.x - offset.x, 0, point.y - offset.z), surface, velocity);
            };
            EXPECT_EQ(wetAt(sample::kLakeCentre), i == sample::kLakeRegion) << i;
            if (i == sample::kLakeRegion) {
                EXPECT_FLOAT_EQ(surface.y, sample::kLakeHeight);
                // Shore waves, rolling in, over a quarter of its shore.
                ASSERT_EQ(water.GetNumWaveSets(), 1u);
                const WaterWaveSet& waves = *water.GetWaveSet(0);
                ASSERT_EQ(waves.GetNumSegments(), 2u);
                EXPECT_TRUE(waves.GetSegment(0).HasRollers());
                EXPECT_NEAR(waves.GetSegment(0).GetLength(), sample::kLakeWavesRadius * Pi * 0.25f, 0.5f);
                // Its points on the circle around the centre, an eighth of a turn apart, running
                // along it with their normals across.
                const Vec2 centre(sample::kLakeCentre.x - offset.x, sample::kLakeCentre.y - offset.z);
                for (unsigned p = 0; p < 3; ++p) {
                    const ControlPoint& point = waves.GetControlPoint(p);
                    const Vec2 out = point.GetPosition() - centre;
                    EXPECT_NEAR(out.Length(), sample::kLakeWavesRadius, 1e-3f) << p;
                    EXPECT_NEAR(out.x * point.tangentX + out.y * point.tangentZ, 0.0f, 1e-3f) << p;
                    EXPECT_NEAR(point.GetNormal().Length(), 1.0f, 1e-4f) << p;
                    EXPECT_NEAR(point.normalX * point.tangentX + point.normalZ * point.tangentZ, 0.0f, 1e-4f) << p;
                    if (p > 0) {
                        const float chord = (point.GetPosition() - waves.GetControlPoint(p - 1).GetPosition()).Length();
                        EXPECT_NEAR(chord, 2.0f * sample::kLakeWavesRadius * std::sin(Pi / 8.0f), 1e-3f) << p;
                    }
                }
            } else {
                EXPECT_EQ(water.GetNumWaveSets(), 0u);
            }
            EXPECT_EQ(wetAt(sample::kRiverCourse[1]), i == sample::kRiverRegion) << i;
            if (i == sample::kRiverRegion) {
                EXPECT_FLOAT_EQ(surface.y, sample::kRiverHeight);
            }
            map->Unlock();
            level.DestroyAllEntities(-1);
        }
        // The crypt: an interior grid, its doorway cell joined to the entrance in the first region.
        Region* crypt = world.GetRegion(sample::kSampleWorldRegions);
        EXPECT_TRUE(crypt->GetName() == sample::kCryptLevel && crypt->GetId() == sample::kCryptRegionId &&
                    world.GetRegionContainingPoint(IntVec3(330, 1, 330)) == crypt);
        Level level(crypt);
        ASSERT_TRUE(level.Load(map->Lock(crypt->GetLevelDataPosition(), crypt->GetLevelDataSize()), crypt->GetLevelDataSize(), false));
        map->Unlock();
        EXPECT_TRUE(level.IsUnderground());
        const auto* grid = dynamic_cast<const GridRegion*>(level.GetGround());
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->GetXNumCells(), sample::kCryptCells);
        EXPECT_EQ(grid->GetCellFeature(sample::kCryptDoorCell, 0, 0).feature, 1);
        // Walls all round and across behind the middle row, open in line with the doorway; floors.
        const int lattice[][3] = {{0, 3, 1}, {3, 0, 1}, {10, 10, 1}, {3, 6, 1}, {5, 6, 0}, {2, 1, 0}, {4, 4, 0}};
        for (const auto& [i, k, wall] : lattice) EXPECT_EQ(grid->GetLatticeValue(i, 0, k), wall) << i << " " << k;
        EXPECT_EQ(grid->GetCellFloor(4, 0, 4), 1);
        ASSERT_EQ(grid->GetPortalRecords().size(), 1u);
        const auto& door = grid->GetPortalRecords()[0];
        EXPECT_TRUE(door.id == sample::kCryptDoorPortal && door.connectedId == sample::kCryptEntrancePortal &&
                    door.connectedRegion == world.GetRegion(0)->GetId());
        world.UnlockMapFile();
    }
    objects->DestroyPendingObjects(-1);
    objects->SetTableDepot(nullptr);
}

}  // namespace
}  // namespace GAME::test
