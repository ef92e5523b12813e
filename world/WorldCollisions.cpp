// World's collision queries for the physics step (declared in World.h). Shapes come relative to
// the simulation centre; each region sees them moved by the centre's position in its space, and
// the contacts it finds are moved back.

#include "core/OBBox.h"
#include "engine/Entity.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsMesh.h"
#include "world/Level.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

namespace {

// Contacts one collision box may take from one other entity before it keeps its best.
constexpr int kEntityContactsPerBox = 32;

void MoveContacts(CollisionContact* contacts, int count, const Vec3& offset) {
    for (int i = 0; i < count; ++i) contacts[i].position += offset;
}

// Whether the query for entity reports contacts with other; an entity without a box of its own
// meets everything. Two simulated entities each meet the other, so each body holds itself out of
// the other whatever their order (how a contact ties the bodies together is the body's choice).
bool MayMeet(const Entity* entity, const Entity* other) {
    if (other == entity || other->GetPhysicsType() == Entity::PhysicsType::NotCollided) return false;
    return entity == nullptr || (entity->CanCollide(other) && other->CanCollide(entity));
}

// The contacts of a box (in the other entity's region space) with the other entity: its physics
// mesh in its own frame, or its collision proxy. Positions come back in region space.
int CollideEntity(const Entity* other, const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) {
    int count = 0;
    if (const PhysicsMesh* mesh = other->GetPhysicsMesh()) {
        count = mesh->FindCollisions(other->GetCoords().GetRegionCoords(), box, contacts, max, excluded);
    } else if (OBBox proxy; other->GetCollisionProxy(proxy)) {
        count = CollideOBBoxOBBox(box, proxy, contacts, max);
    }
    for (int i = 0; i < count; ++i) contacts[i].entity = const_cast<Entity*>(other);
    return count;
}

}  // namespace

int World::FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const WorldVec3& centre,
                          EntityListType type, PhysicsSurface excluded) {
    OBBox box;
    if (entity == nullptr || !entity->GetCollisionProxy(box) || centre.GetRegion() == nullptr) return 0;
    box.coords.origin = WorldVec3(entity->GetRegion(), box.coords.origin) - centre;
    return FindCollisions(entity, box, contacts, max, centre, type, excluded);
}

int World::FindCollisions(const Entity* entity, const OBBox& box, CollisionContact* contacts, int max,
                          const WorldVec3& centre, EntityListType type, PhysicsSurface excluded) {
    Region* centreRegion = centre.GetRegion();
    if (centreRegion == nullptr || contacts == nullptr || max <= 0) return 0;
    const ABBox bounds(box);
    int count = 0;
    for (Region* region : loadedRegions_) {
        const LevelGround* ground = region->GetLevel()->GetGround();
        const LevelWater* water = region->GetLevel()->GetWater();
        if (count >= max || (ground == nullptr && water == nullptr)) continue;
        const Vec3 shift = region->GetRelativePosition(centre);
        ABBox moved = bounds;
        moved.Translate(shift);
        if (!ABBox::Overlap(moved, region->GetBoundingBox())) continue;
        OBBox local = box;
        local.coords.origin += shift;
        int found = ground ? ground->FindCollisions(local, contacts + count, max - count, excluded) : 0;
        if (water && count + found < max) {
            found += water->FindCollisions(local, contacts + count + found, max - count - found, excluded);
        }
        MoveContacts(contacts + count, found, -shift);
        count += found;
    }

    mem::vector<Entity*> others;
    ABBox near = bounds;
    near.Translate(centre.GetRegionPosition());
    GetEntitiesInBox(others, near, centreRegion, false, type);
    for (const Entity* other : others) {
        if (count >= max) break;
        if (!MayMeet(entity, other) || other->GetRegion() == nullptr) continue;
        const Vec3 shift = other->GetRegion()->GetRelativePosition(centre);
        OBBox local = box;
        local.coords.origin += shift;
        const int found = CollideEntity(other, local, contacts + count, max - count, excluded);
        MoveContacts(contacts + count, found, -shift);
        count += found;
    }
    return count;
}

