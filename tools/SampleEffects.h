#pragma once
// The sample effects, written with EffectData's writer, and the effect entity record that plays
// the fire:
//   Effects/Fire.pfx         looping flames from a sphere volume, rising and fading over their
//                            age, with a flickering light that follows the night-light scale
//   Effects/Sparks.pfx       a one-second burst from a ring, falling under gravity, stretched
//                            along their velocity, the texture's frames played at 8 per second
//   Effects/LocalOrbit.pfx   particles kept in the emitter's own space, turned by its spin curves
//   Records/Effects/Fire.dbr an EffectEntity playing the fire

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kFireEffect = "Effects/Fire.pfx";
constexpr const char* kSparksEffect = "Effects/Sparks.pfx";
constexpr const char* kLocalOrbitEffect = "Effects/LocalOrbit.pfx";
constexpr const char* kFireRecord = "Records/Effects/Fire.dbr";

// False, with the failure logged, when a file could not be written.
bool WriteEffects(FileSystem& files);

}  // namespace GAME::sample
