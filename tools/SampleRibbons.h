#pragma once
// The sample data's ribbons: the shaders, textures and records of line effects, chaos beams,
// flying bolts, trails and weapon trails.
//   Shaders/Effects/TrailAdditive.ssh   ribbons of line effects and trails: positions through
//                                       "objectToScreenMatrix", "baseTexture" times the vertex
//                                       colour added to the scene (style "emissiveStyle")
//   Shaders/Effects/Chaos.ssh           the same, its colour pushed brighter toward white
//   System/Textures/White.tex, Sandbox/Quellan/LightningTESTA.tex,
//   Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex, SandBox/Tovar/illegal_lightning.tex
//                                       white, and bright cores across the ribbon in white,
//                                       violet and blue, fading to its edges
//   Records/Effects/ChaosBeam.dbr, FlyingBolt.dbr, Trail.dbr, WeaponTrail.dbr

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kRibbonShader = "Shaders/Effects/TrailAdditive.ssh";
constexpr const char* kChaosShader = "Shaders/Effects/Chaos.ssh";
constexpr const char* kWhiteTexture = "System/Textures/White.tex";
constexpr const char* kChaosBeamRecord = "Records/Effects/ChaosBeam.dbr";
constexpr const char* kFlyingBoltRecord = "Records/Effects/FlyingBolt.dbr";
constexpr const char* kTrailRecord = "Records/Effects/Trail.dbr";
constexpr const char* kWeaponTrailRecord = "Records/Effects/WeaponTrail.dbr";

// False, with the failure logged, when a file could not be written.
bool WriteRibbons(FileSystem& files);
// The bytes of the ribbon shader (chaos: the chaos shader).
std::vector<uint8_t> MakeRibbonShaderFile(bool chaos);

}  // namespace GAME::sample
