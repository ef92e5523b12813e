#include "SampleYard.h"

#include <cmath>

#include "LevelBuilder.h"
#include "SampleOutdoors.h"
#include "SamplePhysics.h"

namespace GAME::sample {

namespace {

// The ground under (x, z) in the first region, whose space is the world's.
Vec3 OnGround(float x, float z) { return Vec3(x, WorldGroundHeight(x, z), z); }

}  // namespace

bool FurnishYard(LevelBuilder& yard) {
    // A row of crates north of the fire, each dropped from a unit above where it comes to rest.
    // Not from higher, nor stacked: the region's box reaches only as high as its highest ground
    // (a little over 7 here), and a crate whose centre is above that leaves the region.
    const Vec3 crates[kYardCrates] = {OnGround(11.6f, 13.3f), OnGround(12.9f, 13.5f), OnGround(14.2f, 13.7f)};
    for (int i = 0; i < kYardCrates; ++i) {
        Coords frame = Coords::RotationY(0.25f * float(i));
        frame.origin = crates[i] + Vec3(0.0f, kYardCrateRestHeight + 1.0f, 0.0f);
        if (!yard.AddEntity(kCrateRecord, frame)) return false;
    }
    // The rag doll north-east of the fire, falling from 2 units up.
    if (!yard.AddEntity(kRagDollRecord, Coords::Translation(OnGround(15.0f, 11.0f) + Vec3(0.0f, 2.0f, 0.0f))))
        return false;
    // The creatures south-west and north of the fire, turned towards it.
    const Vec3 creatures[kYardCreatures] = {OnGround(9.5f, 4.0f), OnGround(10.0f, 12.0f)};
    for (const Vec3& at : creatures) {
        const float towardsFire = std::atan2(kMarksCentre.x - at.x, kMarksCentre.y - at.z);
        Coords frame = Coords::RotationY(towardsFire);
        frame.origin = at;
        if (!yard.AddEntity(kCreatureRecord, frame)) return false;
    }
    return true;
}

}  // namespace GAME::sample
