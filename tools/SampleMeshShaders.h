#pragma once
// The sample data's mesh shaders, every style the scene renderers draw meshes with:
//   Shaders/Standard.ssh, Shaders/StandardT.ssh                  static meshes, opaque and 'T'
//   Shaders/StandardSkinned.ssh, Shaders/StandardSkinnedT.ssh    skinned meshes ("boneMatrix")
//   Shaders/StandardDissolveStatic.ssh, ...DissolveSkinned.ssh   a mesh instance's dissolve
//   Addon/Shaders/IceyStatic.ssh, Addon/Shaders/IceySkinned.ssh  the ice effect
//
// Styles: "ambientLightStyle", the directional and point-light styles with and without ambient
// ("dLightDiffuse[Ambient]Style", "pLightDiffuse[Ambient]Style", "pLightSimple[Ambient]Style"),
// "reflectionStyle" (the sun with ambient), "depthStyle" (depth only), "transparencyMaskStyle",
// "fogStyle", and the shadow-map styles "shadow" (the directional map: depth through
// "objectToScreenMatrix") and "pLightShadowStyle" (a point light's face: the distance from the
// light over "lightMaxDistance"), both with depth in every channel and no culling.
// The lighting is per vertex: a sky-to-ground ambient blend by the normal's height, a directional
// light along "lightDirection", a point light at "lightPosition" falling off to 0 at
// "lightMaxDistance". The shadow-casting light styles ("dLightDiffuse[Ambient]Style",
// "pLightDiffuse[Ambient]Style") take their light away per pixel where "shadowTexture" (the map's
// depth, compared) holds something nearer the light than the pixel, looked up through
// "worldToShadowMatrix" (four taps "shadowBluriness" apart; a point light's shadow weighed by
// "lightShadowIntensity"). Passes without ambient add their light; the others blend by alpha, which
// is the section opacity ("transparencyValue".z) times "blendedGlobalFadeFactor". The base
// texture is "baseTexture", minified linearly within and between its mip levels (walls seen edge
// on or far off); the ambient colours default to white, so a mesh drawn without a
// renderer's constants shows its texture times its colour. Back faces are culled: the sample
// meshes wind counter-clockwise seen from outside.
//
// 'T' forms, the ice shaders and nothing else sort at 10000, the transparent list; the others at 0.
// The dissolve discards where "dissolveTexture" is below "dissolveValue" and edges in
// "dissolveColor"; the ice blends "envmapTexture" over the base at "iceyAlphaMultiplier".

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

constexpr const char* kStandardShader = "Shaders/Standard.ssh";
constexpr const char* kStandardSkinnedShader = "Shaders/StandardSkinned.ssh";

// The kinds of mesh shader.
enum class MeshShaderKind { Standard, Transparent, Dissolve, Icey };

// The bytes of one mesh shader file.
std::vector<uint8_t> MakeMeshShaderFile(MeshShaderKind kind, bool skinned);
bool WriteMeshShaders(FileSystem& files);

}  // namespace GAME::sample
