#include "terrain/HeightField.h"

#include <algorithm>

#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "physics/CollisionTests.h"
#include "terrain/TerrainBase.h"

namespace GAME {

void HeightField::GetCellTriangles(uint32_t x, uint32_t z, Vec3 a[3], Vec3 b[3]) const {
    const Vec3 p00 = GetPoint(x, z);
    const Vec3 p11 = GetPoint(x + 1, z + 1);
    a[0] = p00;
    a[1] = GetPoint(x, z + 1);
    a[2] = p11;
    b[0] = p11;
    b[1] = GetPoint(x + 1, z);
    b[2] = p00;
}

bool HeightField::ClampCells(int& x0, int& z0, int& x1, int& z1) const {
    if (numX_ < 2 || numZ_ < 2) return false;
    x0 = std::max(x0, 0);
    z0 = std::max(z0, 0);
    x1 = std::min(x1, int(numX_) - 2);
    z1 = std::min(z1, int(numZ_) - 2);
    return x0 <= x1 && z0 <= z1;
}

void HeightField::GetIntersection(const Ray& ray, int x0, int z0, int x1, int z1, Intersection& hit, int& cellX,
                                  int& cellZ) const {
    if (!ClampCells(x0, z0, x1, z1)) return;
    // A ray meeting the ground exactly on an edge between two faces may find its hit point
    // rounded to just outside both. A point within kEdgeSlack of a face (in its weights) counts
    // as a hit only when the exact tests found none in the rectangle, so exact hits stay as they
    // are.
    constexpr float kEdgeSlack = 1e-5f;
    bool exact = false;
    float nearEdge = Infinity;
    int edgeX = 0, edgeZ = 0;
    for (int z = z0; z <= z1; ++z) {
        for (int x = x0; x <= x1; ++x) {
            const uint32_t ux = uint32_t(x), uz = uint32_t(z);
            if (IsHidden(ux, uz)) continue;
            Vec3 triangles[2][3];
            GetCellTriangles(ux, uz, triangles[0], triangles[1]);
            for (const Vec3* corners : triangles) {
                const TerrainBase::IntersectionFace face{corners[0], corners[1], corners[2],
                                                         Plane(corners[0], corners[1], corners[2])};
                float least = 0.0f;
                const float distance = TerrainBase::GetFacePlaneIntersection(face, ray, least);
                if (least < -kEdgeSlack || !TerrainBase::MeetsFront(face, ray)) continue;
                if (least >= 0.0f) {
                    if (distance < hit.distance) {
                        hit.distance = distance;
                        cellX = x;
                        cellZ = z;
                        exact = true;
                    }
                } else if (!exact && distance < nearEdge) {
                    nearEdge = distance;
                    edgeX = x;
                    edgeZ = z;
                }
            }
        }
    }
    if (!exact && nearEdge < hit.distance) {
        hit.distance = nearEdge;
        cellX = edgeX;
        cellZ = edgeZ;
    }
}

int HeightField::FindCollisions(const OBBox& box, int x0, int z0, int x1, int z1, CollisionContact* contacts,
                                int max) const {
    int found = 0;
    if (max <= 0 || !ClampCells(x0, z0, x1, z1)) return 0;
    for (int z = z0; z <= z1; ++z) {
        for (int x = x0; x <= x1; ++x) {
            if (IsHidden(uint32_t(x), uint32_t(z))) continue;
            Vec3 triangles[2][3];
            GetCellTriangles(uint32_t(x), uint32_t(z), triangles[0], triangles[1]);
            for (const Vec3* corners : triangles) {
                const int count = CollideTriangleOBBox(corners, box, contacts + found, max - found);
                for (int i = found; i < found + count; ++i) contacts[i].entity = nullptr;
                found += count;
                if (found >= max) return found;
            }
        }
    }
    return found;
}

void HeightField::FindCollisions(CollisionBox& box, int x0, int z0, int x1, int z1) const {
    if (!ClampCells(x0, z0, x1, z1)) return;
    for (int z = z0; z <= z1; ++z) {
        for (int x = x0; x <= x1; ++x) {
            if (IsHidden(uint32_t(x), uint32_t(z))) continue;
            Vec3 triangles[2][3];
            GetCellTriangles(uint32_t(x), uint32_t(z), triangles[0], triangles[1]);
            CollisionContact cell[kCellContacts];
            int count = CollideTriangleOBBox(triangles[0], box.GetOBBox(), cell, kCellContacts);
            count += CollideTriangleOBBox(triangles[1], box.GetOBBox(), cell + count, kCellContacts - count);
            for (int i = 0; i < count; ++i) {
                cell[i].entity = nullptr;
                box.AddContact(cell[i]);
            }
        }
    }
}

}  // namespace GAME
