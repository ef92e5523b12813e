#pragma once
// The narrow-phase collision tests: a triangle or a box against an oriented box, each writing
// contacts with position, normal, depth and surface None into the caller's array. They leave the
// contacts' entity field to the caller. Depths are penetrations along the unit normal: moving the
// pushed shape that far along it brings the two to touching.

#include "core/OBBox.h"
#include "core/Vec3.h"
#include "physics/CollisionContact.h"

namespace GAME {

// Separating axes over the triangle's normal, the box's three axes and the nine products of the
// triangle's edges with the box's axes, tried in that order; the first axis that separates ends the
// test. The overlap found gives one normal and one depth for every contact, and the normal never
// points against the triangle's front side (the side its corners wind counter-clockwise around),
// so contacts always push the box out of the front. The triangle, clipped to the box, gives the
// contact positions: the clipped polygon's corners in order. Returns how many contacts were
// written: at most max, 0 when the two are apart (touching counts as overlap, with depth 0) or the
// triangle is degenerate (it has no normal to push along).
int CollideTriangleOBBox(const Vec3 triangle[3], const OBBox& box, CollisionContact* contacts, int max);

// The rigid-body library's box-box routine: up to 8 contacts on the touching faces or edges, each
// with its own depth and one shared normal, which points from b towards a. Returns how many were
// written: at most max, 0 when the boxes are apart or max is not positive.
int CollideOBBoxOBBox(const OBBox& a, const OBBox& b, CollisionContact* contacts, int max);

}  // namespace GAME
