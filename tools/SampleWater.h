#pragma once
// The sample data's water: the shaders, the waves textures and the interaction record the water of
// a level loads.
//   Shaders/Water/WaterBasic.ssh   layer blocks and river segments ("waterBlockStyle",
//                                  "waterPathStyle" and their "...ReflectStyle" forms): the colour
//                                  "waterColor", blended over the ground by the vertex's coverage
//                                  times the opacity of its depth on the "depthParams" ramp; the
//                                  reflect forms mix "reflectTexture" in by the reflectivity of
//                                  "surfaceParams" times the reflection's alpha (0 where it shows
//                                  nothing), read at the screen position turned upside down as
//                                  reflections are drawn. Depth-tested, no depth write.
//   Shaders/Water/WaterWaves.ssh   wave elements: "baseTexture" faded by the vertex alpha,
//                                  blended over ("blendStyle") or modulating twice what lies
//                                  under it ("bumpStyle")
//   Shaders/Water/WaterRipple.ssh ripples ("emissiveStyle", after the water): a white ring at
//                                  0.8 of the quad's half size, faded by the vertex alpha
//   Effects/Waves/Wake.tex, Bump.tex, ShoreWave.tex   a light grey streak fading across, grey ripples
//                                  around mid-grey, and a light grey foam band fading toward the land
//   Effects/EnvironmentMaps/SkyBright.tex   the water types' default sky map, a grey ramp
//   Records/WaterType/NoiseTextures/defaultWaves.dbr   the water types' default bump noise
//   Records/WaterType/WaterInteraction.dbr   no splash effects

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

// False, with the failure logged, when a file could not be written.
bool WriteWater(FileSystem& files);
// The bytes of the water shader (waves: the waves shader).
std::vector<uint8_t> MakeWaterShaderFile(bool waves);

}  // namespace GAME::sample
