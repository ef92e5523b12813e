#pragma once
// A slow, independent measure of how far apart two convex shapes are, for checking the engine's
// separating-axis tests against something that shares no code with them: alternating projections
// (project onto one shape, then onto the other, repeatedly) converge to a closest pair of points,
// or to a common point when the shapes overlap. Convergence slows down when the shapes only just
// touch, so callers leave out cases near the boundary.

#include "core/OBBox.h"
#include "core/Vec3.h"

namespace GAME::test {

// The point of the box nearest to p.
Vec3 ClosestPointOnBox(const OBBox& box, const Vec3& p);
// The point of the triangle nearest to p.
Vec3 ClosestPointOnTriangle(const Vec3 triangle[3], const Vec3& p);

// The distance between the two shapes after the given number of alternating projections (an
// upper bound that falls towards the true distance).
float DistanceBetween(const OBBox& a, const OBBox& b, int iterations = 2000);
float DistanceBetween(const Vec3 triangle[3], const OBBox& box, int iterations = 2000);

}  // namespace GAME::test
