#pragma once
// The sample data's marks and placeholders:
//   Shaders/Effects/DecalCombine.ssh   what decals and decal sets are drawn with (style
//       "emissiveStyle", after the opaque scene, depth tested without depth writes, both faces,
//       depth biased towards the camera so that it never fights the ground it lies on):
//       positions through "objectToScreenMatrix", "baseTexture" times the vertex colour, blended
//       over the scene by its alpha
//   Textures/Decals/Scorch.tex         a dark round scorch mark fading out to its edge
//   Records/Decals/Scorch.dbr          a DecalType of the scorch, 2 x 2
//   Records/Effects/Scorch.dbr         a Decal of the scorch, 1.5 across each way, fading from
//                                      20 s to 30 s
//   Records/Effects/ScorchMark.dbr     the same mark 2 across, at 0.8 opacity, never fading
//   Records/Effects/Marker.dbr         a Billboard of the particle texture, drawn with the particle
//                                      combine shader
//   Records/Effects/Pulse.dbr          a ColorPulse from dark red to orange, three cycles, ending
//                                      on white
//   System/Textures/MissingRecord.tex  the editor's stand-in for a missing record: a magenta and
//                                      black checker

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kDecalShader = "Shaders/Effects/DecalCombine.ssh";
constexpr const char* kScorchTexture = "Textures/Decals/Scorch.tex";
constexpr const char* kScorchDecalType = "Records/Decals/Scorch.dbr";
constexpr const char* kScorchDecal = "Records/Effects/Scorch.dbr";
constexpr const char* kScorchMarkRecord = "Records/Effects/ScorchMark.dbr";
constexpr const char* kMarkerBillboard = "Records/Effects/Marker.dbr";
constexpr const char* kPulseRecord = "Records/Effects/Pulse.dbr";

bool WriteDecals(FileSystem& files);
// The bytes of the decal shader.
std::vector<uint8_t> MakeDecalShaderFile();

}  // namespace GAME::sample
