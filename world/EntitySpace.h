#pragma once
// EntitySpace: the loose quadtree of a level's entities. Entities carry their links themselves
// (Entity::GetSpaceLinks), are placed by their region bounding box, and answer rays through
// Entity::GetIntersection. Box queries take the entities of a node lying wholly inside the box
// untested (the entity form of Space).

#include "core/Intersection.h"
#include "core/MathUtil.h"
#include "engine/Entity.h"
#include "world/Space.h"

namespace GAME {

struct EntitySpaceTraits {
    static SpaceLinks<Entity>& GetLinks(Entity& entity) { return entity.GetSpaceLinks(); }
    static const ABBox& GetBoundingBox(const Entity& entity, bool alternate) {
        return entity.GetRegionBoundingBox(alternate);
    }
    // The entity reports a hit nearer than the distance it is given and leaves the record alone
    // otherwise; the tree wants +infinity for a miss.
    static void GetIntersection(Entity& entity, const Ray& ray, Intersection& hit, PhysicsSurface surface) {
        hit.distance = Infinity;
        if (!entity.GetIntersection(ray, hit, surface)) {
            hit = Intersection();
        } else {
            hit.entity = &entity;
        }
    }
};

using EntitySpace = Space<Entity, EntitySpaceTraits, SpaceInsideNodes::TakeAll>;

}  // namespace GAME
