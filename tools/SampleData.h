#pragma once
// The sample data: everything the engine reads at start-up and the small set of files the sample
// host and the tests run on, generated with the engine's own writers.
//
// Layout of a sample-data directory:
//   Settings/Options.txt       the defaults file (640 x 480 windowed, high detail)
//   Text/English.txt           the English text
//   Records/...                records of the sample objects
//   Shaders/Basic.ssh          the basic and overlay shaders ("normal" style) and the filter
//   Shaders/Overlay.ssh        shader of the frame-buffer effects ("normal", "extractHot",
//   Shaders/Filter.ssh         "alphaMask"); GLSL 3.30 for GeForce6, GeForce4 and GeForce3
//                              (the older two blur in passes of four samples)
//   Textures/...               DDS images and an animated TEX container
//   Fonts/Arial.fnt            the graphics engine's default font, 12 pixels, regular and bold
//   Fonts/Albertus MT.fnt      the font styles' default font, 20 pixels, regular and bold
//   Records/.../Styles/...     the utility font style and the sample host's two styles
//   Records/Terrain/...        two terrain types, grass (with two blade variations) and rock,
//                              with their ground and blade textures in Textures/Terrain/
//   Levels/Sample.lvl          a level over 256 x 256 units: a 257 x 257-sample terrain of grassy
//                              hills with rock on the steep slopes, saved in its run-time form,
//                              and 400 sample entities and actors scattered on it; its west half
//                              painted with a fog style and all of it with a place-name style
//   Levels/Sample.sd           the sector styles the level paints
//   Levels/World/...           a world of six 64 x 64 regions side by side (three by two), each
//                              a level of the outdoors (SampleOutdoors.h: terrain, a lake, a
//                              river, scorch marks, painted day/night and name styles) and 20
//                              scattered sample entities (Region0.lvl ...; the first also the
//                              fire, the crypt's entrance and the yard, SampleYard.h); the world file
//                              Sample.wrl with its sector styles Sample.sd, and the map Sample.map
//                              compiled from them by the map builder, with a spawn point in the
//                              first region
//   Meshes/...                 the sample meshes (SampleMeshes.h)
//   Shaders/Standard*.ssh, Addon/Shaders/Icey*.ssh   the mesh shaders (SampleMeshShaders.h)
//   Anims/...                  the sample animations (SampleAnimations.h)
//   Shaders/NoiseTextureGen.ssh, Records/Sample/Noise.dbr   the noise generator's shader and a
//                              noise texture (SampleNoise.h)
//   Shaders/PortalMask.ssh, Meshes/LitBox.msh, System/Textures/InvTransparencyMask.tex
//                              the 3-D frame's portal mask, lit box and texture (SampleScene.h)
//   Shaders/Terrain/TerrainStandard.ssh, Shaders/Terrain/TerrainLowQuality.ssh, Shaders/Grass.ssh
//                              the terrain's ground and grass shaders (SampleTerrain.h)
//   Shaders/Effects/DecalCombine.ssh, Records/Decals/..., Records/Effects/Scorch.dbr, Marker.dbr,
//   Pulse.dbr, System/Textures/MissingRecord.tex   decals, a billboard, a colour pulse and the
//                              editor's missing-record stand-in (SampleDecals.h)
//   Records/Sample/Crate.dbr, Records/Sample/RagDoll.dbr, Records/Sample/Creature.dbr,
//   Levels/Physics.lvl         crates, a rag doll and a standing creature; crates and the rag
//                              doll over a sloping terrain (SamplePhysics.h)
//   Shaders/Water/..., Effects/Waves/..., Records/WaterType/WaterInteraction.dbr
//                              the water's shaders, waves textures and interaction (SampleWater.h)
//   Videos/Intro.mkv           a two-second clip the sample host can play before its frames
//   Interface/Sample.uis       an interface skin of three areas of Interface/Skin.dds: a blue
//                              and an orange 32 x 32 button face side by side over a 64 x 16
//                              white bar
//
// The fonts are drawn from the DejaVu Sans faces Debian ships (fonts-dejavu-core) with FreeType;
// their pixel sizes are what the styles come to at the sample resolution.
//
// Later parts of the engine add their own files here.

