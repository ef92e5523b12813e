// Writes the seed inputs of the fuzz targets' corpora: tests/fuzz/corpus/<target>/seed-*, small
// valid inputs from the sample data and the engine's own writers. The inputs that once crashed a
// target (crash-*) sit beside them and are left alone. Built with the tests (not by the fuzz
// preset); tools/fuzz.sh replays every corpus input before it fuzzes.
//
// Usage: WriteFuzzSeeds <corpus directory>

#include "SampleData.h"
#include "core/Coords.h"
#include "core/Singleton.h"
#include "core/Vec2.h"
#include "effects/EffectData.h"
#include "effects/EmitterData.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/StringTable.h"
#include "files/TableDepot.h"
#include "pathing/ImpassableData.h"
#include "pathing/PathMesh.h"
#include "physics/PhysicsMeshWriter.h"
#include "platform/VideoFileWriter.h"
#include "render/DeviceFontFile.h"
#include "render/Image.h"
#include "scene/GraphicsAnimWriter.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/MeshFileWriter.h"
#include "support/GLGraphicsBed.h"
#include "support/ImageFiles.h"
#include "support/RecordingDevice.h"
#include "support/TempDirectory.h"
#include "support/TestVideo.h"
#include "terrain/GridEntrance.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/Water.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterTypeManager.h"
#include "terrain/WaterWaveSet.h"
#include "world/FogOfWar.h"
#include "world/GridRegion.h"
#include "world/Level.h"
#include "world/MapFile.h"
#include "world/Region.h"
#include "world/RegionRecord.h"
#include "world/SectorDataManager.h"
#include "world/WorldFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace GAME;
namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

Bytes Written(const BinaryWriter& writer) { return Bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()); }

Bytes ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The selector byte some targets read first, then the payload.
Bytes Selected(uint8_t selector, const Bytes& payload) {
    Bytes bytes{selector};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

class Corpus {
public:
    explicit Corpus(fs::path root) : root_(std::move(root)) {}

    void Add(const std::string& target, const std::string& name, const Bytes& bytes) {
        const fs::path folder = root_ / target;
        fs::create_directories(folder);
        std::ofstream file(folder / ("seed-" + name), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "WriteFuzzSeeds: %s/seed-%s could not be written\n", target.c_str(), name.c_str());
            failed_ = true;
        }
    }
    bool Failed() const { return failed_; }

private:
    fs::path root_;
    bool failed_ = false;
};

// A picture whose pixels all differ, and one with runs that cross rows.
Image Pattern(Image::Format format, bool runs) {
    Image image;
    image.Create(8, 8, format);
    const uint32_t bytes = image.GetBitsPerPixel() / 8;
    for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t source = runs && i >= 5 && i < 22 ? 0 : i;
        for (uint32_t c = 0; c < bytes; ++c) image.GetBuffer()[i * bytes + c] = uint8_t(source * 29 + c * 71);
    }
    return image;
}

// A picture of at most 16 colours (of two with twoColours) with runs of one colour and stretches of
// unequal ones, for the small palettes and the run-length forms.
Image FewColours(bool twoColours) {
    Image image;
    image.Create(9, 7, Image::Format::RGB);
    for (uint32_t i = 0; i < 63; ++i) {
        const uint32_t index = i % 16 < 6 ? 0 : i * 5 % (twoColours ? 2 : 13);
        for (uint32_t c = 0; c < 3; ++c) image.GetBuffer()[i * 3 + c] = uint8_t(index * 19 + c * 83);
    }
    return image;
}

