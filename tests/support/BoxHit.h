#pragma once
// HitBox: what a test entity that rays hit on its box answers to Entity::GetIntersection: a hit
// nearer than the distance it is given, written to hit; otherwise false and hit left alone.

#include "core/ABBox.h"
#include "core/Intersection.h"
#include "core/Ray.h"

namespace GAME::test {

inline bool HitBox(const ABBox& box, const Ray& ray, Intersection& hit) {
    const float t = box.GetIntersection(ray);
    if (!(t < hit.distance)) return false;
    hit.distance = t;
    hit.point = ray.GetPoint(t);
    return true;
}

}  // namespace GAME::test