#include <string>
#include <vector>

namespace GAME {
class BinaryWriter;
class FileSystem;
struct ShaderFileSection;
}  // namespace GAME

namespace GAME::sample {

// The defaults file, relative to the directory (a host passes it to Engine::SetDefaultSettingsPath).
constexpr const char* kOptionsFile = "Settings/Options.txt";
// Records of the sample objects: an entity and an actor.
constexpr const char* kEntityRecord = "Records/Sample/Entity.dbr";
constexpr const char* kActorRecord = "Records/Sample/Actor.dbr";
// Terrain types for the layers of a terrain: grass and rock, each with a ground texture.
constexpr const char* kGrassTerrainType = "Records/Terrain/Grass.dbr";
constexpr const char* kRockTerrainType = "Records/Terrain/Rock.dbr";
// The sample host's font styles: a large bold title and body text.
constexpr const char* kTitleStyle = "Records/Sample/Styles/Title.dbr";
constexpr const char* kBodyStyle = "Records/Sample/Styles/Body.dbr";
// The sample level and its sector styles.
constexpr const char* kSampleLevel = "Levels/Sample.lvl";
constexpr const char* kSampleSectorData = "Levels/Sample.sd";
constexpr int kSampleLevelEntities = 400;
// The sample world: its world file, its map file, and its regions' levels (numbered from 0).
constexpr const char* kSampleWorld = "Levels/World/Sample.wrl";
constexpr const char* kSampleMap = "Levels/World/Sample.map";
constexpr const char* kSampleWorldLevels = "Levels/World/Region";
constexpr int kSampleWorldRegions = 6;
constexpr float kSampleWorldRegionSize = 64.0f;
constexpr float kSampleLevelHalfSize = 128.0f;
// The faces the fonts are drawn from.
constexpr const char* kRegularFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Writes one file of the sample data. False, with the failure logged, when it could not be written.
bool WriteBytes(FileSystem& files, const std::string& name, const void* data, uint32_t size);
bool WriteText(FileSystem& files, const std::string& name, const std::string& text);
bool WriteBinary(FileSystem& files, const std::string& name, const BinaryWriter& writer);
// The sample host's video (FFV1 in Matroska): two seconds of a bar sweeping over a sky.
// The interface skin, its bitmap (64 x 48) and its areas.
constexpr const char* kInterfaceSkin = "Interface/Sample.uis";
constexpr const char* kSkinBitmap = "Interface/Skin.dds";
constexpr const char* kButtonUpArea = "ButtonUp";      // (0, 0, 32, 32): blue, 0xFF3060C0
constexpr const char* kButtonDownArea = "ButtonDown";  // (32, 0, 32, 32): orange, 0xFFE08020
constexpr const char* kBarArea = "Bar";                // (0, 32, 64, 16): white
constexpr const char* kIntroVideo = "Videos/Intro.mkv";

// Writes the sample data into the directory (made when missing). False, with the failure
// logged, when a file could not be written.
bool WriteSampleData(const std::string& directory);
// The pixel program that shades with texture stage 0 times the vertex colour.
extern const char* const kTextureTimesColorPixelProgram;
// The vertex program of vertices already in scene space: vc[0..3] "objectToScreenMatrix"; the
// colour and texture coordinate 0 passed on.
extern const char* const kSceneSpaceVertexProgram;
// A shader file of the section, one copy for each sample generation.
std::vector<uint8_t> MakeShaderFile(const ShaderFileSection& section);
// The bytes of "Shaders/Basic.ssh", for programs that need the basic shader without the rest.
std::vector<uint8_t> MakeBasicShaderFile();
// The bytes of "Shaders/Filter.ssh", the canvas's frame-buffer effects.
std::vector<uint8_t> MakeFilterShaderFile();

}  // namespace GAME::sample
