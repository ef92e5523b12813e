// Fuzzes PhysicsMesh::Initialize, then runs a ray and a box query through whatever was accepted and
// checks that every face the mesh kept refers to its vertices.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "physics/CollisionContact.h"
#include "physics/PhysicsMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    GAME::PhysicsMesh mesh;
    if (!mesh.Initialize(data, static_cast<int>(size))) {
        if (mesh.GetNumFaces() != 0 || mesh.GetNumVertices() != 0 || mesh.GetNumNodes() != 0) std::abort();
        return 0;
    }
    for (int i = 0; i < mesh.GetNumFaces(); ++i) {
        for (const uint32_t index : mesh.GetFace(i).vertices) {
            if (index >= static_cast<uint32_t>(mesh.GetNumVertices())) std::abort();
        }
    }

    // Queries aimed at the middle of the mesh descend the tree.
    const GAME::ABBox bounds = mesh.GetBoundingBox();
    GAME::Intersection hit;
    mesh.GetIntersection(GAME::Ray(bounds.centre - bounds.halfSize * 2.0f, bounds.halfSize * 4.0f), hit,
                         GAME::PhysicsSurface::None);
    GAME::CollisionContact contacts[8];
    const GAME::OBBox box(bounds.halfSize * 0.5f, GAME::Coords::Translation(bounds.centre));
    if (mesh.FindCollisions(box, contacts, 8, GAME::PhysicsSurface::None) > 8) std::abort();
    return 0;
}
