#pragma once
// The sample meshes, written with MeshFileWriter (version 11):
//   Meshes/Box.msh       a unit box (centred, 1 m sides): positions, normals, texture coordinates
//   Meshes/Ground.msh    a ground slab 16 m square and 0.5 m thick, with its collision mesh
//   Meshes/Wall.msh      a wall piece 4 m long, 3 m high, 0.25 m thick, with its collision mesh
//   Meshes/Doorway.msh   a wall piece with a 1.5 x 2.25 m opening, one portal (two triangles) across
//                        it and the "ChokePoint" attach point in its middle, with its collision mesh
//   Meshes/Creature.msh  a skinned creature of five bones (Root, with Spine, LegL and LegR; Spine
//                        with Head), one rigidly skinned box per bone, hit boxes on Spine and
//                        Head, attach points "Mouth" and "Back", an entity created at "Back", and
//                        a rag doll of three bodies and two joints
// Every mesh draws with the checker texture and the standard shader, static or skinned
// (SampleMeshShaders.h).

namespace GAME {
class FileSystem;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kBoxMesh = "Meshes/Box.msh";
constexpr const char* kGroundMesh = "Meshes/Ground.msh";
constexpr const char* kWallMesh = "Meshes/Wall.msh";
constexpr const char* kDoorwayMesh = "Meshes/Doorway.msh";
constexpr const char* kCreatureMesh = "Meshes/Creature.msh";

// Writes the sample meshes. False, with the failure logged, when one could not be made or written.
bool WriteMeshes(FileSystem& files);

}  // namespace GAME::sample