void AddImages(Corpus& corpus) {
    using test::MakeBmp;
    using test::MakePng;
    using test::MakeTga;
    const Image rgb = Pattern(Image::Format::RGB, false);
    const Image rgba = Pattern(Image::Format::RGBA, true);
    const Image grey = Pattern(Image::Format::Luminance, true);
    BinaryWriter tga;
    rgb.WriteTGA(tga);
    corpus.Add("fuzz_image", "true-colour.tga", Written(tga));
    corpus.Add("fuzz_image", "run-length.tga", MakeTga(rgba, {.runLength = true, .topFirst = true}));
    corpus.Add("fuzz_image", "colour-mapped.tga", MakeTga(rgba, {.colourMapped = true, .runLength = true}));
    corpus.Add("fuzz_image", "grey.tga", MakeTga(grey, {.rightToLeft = true}));
    corpus.Add("fuzz_image", "24-bit.bmp", MakeBmp(rgb, {}));
    corpus.Add("fuzz_image", "32-bit-v5-masks.bmp", MakeBmp(rgba, {.headerBytes = 124, .masks = true}));
    corpus.Add("fuzz_image", "palettised.bmp", MakeBmp(rgb, {.indexBits = 8, .topFirst = true}));
    const Image few = FewColours(false);
    corpus.Add("fuzz_image", "1-bit-core.bmp", MakeBmp(FewColours(true), {.headerBytes = 12, .indexBits = 1}));
    corpus.Add("fuzz_image", "4-bit.bmp", MakeBmp(few, {.indexBits = 4}));
    corpus.Add("fuzz_image", "rle8-v5.bmp", MakeBmp(few, {.headerBytes = 124, .indexBits = 8, .runLength = true}));
    corpus.Add("fuzz_image", "rle4.bmp", MakeBmp(few, {.indexBits = 4, .runLength = true}));
    corpus.Add("fuzz_image", "16-bit-565.bmp", MakeBmp(rgb, {.sixteenBits = true, .masks = true}));
    corpus.Add("fuzz_image", "16-bit.tga", MakeTga(rgb, {.runLength = true, .sixteenBits = true}));
    corpus.Add("fuzz_image", "colour-mapped-16-bit.tga", MakeTga(few, {.colourMapped = true, .sixteenBits = true}));
    corpus.Add("fuzz_image", "cmyk.jpg", test::MakeCmykJpeg(rgba, true));
    corpus.Add("fuzz_image", "rgb.png", MakePng(rgb, {}));
    corpus.Add("fuzz_image", "palettised-alpha.png", MakePng(rgba, {.palettised = true}));
    corpus.Add("fuzz_image", "grey-16-bit-interlaced.png", MakePng(grey, {.sixteenBits = true, .interlaced = true}));
    const test::TempDirectory directory;
    for (const Image* image : {&rgb, &grey}) {
        const std::string path = directory.Join("image.jpg");
        image->SaveJPG(path.c_str());
        corpus.Add("fuzz_image", image == &rgb ? "colour.jpg" : "grey.jpg", ReadFile(path));
    }
}

void AddVideo(Corpus& corpus) {
    const test::TempDirectory directory;
    const std::string path = directory.Join("clip.mkv");
    test::WriteTestVideo(path);
    corpus.Add("fuzz_video", "test-clip.mkv", ReadFile(path));
    // 4:2:0 and 4:2:2 pictures of widths that are no multiple of 8: the scaler converts their rows
    // in part groups.
    const std::tuple<VideoCoding, int, const char*> clips[] = {{VideoCoding::Ffv1Yuv420, 6, "ffv1-420-6x4.mkv"},
                                                               {VideoCoding::Ffv1Yuv422, 18, "ffv1-422-18x4.mkv"},
                                                               {VideoCoding::Mpeg4, 22, "mpeg4-22x4.mkv"}};
    for (const auto& [coding, width, name] : clips) {
        WriteVideoFile(path, {width, 4, 3, 10, coding}, [width = width](uint32_t frame, uint32_t* pixels) {
            for (int i = 0; i < width * 4; ++i) pixels[i] = test::TestVideoLeft(frame + uint32_t(i % 7));
        });
        corpus.Add("fuzz_video", name, ReadFile(path));
    }
}