void World::FindCollisions(const Entity* entity, mem::vector<CollisionBox>& boxes, const WorldVec3& centre,
                           EntityListType type, PhysicsSurface excluded) {
    Region* centreRegion = centre.GetRegion();
    if (centreRegion == nullptr || boxes.empty()) return;
    ABBox bounds = boxes.front().GetABBox();
    for (const CollisionBox& box : boxes) bounds = ABBox::Union(bounds, box.GetABBox());

    // Each region meets copies of the boxes in its own space; what they keep is offered back.
    auto offer = [&boxes](const mem::vector<CollisionBox>& local, const Vec3& shift) {
        for (size_t i = 0; i < boxes.size(); ++i) {
            for (int c = 0; c < local[i].GetNumContacts(); ++c) {
                CollisionContact contact = local[i].GetContact(c);
                contact.position -= shift;
                boxes[i].AddContact(contact);
            }
        }
    };
    auto moved = [&boxes](const Vec3& shift) {
        mem::vector<CollisionBox> local;
        local.reserve(boxes.size());
        for (const CollisionBox& box : boxes) {
            OBBox shape = box.GetOBBox();
            shape.coords.origin += shift;
            local.emplace_back(shape, box.GetMaxDepth());
        }
        return local;
    };

    for (Region* region : loadedRegions_) {
        const LevelGround* ground = region->GetLevel()->GetGround();
        const LevelWater* water = region->GetLevel()->GetWater();
        if (ground == nullptr && water == nullptr) continue;
        const Vec3 shift = region->GetRelativePosition(centre);
        ABBox area = bounds;
        area.Translate(shift);
        if (!ABBox::Overlap(area, region->GetBoundingBox())) continue;
        mem::vector<CollisionBox> local = moved(shift);
        if (ground) ground->FindCollisions(local, area, excluded);
        if (water) water->FindCollisions(local, area, excluded);
        offer(local, shift);
    }

    mem::vector<Entity*> others;
    ABBox near = bounds;
    near.Translate(centre.GetRegionPosition());
    GetEntitiesInBox(others, near, centreRegion, false, type);
    CollisionContact found[kEntityContactsPerBox];
    for (const Entity* other : others) {
        if (!MayMeet(entity, other) || other->GetRegion() == nullptr) continue;
        const Vec3 shift = other->GetRegion()->GetRelativePosition(centre);
        ABBox otherBox = other->GetRegionBoundingBox(false);
        otherBox.Translate(-shift);
        for (CollisionBox& box : boxes) {
            if (!ABBox::Overlap(box.GetABBox(), otherBox)) continue;
            OBBox local = box.GetOBBox();
            local.coords.origin += shift;
            const int count = CollideEntity(other, local, found, kEntityContactsPerBox, excluded);
            for (int i = 0; i < count; ++i) {
                found[i].position -= shift;
                box.AddContact(found[i]);
            }
        }
    }
}

int World::FindCollisions(Entity* entity, const WorldVec3& centre, CollisionContact* contacts, int max) {
    return FindCollisions(entity, contacts, max, centre, EntityListType::Updated, PhysicsSurface::None);
}

int World::FindCollisions(Entity* entity, const OBBox& box, const WorldVec3& centre, CollisionContact* contacts,
                          int max) {
    return FindCollisions(entity, box, contacts, max, centre, EntityListType::UpdatedPartOfLevel, PhysicsSurface::None);
}

void World::FindCollisions(Entity* entity, mem::vector<CollisionBox>& boxes, const WorldVec3& centre) {
    FindCollisions(entity, boxes, centre, EntityListType::UpdatedPartOfLevel, PhysicsSurface::None);
}

void World::CreatePointDisturbance(const WorldVec3& position, float radius, float strength, int splash) {
    for (Region* region : loadedRegions_) {
        LevelGround* ground = region->GetLevel()->GetGround();
        LevelWater* water = region->GetLevel()->GetWater();
        const Vec3 at = region->GetRelativePosition(position);
        if (!ABBox::Overlap(ABBox(at, Vec3(radius, radius, radius)), region->GetBoundingBox())) continue;
        if (ground) ground->DisplaceGrass(at.x, at.z, radius, strength);
        if (water) water->CreateRipple(at, radius, strength, LevelWater::SplashType(splash));
    }
}

}  // namespace GAME
