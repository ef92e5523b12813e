#pragma once
// The sample data's terrain shaders: "Shaders/Terrain/TerrainStandard.ssh",
// "Shaders/Terrain/TerrainLowQuality.ssh" (the same programs: the low-quality mode differs in the
// styles the terrain picks, not in its shading) and "Shaders/Grass.ssh".
//
// The ground's layers are composited top layer first, each under what the layers above left:
// the solid pass writes destination alpha 0 over the visible ground ("depthStyle" with the depth,
// "alphaStyle" and the shadow-filter styles without it; no shadow maps are sampled yet), then
// each layer adds its colour times its opacity times (1 - destination alpha) and adds its opacity
// to the alpha, so a layer shows through only as far as the layers above it leave room.
// "reflectionStyle" draws bottom layer first, blended over. The ambient styles light with the
// hemisphere of "skyAmbientColor" and "groundAmbientColor" (white by default), the light styles
// with "lightColor" from "lightDirection" (a directional light) or "lightPosition" within
// "lightMaxDistance" (a point light, when the direction is zero). "fogStyle" blends "fogColor"
// over the ground by "depthFogParams" from "cameraOrigin" and "heightFogParams" (start, 1 /
// (end - start), amount each). The ground's programs take positions and normals into the region by
// "objectToRegionMatrix" (a tile's placement; the identity for the ground and plugs) before they
// shade them and lay the layers' textures and opacities on them. The layers' and the blades'
// textures are filtered trilinearly (the filters stay set for the draws that follow: the ground
// and the grass cover much of the frame, too much to filter anisotropically in software).
//
// Grass blades are alpha-tested "baseTexture" quads whose top edge (texture v = 0) moves by the
// stream-1 displacement, in the same ambient and light styles.

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

bool WriteTerrainShaders(FileSystem& files);
// The bytes of the two ground shaders (both files hold these) and of the grass shader.
std::vector<uint8_t> MakeTerrainShaderFile();
std::vector<uint8_t> MakeGrassShaderFile();

}  // namespace GAME::sample