void AddAnimation(Corpus& corpus) {
    GraphicsAnimWriter::Contents contents;
    contents.frameCount = 3;
    for (const char* bone : {"root", "arm"}) {
        GraphicsAnim::Track track;
        track.nameText = bone;
        for (int frame = 0; frame < 3; ++frame) {
            SkeletalPose::AffineParts parts;
            parts.translation = Vec3(float(frame), 0.5f, -1.0f);
            parts.rotation = Quaternion(0.0f, 0.6f, 0.0f, 0.8f);
            track.frames.push_back(parts);
        }
        contents.tracks.push_back(track);
    }
    GraphicsAnim::CallbackPoint step;
    step.nameText = "step";
    step.frame = 1;
    contents.callbackPoints.push_back(step);
    BinaryWriter writer;
    GraphicsAnimWriter::Write(writer, contents);
    corpus.Add("fuzz_anim", "two-bones.anm", Written(writer));
}

// A mesh instance's saved state: a pose of two bones and the box.
void AddMeshInstanceState(Corpus& corpus) {
    GraphicsMeshInstance instance;
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Root"), Coords::Translation(Vec3(0.0f, 1.0f, 0.0f)));
    pose.SetBoneCoords(Name::Create("Head"), Coords::RotationZ(0.5f));
    instance.SetSkeletalPose(pose);
    instance.SetUnloadedBoundingBoxExtents(2.0f);
    instance.UpdateBoundingBox(false);
    BinaryWriter writer;
    instance.SaveState(writer);
    corpus.Add("fuzz_mesh_instance_state", "posed.state", Written(writer));
}

void AddEffect(Corpus& corpus) {
    EffectData effect;
    effect.AddEmitterData(std::make_unique<EmitterData>());
    effect.SetName(0, "sparks");
    BinaryWriter writer;
    effect.BinaryWrite(writer);
    corpus.Add("fuzz_effect_file", "one-emitter.fx", Written(writer));
}

void AddPathing(Corpus& corpus) {
    ImpassableData impassable;
    impassable.Prime(4, 3);
    impassable.SetImpassable(1, 1, true);
    BinaryWriter cells;
    impassable.Save(cells);
    corpus.Add("fuzz_path_mesh", "impassable", Selected(0, Written(cells)));

    // A square of two triangles with a third beside it.
    const Vec3 a(0, 0, 0), b(4, 0, 0), c(4, 0, 4), d(0, 0, 4), e(8, 0, 0);
    PathMesh mesh;
    mesh.Create({PathFace{{a, b, c}}, PathFace{{a, c, d}}, PathFace{{b, e, c}}}, {});
    BinaryWriter triangles;
    mesh.Save(triangles);
    corpus.Add("fuzz_path_mesh", "mesh", Selected(1, Written(triangles)));
}

