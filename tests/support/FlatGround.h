#pragma once
// FlatGroundContacts: the contacts of a box with flat ground at y = 0, the square of 100 units
// around the origin as two triangles, on which the physics tests and benchmarks stand their
// bodies. Header only, so the benchmarks share it without the test support library.

#include "physics/CollisionTests.h"

namespace GAME::test {

inline int FlatGroundContacts(const OBBox& box, CollisionContact* contacts, int max) {
    static const Vec3 ground[2][3] = {{Vec3(-50, 0, -50), Vec3(-50, 0, 50), Vec3(50, 0, 50)},
                                      {Vec3(-50, 0, -50), Vec3(50, 0, 50), Vec3(50, 0, -50)}};
    int count = 0;
    for (const auto& triangle : ground) count += CollideTriangleOBBox(triangle, box, contacts + count, max - count);
    return count;
}

}  // namespace GAME::test
