#pragma once
// The sample data of the 3-D frame (the meshes' shaders are SampleMeshShaders.h's):
//   Shaders/PortalMask.ssh the portal mask: writes alpha 1 where a portal shows, nothing else
//                          ("normal"); "shadow" draws a portal's depth into a shadow map
//   Meshes/LitBox.msh      a unit box (centred, positions and normals, no texture) drawn with the
//                          standard mesh shader, so it shows the scene's lights in its colour
//   System/Textures/InvTransparencyMask.tex   64 x 64 white; alpha 1 in the middle fading to 0
//                          at the rim, so the region behind shows through the middle of the view
//                          where a region draws nothing

#include <cstdint>
#include <vector>

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

constexpr const char* kPortalMaskShader = "Shaders/PortalMask.ssh";
constexpr const char* kLitBoxMesh = "Meshes/LitBox.msh";

bool WriteScene(FileSystem& files);
// The bytes of the files above, for programs that need them without the rest.
std::vector<uint8_t> MakePortalMaskShaderFile();
std::vector<uint8_t> MakeInvTransparencyMaskFile();
std::vector<uint8_t> MakeLitBoxMeshFile();

}  // namespace GAME::sample