void AddPhysicsMesh(Corpus& corpus) {
    // A box of twelve triangles.
    mem::vector<Vec3> vertices;
    for (int i = 0; i < 8; ++i) vertices.push_back(Vec3(float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1)));
    const uint32_t corners[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                     {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    mem::vector<PhysicsMesh::Face> faces;
    for (const auto& corner : corners) {
        PhysicsMesh::Face face;
        for (int i = 0; i < 3; ++i) face.vertices[i] = corner[i];
        face.surface = PhysicsSurface::Stone;
        faces.push_back(face);
    }
    BinaryWriter writer;
    PhysicsMeshWriter::Write(writer, faces, vertices);
    corpus.Add("fuzz_physics_mesh", "box", Written(writer));
}

void AddRegionRecords(Corpus& corpus) {
    RegionRecord record;
    record.name = "Sample";
    record.zoneRecord = "Records/Zones/Sample.dbr";
    record.box = ABBox(Vec3(1, 2, 3), Vec3(10, 5, 10));
    record.offset = IntVec3(64, 0, -32);
    record.id = RegionId(1, 2, 3, 4);
    BinaryWriter withZone;
    record.Write(withZone);
    corpus.Add("fuzz_region_records", "with-zone", Selected(0, Written(withZone)));
    // Without the zone record, which the writer always adds (empty: its length word alone).
    record.zoneRecord.clear();
    BinaryWriter withoutZone;
    record.Write(withoutZone);
    Bytes bytes = Written(withoutZone);
    bytes.erase(bytes.end() - 4, bytes.end());
    corpus.Add("fuzz_region_records", "without-zone", Selected(1, bytes));
    const Region region(nullptr, 0, "Sample", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    BinaryWriter icon;
    region.SaveRegionIcon(icon);
    corpus.Add("fuzz_region_records", "no-icon", Selected(2, Written(icon)));
}

// Levels over the records the level target mounts: "records/a.dbr" and "records/b.dbr" make
// entities.
void AddLevels(Corpus& corpus) {
    const test::TempDirectory directory;
    directory.WriteFile("records/a.dbr", "Class,Entity,\n");
    directory.WriteFile("records/b.dbr", "Class,Entity,\n");
    FileSystem files;
    files.AddDirectory(directory.GetPath());
    TableDepot depot(files);
    ObjectManager* const objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&depot);
    Region region(nullptr, 0, "Fuzz", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId());
    {
        Level level(&region);
        level.NewSpace(Vec2(100, 100));
        BinaryWriter empty;
        level.Save(empty, false);
        corpus.Add("fuzz_level", "empty.lvl", Written(empty));
        const char* const records[] = {"records/a.dbr", "records/b.dbr", "records/a.dbr"};
        for (int i = 0; i < 3; ++i) {
            Entity* entity = objects->CreateObjectFromFile<Entity>(records[i]);
            if (entity != nullptr) level.AddEntity(entity, Coords::Translation(Vec3(float(10 * i), 0, 20)));
        }
        BinaryWriter entities;
        level.Save(entities, false);
        corpus.Add("fuzz_level", "three-entities.lvl", Written(entities));
    }
    objects->DestroyPendingObjects(-1);
    objects->SetTableDepot(nullptr);
}

// A small terrain over the record the terrain targets mount ("records/grass.dbr" is a terrain
// type) in both block forms: hills, a painted layer over the base, a hidden sample, an impassable
// cell and (in the run-time form) a plug; and a level that has it as its ground.
void AddTerrainBlocks(Corpus& corpus) {
    const test::TempDirectory directory;
    directory.WriteFile("records/grass.dbr", "Class,TerrainType,\nsurfaceType,Grass,\n");
    FileSystem files;
    files.AddDirectory(directory.GetPath());
    TableDepot depot(files);
    ObjectManager* const objects = Singleton<ObjectManager>::Get();
    objects->SetTableDepot(&depot);
    {
        auto terrain = std::make_unique<Terrain>(nullptr);
        terrain->New(8, 8);
        terrain->AddLayer("records/grass.dbr");
        terrain->AddLayer("records/grass.dbr");
        for (unsigned z = 0; z <= 8; ++z) {
            for (unsigned x = 0; x <= 8; ++x) {
                terrain->SetBaseHeight(x, z, float((x * 3 + z * 5) % 7) * 0.5f);
                if (x < 8 && z < 8) terrain->SetLayerOpacity(1, x, z, uint8_t(x < 4 ? 255 : x * 20));
            }
        }
        terrain->AddDirtyRect(DirtyRect(0, 0, 9, 9));
        terrain->AddOpacityDirtyRect(DirtyRect(0, 0, 8, 8));
        terrain->Update(nullptr, 0, 0);
        terrain->SetInvisible(2, 3, true);
        terrain->SetPassable(5, 5, 2);
        BinaryWriter editor;
        terrain->Save(editor);
        corpus.Add("fuzz_terrain_block", "9x9-two-layers.bin", Selected(0, Written(editor)));

        auto* plug = new TerrainPlug;  // the terrain deletes it
        plug->SetTerrain(terrain.get());
        plug->AddTriangle({{{1, 1, 2}, {0, 1, 0}}, {{1, 3, 2.5f}, {0, 1, 0}}, {{3, 3, 4}, {0, 1, 0}}});
        plug->SetLayers({0, 1});
        plug->UpdateBounds();
        terrain->AddObjectToSpace(plug);
        BinaryWriter runTime;
        terrain->SaveRunTimeFormat(runTime);
        corpus.Add("fuzz_terrain_rt_block", "9x9-two-layers-one-plug.bin", Written(runTime));

        Region region(nullptr, 0, "Fuzz", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId());
        Level level(&region);
        level.NewSpace(Vec2(4, 4));
        level.SetGround(std::move(terrain));
        BinaryWriter ground;
        level.Save(ground, true);
        corpus.Add("fuzz_level", "run-time-ground.lvl", Written(ground));
    }
    objects->DestroyPendingObjects(-1);
    objects->SetTableDepot(nullptr);
}

// A lake layer, a river and shore waves, as a level's water chunk.
void AddWaterBlock(Corpus& corpus) {
    test::RecordingDevice device;
    {
        Water water(nullptr);
        water.Initialize(64, 64, nullptr, &device);
        WaterTypeManager::Get().CreateWaterType("Lake");
        WaterTypeManager::Get().CreateWaterType("River");
        WaterLayer* layer = water.AddWaterLayer("Lake", 0.5f);
        layer->UpdateArea(Vec3(20, 0, 20), 8.0f, true);
        ControlPoint bend{0, 40, 8, 0, 0, 1, 2};
        WaterPath* river = water.AddWaterPath("River", 1.0f, bend);
        bend = ControlPoint{30, 50, 6, 6, -0.7071f, 0.7071f, 3};
        river->AddControlPoint(bend);
        WaterWaveSet* waves = water.AddWaveSet(0.5f, ControlPoint{10, 10, 4, 0, 0, 1, 2});
        waves->AddControlPoint(ControlPoint{24, 12, 4, 0, 0, 1, 2});
        BinaryWriter writer;
        water.Save(writer);
        corpus.Add("fuzz_water_block", "lake-river-waves.bin", Written(writer));
    }
    WaterTypeManager::Destroy();
}

// One style of every kind, the day/night one with its default cycle.
void AddSectorData(Corpus& corpus) {
    SectorDataManager styles;
    for (int layer = 0; layer < SectorDataManager::kNumLayers; ++layer) styles.NewSectorData(layer);
    BinaryWriter writer;
    styles.Save(writer);
    corpus.Add("fuzz_sector_data", "every-kind.sd", Written(writer));
}

// A fog of war over 100 x 40 units with a path uncovered.
void AddFogOfWar(Corpus& corpus) {
    FogOfWar fog;
    fog.Initialize(100, 40);
    for (float x = 0; x < 100; x += 9) fog.AddVisibility(Vec3(x, 0, 20));
    BinaryWriter writer;
    fog.Save(writer);
    corpus.Add("fuzz_fog_of_war", "path.fow", Written(writer));
}

// A 2 x 2 x 2 grid with a walled room, a floor and a feature.
void AddGridBlock(Corpus& corpus) {
    GridRegion grid(nullptr);
    grid.Resize(2, 2, 2);
    for (int i = 0; i <= 2; ++i)
        for (int k = 0; k <= 2; ++k) grid.SetLatticeValue(i, 1, k, 1);
    grid.SetCellFloor(0, 1, 0, 1);
    grid.SetCellFeature(1, 0, 1, 1, 3);
    BinaryWriter writer;
    grid.SaveBlock(writer);
    corpus.Add("fuzz_grid_block", "room.grid", Written(writer));
}

// A world file of two regions with a zone record, an icon and quest files; the same regions as a
// map file with level images, spawn points, sector data and a host chunk.
void AddWorldFiles(Corpus& corpus) {
    mem::vector<RegionRecord> regions{
        RegionRecord{"first", "records/zone.dbr", ABBox(Vec3(64, 0, 64), Vec3(64, 32, 64)), IntVec3(0, 0, 0),
                     RegionId(1, 2, 3, 4)},
        RegionRecord{"second", "", ABBox(Vec3(32, 0, 32), Vec3(32, 16, 32)), IntVec3(128, 0, 0), RegionId(5, 6, 7, 8)}};
    BinaryWriter world;
    WorldFile::Write(
        world, {"quests/main.qst"}, regions,
        [](BinaryWriter& out) {
            for (int i = 0; i < 2; ++i) {
                out.Write(1u);
                out.Write(2u);
                out.Write(1u);
                out.Write(i == 0 ? 8 : 0);
                if (i == 0) out.Write(Bytes{1, 2, 3, 4, 5, 6, 7, 8}.data(), 8);
            }
        },
        [](BinaryWriter&) {});
    corpus.Add("fuzz_world_file", "two-regions.wrl", Written(world));

    MapFile::Contents map;
    for (const RegionRecord& record : regions) {
        Level level(nullptr);
        level.NewSpace(Vec2(64, 64));
        BinaryWriter image;
        level.Save(image, true);
        map.regions.push_back(MapFile::Region{record, Written(image), {0, 0, 0, 0}});
    }
    map.spawnPoints = {{0, Vec3(1, 2, 3)}, {1, Vec3(4, 5, 6)}};
    map.questFiles = {"quests/main.qst"};
    SectorDataManager sectors;
    map.sectorData = &sectors;
    map.extraChunks = {{40, Bytes{1, 2, 3}}};
    BinaryWriter mapImage;
    MapFile::Write(mapImage, map);
    corpus.Add("fuzz_map", "two-regions.map", Written(mapImage));
}

// The tests' block font, and a bold and an italic face with kerning pairs and an atlas of their own.
void AddFonts(Corpus& corpus) {
    corpus.Add("fuzz_font", "blocks.fnt", test::BlockFont::Write());
    DeviceFontFile file;
    for (const RenderFontStyle style : {RenderFontStyle::Bold, RenderFontStyle::Italic}) {
        DeviceFontFace face;
        face.style = style;
        face.baseSize = 12;
        face.ascent = 9;
        face.descent = 3;
        face.lineHeight = 14;
        face.atlasWidth = 16;
        face.atlasHeight = 8;
        for (uint32_t i = 0; i < 128; ++i) face.atlas.push_back(uint8_t(i * 2));
        for (const uint16_t code : {uint16_t('A'), uint16_t('V'), uint16_t(0xE9)}) {
            face.glyphs.push_back(DeviceFontGlyph{code, uint16_t(code % 8), 0, 7, 8, -1, 1, 8});
        }
        face.kerning = {{'A', 'V', -2}, {'V', 'A', -1}};
        file.faces.push_back(face);
    }
    std::vector<uint8_t> bytes;
    if (file.Write(bytes)) corpus.Add("fuzz_font", "bold-italic-kerning.fnt", bytes);
}

// Instance groups as the world file holds them: a group of the current version with a member and a
// child, and one of the first version.
void AddInstanceGroups(Corpus& corpus) {
    BinaryWriter writer;
    writer.Write(0u);
    writer.Write(2u);
    writer.Write(2u);  // version
    writer.Write(std::string("Camp"));
    writer.Write(std::string("Encounter"));
    writer.Write(1u);
    writer.WriteWordOrder(UniqueId::FromNameOrderWords({1, 2, 3, 4}));
    RegionId(5, 6, 7, 8).Write(writer);
    writer.Write(Vec3(10, 0, 20));
    writer.WriteWordOrder(UniqueId::FromNameOrderWords({9, 10, 11, 12}));
    writer.Write(1u);
    writer.WriteWordOrder(UniqueId::FromNameOrderWords({13, 14, 15, 16}));
    writer.Write(1u);  // version 1: no group id, no children
    writer.Write(std::string("Old"));
    writer.Write(std::string("Encounter"));
    writer.Write(0u);
    corpus.Add("fuzz_instance_groups", "current-and-first-version", Written(writer));
}

// A grid entrance's stream: its portal joined to the crypt's.
void AddGridEntrance(Corpus& corpus) {
    GridEntrance entrance;
    entrance.SetPortalIds(UniqueId::FromNameOrderWords({1, 2, 3, 4}), UniqueId::FromNameOrderWords({5, 6, 7, 8}),
                          RegionId(9, 10, 11, 12));
    BinaryWriter writer;
    entrance.Write(writer);
    corpus.Add("fuzz_grid_entrance", "joined", Written(writer));
}

void AddStringTable(Corpus& corpus) {
    StringTable table;
    for (const char* text : {"alpha", "beta", "gamma delta"}) table.Add(text);
    BinaryWriter writer;
    table.Write(writer);
    corpus.Add("fuzz_string_table", "three", Written(writer));
}

// A triangle in the legacy layouts, with a description text (the sample meshes are version 11).
void AddLegacyMeshes(Corpus& corpus) {
    MeshFileWriter::Contents contents;
    contents.attributes = {0};
    contents.stride = 12;
    for (const float coordinate : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&coordinate);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(coordinate));
    }
    contents.indices = {0, 1, 2};
    GraphicsMesh::FaceSet set;
    set.faceCount = 1;
    contents.faceSets.push_back(set);
    contents.materials.push_back(GraphicsMesh::Material{"Shaders/Basic.ssh", {}});
    contents.descriptionText = "AttachPoint { name = \"Tip\" origin = (0, 1, 0) }";
    for (const uint32_t version : {8u, 9u}) {
        BinaryWriter writer;
        MeshFileWriter::Write(writer, contents, version);
        corpus.Add("fuzz_mesh", "triangle-v" + std::to_string(version) + ".msh", Written(writer));
    }
}

