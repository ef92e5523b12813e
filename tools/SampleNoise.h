#pragma once
// The sample data's noise: the noise generator's shader "Shaders/NoiseTextureGen.ssh" and a noise
// texture record.
//
// The shader's "compositeBaseStyle" sums the layers into grey: from pixel shader version 5 all four
// in one pass (layer i fades from texture 2i to 2i + 1 by "blendFactor"[i], tiled
// "textureScale"[i] times, weighted by "level"[i]); below it two a pass (fades and levels in x
// and w, tilings in x and y), "compositeAddStyle" adding the second pass's two.
// "convertStyle" turns the grey heights in "texture0" into a normal map (x, y, z packed as 0..1)
// from the differences one "textureOffset" apart.

#include <cstdint>
#include <string>
#include <vector>

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

// A 64 x 64 noise texture of four layers at falling levels and rising rates.
constexpr const char* kNoiseRecord = "Records/Sample/Noise.dbr";

bool WriteNoise(FileSystem& files);
// The bytes of "Shaders/NoiseTextureGen.ssh".
std::vector<uint8_t> MakeNoiseShaderFile();

}  // namespace GAME::sample
