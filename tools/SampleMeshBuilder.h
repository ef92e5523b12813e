#pragma once
// MeshBuilder: a sample mesh put together from boxes, with the positions its collision mesh is
// made of. Every mesh draws with the checker texture and the standard shader, static or skinned
// (SampleMeshShaders.h). Triangles wind counter-clockwise seen from outside. A face's texture
// coordinates are its positions along its two axes over a fixed span, so every face shows the
// checker at one scale: a thin face (a post's side, a wall's top) does not squeeze the whole
// texture into its width, which no filtering keeps from shimmering.

#include <cstdint>

#include "core/Mem.h"
#include "core/PhysicsSurface.h"
#include "core/Vec3.h"
#include "scene/MeshFileWriter.h"

namespace GAME {
class FileSystem;
}

namespace GAME::sample {

class MeshBuilder {
public:
    using Contents = MeshFileWriter::Contents;

    explicit MeshBuilder(bool skinned);

    // A box of four vertices a side, so that each side has its own normal; skinned boxes follow
    // one slot of the bone list with full weight.
    void AddBox(const Vec3& centre, const Vec3& half, uint8_t boneSlot = 0);
    // One face set over every face, its box and the mesh bounds around every vertex.
    Contents& Finish(mem::vector<uint32_t> bones = {});
    // The collision buffer of every triangle, all of one surface.
    bool AddCollision(PhysicsSurface surface);
    Contents& GetContents() { return contents_; }

private:
    void AddVertex(const Vec3& position, const Vec3& normal, float u, float v, uint8_t boneSlot);
    void Append(const void* data, size_t size);

    bool skinned_;
    Contents contents_;
    mem::vector<Vec3> positions_;
};

// Gives the contents the collision buffer of all their triangles over the positions (one per
// vertex), every face of the surface. False, with nothing changed, when it cannot be written.
bool AddCollisionBuffer(MeshFileWriter::Contents& contents, const mem::vector<Vec3>& positions, PhysicsSurface surface);
// Writes the mesh file; false, with the error logged, when it cannot be made or written.
bool WriteMesh(FileSystem& files, const char* name, const MeshFileWriter::Contents& contents);

}  // namespace GAME::sample
