#pragma once
// The sample effects, written with EffectData's writer, and the effect entity record that plays
// the fire:
//   Effects/Fire.pfx         looping flames from a sphere volume, rising and fading over their
//                            age, with a flickering light that follows the night-light scale
//   Effects/Sparks.pfx       a one-second burst from a ring, falling under gravity, stretched
//                            along their velocity, the texture's frames played at 8 per second
//   Effects/LocalOrbit.pfx   particles kept in the emitter's own space, turned by its spin curves
//   Records/Effects/Fire.dbr an EffectEntity playing the fire
// and what particles are drawn with:
//   Shaders/Particle/ParticleAdditive.ssh, ParticleCombine.ssh, ParticleAdditiveSmooth.ssh
//       the particle shaders (style "emissiveStyle", drawn after the scene, no depth writes):
//       quads expanded facing the camera from the corner, size, rotation and stretch, turned
//       along the velocity when the axis is not straight up, upright with "orientVertically";
//       texture times vertex colour, added to the scene, blended over it, or added with the
//       scene's colour keeping its share (smooth)
//   Effects/Default/particletest.tex   a soft white blob in four frames, shrinking frame by frame

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kFireEffect = "Effects/Fire.pfx";
constexpr const char* kSparksEffect = "Effects/Sparks.pfx";
constexpr const char* kLocalOrbitEffect = "Effects/LocalOrbit.pfx";
constexpr const char* kFireRecord = "Records/Effects/Fire.dbr";
constexpr const char* kParticleTexture = "Effects/Default/particletest.tex";

// How a particle shader puts its colour on the scene.
enum class ParticleBlend { Additive, Combine, AdditiveSmooth };
// The file name of the particle shader of that blend.
const char* ParticleShaderName(ParticleBlend blend);
// The bytes of that particle shader.
std::vector<uint8_t> MakeParticleShaderFile(ParticleBlend blend);

// False, with the failure logged, when a file could not be written.
bool WriteEffects(FileSystem& files);

}  // namespace GAME::sample