// The sample data's options, text, records, shaders, textures, interface skin and meshes, as the
// engine reads them.
void AddSampleData(Corpus& corpus) {
    const test::TempDirectory directory;
    sample::WriteSampleData(directory.GetPath());
    const fs::path root = directory.GetPath();
    corpus.Add("fuzz_options", "options.txt", ReadFile(root / sample::kOptionsFile));
    corpus.Add("fuzz_localization", "english.txt", ReadFile(root / "Text/English.txt"));
    corpus.Add("fuzz_interface_skin", "sample.uis", ReadFile(root / sample::kInterfaceSkin));
    for (const auto& [folder, target] : {std::pair("Records", "fuzz_record"), std::pair("Shaders", "fuzz_shader"),
                                         std::pair("Textures", "fuzz_texture"), std::pair("Meshes", "fuzz_mesh")}) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root / folder)) {
            // Large files only slow the replay down: their forms are among the small ones.
            if (!entry.is_regular_file() || entry.file_size() > 32 * 1024) continue;
            std::string name = fs::relative(entry.path(), root / folder).string();
            for (char& c : name) c = c == '/' || c == ' ' ? '-' : c;
            corpus.Add(target, name, ReadFile(entry.path()));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    Corpus corpus(argv[1]);
    AddImages(corpus);
    AddVideo(corpus);
    AddAnimation(corpus);
    AddEffect(corpus);
    AddMeshInstanceState(corpus);
    AddPathing(corpus);
    AddPhysicsMesh(corpus);
    AddRegionRecords(corpus);
    AddLevels(corpus);
    AddTerrainBlocks(corpus);
    AddSectorData(corpus);
    AddWaterBlock(corpus);
    AddFogOfWar(corpus);
    AddGridBlock(corpus);
    AddStringTable(corpus);
    AddFonts(corpus);
    AddInstanceGroups(corpus);
    AddGridEntrance(corpus);
    AddWorldFiles(corpus);
    AddLegacyMeshes(corpus);
    AddSampleData(corpus);
    return corpus.Failed() ? 1 : 0;
}
